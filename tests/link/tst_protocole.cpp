// The link engine against a reader played by the test on a pseudo-terminal.
#include <QtTest>
#include <QLoggingCategory>
#include <QSerialPort>

#include <atomic>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#include "link/Protocole.h"
#include "link/answerkind.h"
#include "link/commands.h"

namespace {

const char STX = 0x02;
const char ETX = 0x03;

QByteArray frame(char type, char status, const QByteArray &body)
{
    return QByteArray(1, STX) + type + status + body + ETX + "012";
}

QByteArray request(char c1, char c2, const QByteArray &payload)
{
    return QByteArray(1, STX) + c1 + c2 + payload + ETX + "012";
}

const QByteArray PollFrame = request('B', 'S', "");

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// CPU time the whole process burns while the test thread sleeps for a second.
double cpuOverOneSecond()
{
    const double before = cpuSeconds();
    QThread::msleep(1000);
    return cpuSeconds() - before;
}

// Generous bound: an engine spinning instead of sleeping burns about 1 s.
constexpr double IdleCpuBound = 0.25;

// The reader's end of the line: the master side of a pseudo-terminal.
class FakeReader
{
public:
    ~FakeReader() { closeAll(); }

    bool open()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return false;
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        path = QString::fromLocal8Bit(name);
        return true;
    }

    void closeAll()
    {
        hangUp();
        if (slave >= 0)
            ::close(slave);
        slave = -1;
    }

    // The adapter vanishes: the engine's side of the line hangs up.
    void hangUp()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    bool send(const QByteArray &bytes)
    {
        QElapsedTimer t;
        t.start();
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (t.elapsed() > 5000)
                return false;
            pollfd p{master, POLLOUT, 0};
            ::poll(&p, 1, 50);
        }
        return true;
    }

    // The next request frame the engine sent, or empty after timeoutMs.
    QByteArray nextFrame(int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            const int start = pending.indexOf(STX);
            if (start >= 0) {
                const int etx = pending.indexOf(ETX, start + 1);
                if (etx >= 0 && pending.size() >= etx + 4) {
                    const QByteArray f = pending.mid(start, etx + 4 - start);
                    pending.remove(0, etx + 4);
                    return f;
                }
            }
            const qint64 left = timeoutMs - t.elapsed();
            if (left <= 0 || !readSome(int(left)))
                return QByteArray();
        }
    }

    // True when nothing at all arrives for ms.
    bool quietFor(int ms)
    {
        if (!pending.isEmpty())
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (readSome(int(ms - t.elapsed())))
                return false;
        }
        return true;
    }

    QString path;
    int master = -1;
    int slave = -1;

private:
    bool readSome(int timeoutMs)
    {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, qMax(timeoutMs, 1)) <= 0)
            return false;
        char buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            return false;
        pending.append(buf, int(n));
        return true;
    }

    QByteArray pending;
};

// Every signal of the engine, in the order the test thread receives them.
class Recorder : public QObject
{
    Q_OBJECT
public:
    explicit Recorder(QProtocole *engine) : engine(engine)
    {
        connect(engine, &QProtocole::SIG_Debug, this, &Recorder::onDebug, Qt::QueuedConnection);
        connect(engine, &QProtocole::SIG_ComStatus, this, &Recorder::onStatus, Qt::QueuedConnection);
        connect(engine, &QProtocole::SIG_Data, this, &Recorder::onData, Qt::QueuedConnection);
        connect(engine, &QProtocole::SIG_Frame, this, &Recorder::onFrame, Qt::QueuedConnection);
    }

    static QString data(unsigned int kind, unsigned int code, const QString &text = QString())
    {
        return QStringLiteral("data:%1,%2,%3").arg(kind).arg(code).arg(text);
    }
    static QString debug(const QString &text) { return "debug:" + text; }
    static QString status(const QString &text) { return "status:" + text; }
    // Direction, letters, body, the request answered, and "cut" when incomplete.
    static QString traced(const QString &what) { return "frame:" + what; }

    int size() const { return lines.size(); }
    QStringList since(int mark) const { return lines.mid(mark); }
    int indexOf(const QString &line, int from = 0) const { return lines.indexOf(line, from); }
    int count(const QString &line, int from = 0) const { return since(from).count(line); }

    // Waits until the line arrives after position from; returns its index or -1.
    int waitFor(const QString &line, int timeoutMs = 3000, int from = 0)
    {
        (void)QTest::qWaitFor([&] { return indexOf(line, from) >= 0; }, timeoutMs);
        return indexOf(line, from);
    }

    QStringList filtered(const QString &prefix, int from = 0) const
    {
        QStringList out;
        for (const QString &l : since(from))
            if (l.startsWith(prefix))
                out << l;
        return out;
    }

    QStringList lines;
    bool openWhenOuvert = false;

private slots:
    void onDebug(const QString &text) { lines << debug(text); }
    void onStatus(const QString &text)
    {
        if (text == QLatin1String("Ouvert"))
            openWhenOuvert = engine->ComIsOpen.load();
        lines << status(text);
    }
    void onData(unsigned int kind, unsigned int code, const QString &text) { lines << data(kind, code, text); }
    void onFrame(const TracedFrame &f)
    {
        QString what = QString(f.sent ? "-> " : "<- ") + f.letter1 + f.letter2 + " " + QString::fromLatin1(f.body);
        if (!f.answers.isEmpty())
            what += " (" + QString::fromLatin1(f.answers) + ")";
        if (!f.complete)
            what += " cut";
        lines << traced(what);
    }

private:
    QProtocole *engine;
};

const QStringList SpinnerOrder{"/// Polling ///", "--- Polling ---", "\\\\\\ Polling \\\\\\", "||| Polling |||"};

} // namespace

class TestProtocole : public QObject
{
    Q_OBJECT
private:
    FakeReader reader;
    std::unique_ptr<QProtocole> engine;
    std::unique_ptr<Recorder> rec;

    void startEngine()
    {
        engine = std::make_unique<QProtocole>();
        rec = std::make_unique<Recorder>(engine.get());
        engine->start();
    }

    // Opens the reader's line; false on any failure.
    bool openLink()
    {
        if (!engine)
            startEngine();
        const int mark = rec->size();
        engine->SetPortName(reader.path);
        engine->PostComRequest(QProtocole::COM_OPEN);
        return rec->waitFor(Recorder::data(2, ARG_PORT_STATE), 5000, mark) >= 0 && engine->ComIsOpen.load();
    }

    // Answers the next frame the engine sends with one of the given code and
    // checks the slot comes back free: proves that nothing unexpected was
    // sent or raised before it.
    bool barrier(unsigned int code, const QByteArray &expectedFrame = request('V', 'G', "9.9"))
    {
        if (engine->CmdRequest('V', 'G', "9.9", code, 5000) != QProtocole::REQ_QUEUED)
            return false;
        if (reader.nextFrame(3000) != expectedFrame)
            return false;
        const int mark = rec->size();
        reader.send(frame('A', '0', "bar"));
        if (rec->waitFor(Recorder::data(2, code), 3000, mark) < 0)
            return false;
        bool ok = false;
        char status = 0;
        QString text;
        return engine->CmdAnswer(ok, status, text) == 1 && ok && text == "bar";
    }

    // Waits for the next poll frame and answers it.
    bool answerPoll(const QByteArray &answer, char status = '0')
    {
        if (reader.nextFrame(3000) != PollFrame)
            return false;
        return reader.send(frame('A', status, answer));
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exchanges_data();
    void exchanges();
    void cutAnswers_data();
    void cutAnswers();
    void framesNobodyWaitsFor_data();
    void framesNobodyWaitsFor();
    void debugFrameDuringRequest();
    void lateAnswerNotTakenForTheNext_data();
    void lateAnswerNotTakenForTheNext();
    void answerKinds_data();
    void answerKinds();
    void lineQuietAfterTimeout_data();
    void lineQuietAfterTimeout();
    void talkativeReaderStillGetsTheRequest();
    void requestWaitsWhileReaderStreams_data();
    void requestWaitsWhileReaderStreams();
    void codeZeroRequest_data();
    void codeZeroRequest();
    void overlongPayloadRefused_data();
    void overlongPayloadRefused();
    void requestWhilePortClosedEndsAtOnce_data();
    void requestWhilePortClosedEndsAtOnce();
    void closeDropsTheRequestNotYetSent();
    void claimRace();

    void pollAnswers_data();
    void pollAnswers();
    void spinnerTurnsAQuarterPerPoll();
    void pollingSwitchedOff_data();
    void pollingSwitchedOff();
    void pollFailure_data();
    void pollFailure();
    void duePollWaitsForTheSlot();

    void openWithEmptyName();
    void openThenClose();
    void closeEndsTheOutstandingRequest();
    void failedOpen();
    void unplug_data();
    void unplug();
    void reconnectAfterUnplug();
    void reconnectStoppedByTheWindow_data();
    void reconnectStoppedByTheWindow();
    void frameTrace_data();
    void frameTrace();
    void frameTraceLine_data();
    void frameTraceLine();
    void idleWhilePortClosed();
    void shutdown_data();
    void shutdown();
};

void TestProtocole::initTestCase()
{
    // The engine logs every step; keep the test report readable.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestProtocole::init()
{
    QVERIFY(reader.open());
}

void TestProtocole::cleanup()
{
    engine.reset();
    rec.reset();
    reader.closeAll();
}

// ---------------------------------------------------------------- exchanges

void TestProtocole::exchanges_data()
{
    QTest::addColumn<char>("c1");
    QTest::addColumn<char>("c2");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArrayList>("answerChunks");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<char>("status");
    QTest::addColumn<QString>("text");

    const QString p999(999, 'p');
    const QByteArray b600 = QByteArray(600, 'r') + "END";
    const QByteArray b1001(1001, 's');

    QTest::newRow("empty request, empty answer")
        << 'B' << 'R' << QString() << QByteArray("\x02" "BR\x03" "012") << QByteArrayList{frame('A', '0', "")} << true << '0'
        << QString();
    QTest::newRow("payload and body") << 'V' << 'G' << "3.0.0" << request('V', 'G', "3.0.0")
                                      << QByteArrayList{frame('V', '0', "12")} << true << '0' << "12";
    QTest::newRow("refusal status handed over") << 'F' << 'C' << "Fil=5" << request('F', 'C', "Fil=5")
                                                << QByteArrayList{frame('F', '7', "non")} << true << '7' << "non";
    QTest::newRow("payload of 999 sent whole") << 'V' << 'P' << p999 << request('V', 'P', p999.toLatin1())
                                               << QByteArrayList{frame('A', '0', "ok")} << true << '0' << "ok";
    QTest::newRow("body over 252 received whole") << 'B' << 'R' << QString() << request('B', 'R', "")
                                                  << QByteArrayList{frame('A', '0', b600)} << true << '0'
                                                  << QString::fromLatin1(b600);
    QTest::newRow("body of 1001 received whole") << 'B' << 'R' << QString() << request('B', 'R', "")
                                                 << QByteArrayList{frame('A', '0', b1001)} << true << '0'
                                                 << QString::fromLatin1(b1001);
    QTest::newRow("body over 1001 ends not answered")
        << 'B' << 'R' << QString() << request('B', 'R', "") << QByteArrayList{frame('A', '0', QByteArray(1200, 't'))}
        << false << '?' << "untouched";
    QTest::newRow("body decoded as utf-8") << 'B' << 'R' << QString() << request('B', 'R', "")
                                           << QByteArrayList{frame('A', '0', "Nom=\xc3\x89lodie")} << true << '0'
                                           << QString::fromUtf8("Nom=\xc3\x89lodie");
    QTest::newRow("noise before the answer skipped")
        << 'B' << 'R' << QString() << request('B', 'R', "") << QByteArrayList{QByteArray("zz\x03" "0"), frame('A', '0', "x")}
        << true << '0' << "x";
    // Pauses shorter than the inter-byte limit do not cut the answer.
    QTest::newRow("answer in pieces") << 'B' << 'R' << QString() << request('B', 'R', "")
                                      << QByteArrayList{"\x02" "A", "0ab", "c\x03" "0", "12"} << true << '0' << "abc";
}

void TestProtocole::exchanges()
{
    QFETCH(char, c1);
    QFETCH(char, c2);
    QFETCH(QString, payload);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArrayList, answerChunks);
    QFETCH(bool, ok);
    QFETCH(char, status);
    QFETCH(QString, text);

    QVERIFY(openLink());
    const int mark = rec->size();
    QVERIFY(engine->Cmd.IsFree.load());
    QElapsedTimer round;
    round.start();
    QCOMPARE(engine->CmdRequest(c1, c2, payload, ARG_BADGE_READ_RESULT, 5000), quint8(QProtocole::REQ_QUEUED));
    QVERIFY(!engine->Cmd.IsFree.load());
    QCOMPARE(reader.nextFrame(5000), sent);
    for (int i = 0; i < answerChunks.size(); ++i) {
        if (i)
            QThread::msleep(150);
        QVERIFY(reader.send(answerChunks.at(i)));
    }
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_BADGE_READ_RESULT), 3000, mark) >= 0);
    // A prompt reader gets a prompt round trip: the engine does not sit on
    // a finished send (the pieces row adds its own pauses).
    QVERIFY2(round.elapsed() < 1500 + 150 * (answerChunks.size() - 1), qPrintable(QString::number(round.elapsed())));

    bool gotOk = !ok;
    char gotStatus = '?';
    QString gotText = "untouched";
    QCOMPARE(engine->CmdAnswer(gotOk, gotStatus, gotText), quint8(1));
    QCOMPARE(gotOk, ok);
    QCOMPARE(gotStatus, status);
    QCOMPARE(gotText, text);
    QVERIFY(engine->Cmd.IsFree.load());
    QCOMPARE(rec->filtered("debug:", mark), QStringList());
    // The line is in step for the next exchange.
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
}

void TestProtocole::cutAnswers_data()
{
    QTest::addColumn<QByteArray>("cut");
    QTest::newRow("after ETX and one closing byte") << QByteArray("\x02" "A0body\x03" "0");
    QTest::newRow("inside the body") << QByteArray("\x02" "A0bo");
    QTest::newRow("after STX") << QByteArray("\x02");
}

void TestProtocole::cutAnswers()
{
    QFETCH(QByteArray, cut);

    QVERIFY(openLink());
    // A first good answer, which a cut one must not replace.
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));

    const int mark = rec->size();
    QCOMPARE(engine->CmdRequest('B', 'R', QString(), ARG_BADGE_READ_RESULT, 10000), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('B', 'R', ""));
    QElapsedTimer t;
    t.start();
    QVERIFY(reader.send(cut));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_BADGE_READ_RESULT), 3000, mark) >= 0);
    // Ended by the inter-byte silence, long before the request's own time-out.
    QVERIFY2(t.elapsed() >= 450, qPrintable(QString::number(t.elapsed())));
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));

    bool ok = true;
    char status = '?';
    QString text = "untouched";
    QCOMPARE(engine->CmdAnswer(ok, status, text), quint8(1));
    QVERIFY(!ok);
    QCOMPARE(status, '?');
    QCOMPARE(text, QString("untouched"));

    // The rest of the cut frame turns up late: the next answer is still read
    // from its own STX.
    const int mark2 = rec->size();
    QCOMPARE(engine->CmdRequest('V', 'G', "1.0", ARG_CONFIG_GET_RESULT, 5000), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('V', 'G', "1.0"));
    QVERIFY(reader.send(QByteArray("12") + frame('V', '0', "after")));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_CONFIG_GET_RESULT), 3000, mark2) >= 0);
    QCOMPARE(engine->CmdAnswer(ok, status, text), quint8(1));
    QVERIFY(ok);
    QCOMPARE(text, QString("after"));
}

void TestProtocole::framesNobodyWaitsFor_data()
{
    QTest::addColumn<bool>("afterTimeout");
    QTest::addColumn<QByteArray>("frameSent");
    QTest::addColumn<QString>("shown");

    QTest::newRow("debug frame while idle") << false << frame('D', '0', "trace") << Recorder::debug("trace");
    QTest::newRow("stray answer while idle") << false << frame('A', '0', "stray") << Recorder::debug("PB=>stray");
    QTest::newRow("late answer after time-out") << true << frame('A', '0', "late") << Recorder::debug("PB=>late");
}

void TestProtocole::framesNobodyWaitsFor()
{
    QFETCH(bool, afterTimeout);
    QFETCH(QByteArray, frameSent);
    QFETCH(QString, shown);

    QVERIFY(openLink());
    int mark = rec->size();
    if (afterTimeout) {
        QCOMPARE(engine->CmdRequest('V', 'G', "2.0", ARG_CONFIG_GET_RESULT, 300), quint8(QProtocole::REQ_QUEUED));
        QCOMPARE(reader.nextFrame(3000), request('V', 'G', "2.0"));
        QVERIFY(rec->waitFor(Recorder::data(2, ARG_CONFIG_GET_RESULT), 3000, mark) >= 0);
        bool ok = true;
        char status = 0;
        QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));
        QVERIFY(!ok);
        mark = rec->size();
    }
    QVERIFY(reader.send(frameSent));
    QVERIFY(rec->waitFor(shown, 3000, mark) >= 0);
    QVERIFY(engine->Cmd.IsFree.load());
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
    QCOMPARE(rec->filtered("data:", mark), QStringList{Recorder::data(2, ARG_CONFIG_GET_RESULT)});
}

void TestProtocole::debugFrameDuringRequest()
{
    QVERIFY(openLink());
    const int mark = rec->size();
    QCOMPARE(engine->CmdRequest('V', 'G', "3.0.0", ARG_CONFIG_GET_RESULT, 5000), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('V', 'G', "3.0.0"));
    QVERIFY(reader.send(frame('D', '0', "busy")));
    QVERIFY(rec->waitFor(Recorder::debug("busy"), 3000, mark) >= 0);
    QVERIFY(engine->Cmd.IsWaiting.load());
    QVERIFY(reader.send(frame('V', '0', "42")));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_CONFIG_GET_RESULT), 3000, mark) >= 0);
    bool ok = false;
    char status = 0;
    QString text;
    QCOMPARE(engine->CmdAnswer(ok, status, text), quint8(1));
    QVERIFY(ok);
    QCOMPARE(text, QString("42"));
    QCOMPARE(rec->since(mark), (QStringList{Recorder::debug("busy"), Recorder::data(2, ARG_CONFIG_GET_RESULT)}));
}

void TestProtocole::lateAnswerNotTakenForTheNext_data()
{
    QTest::addColumn<bool>("timedOutBefore");
    QTest::addColumn<QByteArray>("beforeSend");   // bytes that come before the next request goes
    QTest::addColumn<int>("frameAfterMs");        // a frame follows the request after this long
    QTest::addColumn<bool>("frameTaken");
    // 50 ms a byte: the 10-byte request needs 500 ms to reach the reader.
    QTest::newRow("after a time-out, begun within the request's line time: dropped")
        << true << QByteArray() << 0 << false;
    QTest::newRow("after a time-out, begun after the line time: the answer")
        << true << QByteArray() << 800 << true;
    QTest::newRow("no time-out, no line-time rule") << false << QByteArray() << 0 << true;
    QTest::newRow("late frame split around the send: only a whole frame after it answers")
        << true << QByteArray("\x02" "A0la") << 800 << true;
}

void TestProtocole::lateAnswerNotTakenForTheNext()
{
    QFETCH(bool, timedOutBefore);
    QFETCH(QByteArray, beforeSend);
    QFETCH(int, frameAfterMs);
    QFETCH(bool, frameTaken);

    QVERIFY(openLink());
    // A pseudo-terminal has no line time; this one plays a slow line.
    QCOMPARE(engine->LineByteNs.load(), qint64(0));
    engine->LineByteNs = 50 * 1000 * 1000;
    int mark = rec->size();
    bool ok = false;
    char status = 0;
    QString text;
    if (timedOutBefore) {
        QCOMPARE(engine->CmdRequest('B', 'T', "Tra=1", ARG_TRANSACTION_RESULT, 300), quint8(QProtocole::REQ_QUEUED));
        QCOMPARE(reader.nextFrame(3000), request('B', 'T', "Tra=1"));
        QVERIFY(rec->waitFor(Recorder::data(2, ARG_TRANSACTION_RESULT), 3000, mark) >= 0);
        QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));
        QVERIFY(!ok);
        QVERIFY(reader.send(beforeSend));
        QTest::qWait(50);
    }
    mark = rec->size();
    QCOMPARE(engine->CmdRequest('V', 'G', "9.9", ARG_CONFIG_GET_RESULT, 3000), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('V', 'G', "9.9"));
    if (!beforeSend.isEmpty())
        QVERIFY(reader.send("te\x03" "012"));
    QTest::qWait(frameAfterMs);
    QVERIFY(reader.send(frame('A', '0', "late")));
    if (!frameTaken) {
        QVERIFY(rec->waitFor(Recorder::debug("PB=>late"), 3000, mark) >= 0);
        QVERIFY(engine->Cmd.IsWaiting.load());
        QTest::qWait(600);
        QVERIFY(reader.send(frame('A', '0', "fresh")));
    }
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_CONFIG_GET_RESULT), 5000, mark) >= 0);
    QCOMPARE(engine->CmdAnswer(ok, status, text), quint8(1));
    QVERIFY(ok);
    QCOMPARE(text, frameTaken ? QString("late") : QString("fresh"));
}

void TestProtocole::answerKinds_data()
{
    QTest::addColumn<QByteArray>("letters");
    QTest::addColumn<char>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("fits");
    const QByteArray record = "UID=04A1B2C3;Usr=41;Cn0=1500";
    const QByteArray poll = "11100000;UID=04A1B2C3";
    QTest::newRow("record to a transaction") << QByteArray("BT") << '0' << record << false;
    QTest::newRow("record to a creation") << QByteArray("BN") << '0' << record << false;
    QTest::newRow("record to a format, refused") << QByteArray("BF") << '3' << record << false;
    QTest::newRow("record to a poll") << QByteArray("BS") << '0' << QByteArray("Cn0=15") << false;
    QTest::newRow("poll answer to a read") << QByteArray("BR") << '0' << poll << false;
    QTest::newRow("no-support poll answer to a read") << QByteArray("BR") << '0' << QByteArray("10") << false;
    QTest::newRow("empty answer to a transaction") << QByteArray("BT") << '5' << QByteArray() << true;
    QTest::newRow("format refusal names its sector") << QByteArray("BF") << '1' << QByteArray("3") << true;
    QTest::newRow("poll answer to a poll") << QByteArray("BS") << '0' << poll << true;
    QTest::newRow("record to a read") << QByteArray("BR") << '0' << record << true;
    QTest::newRow("empty read answer: the page judges it") << QByteArray("BR") << '0' << QByteArray() << true;
    QTest::newRow("read refusal, whatever its text") << QByteArray("BR") << '2' << QByteArray("12") << true;
    QTest::newRow("other families are not judged") << QByteArray("VG") << '0' << record << true;
}

void TestProtocole::answerKinds()
{
    QFETCH(QByteArray, letters);
    QFETCH(char, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, fits);
    QCOMPARE(AnswerFitsRequest(letters.at(0), letters.at(1), status, body.constData(), std::size_t(body.size())),
             fits);
}

// A re-read times out, its answer comes just after, and a debit is asked for
// at once: the late record is never taken as the debit's answer, and the
// reader's refusal that follows is.
void TestProtocole::lineQuietAfterTimeout_data()
{
    QTest::addColumn<bool>("lateBeforeSend");
    QTest::newRow("late answer at once: the debit waits for a quiet line") << true;
    QTest::newRow("late answer after the debit went out: not its kind") << false;
}

void TestProtocole::lineQuietAfterTimeout()
{
    QFETCH(bool, lateBeforeSend);
    const QByteArray late = frame('A', '0', "UID=04A1B2C3;Usr=41;Cn0=1500");
    const QByteArray debit = "Cnt=1;Trt=2;Tra=100";

    QVERIFY(openLink());
    int mark = rec->size();
    QCOMPARE(engine->CmdRequest('B', 'R', QString(), ARG_BADGE_READ_RESULT, 300), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('B', 'R', ""));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_BADGE_READ_RESULT), 3000, mark) >= 0);
    bool ok = true;
    char status = 0;
    QString text;
    QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));
    QVERIFY(!ok);

    mark = rec->size();
    QElapsedTimer sinceLate;
    sinceLate.start();
    if (lateBeforeSend)
        QVERIFY(reader.send(late));
    QCOMPARE(engine->CmdRequest('B', 'T', debit, ARG_TRANSACTION_RESULT, 4000), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(4000), request('B', 'T', debit));
    // The longest answer frame at 9600 baud lasts about a second.
    QVERIFY2(sinceLate.elapsed() >= 900, qPrintable(QString::number(sinceLate.elapsed())));
    if (!lateBeforeSend)
        QVERIFY(reader.send(late));
    QVERIFY(rec->waitFor(Recorder::debug("PB=>UID=04A1B2C3;Usr=41;Cn0=1500"), 3000, mark) >= 0);
    QVERIFY(engine->Cmd.IsWaiting.load());

    QVERIFY(reader.send(frame('A', '5', "")));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_TRANSACTION_RESULT), 3000, mark) >= 0);
    QCOMPARE(engine->CmdAnswer(ok, status, text), quint8(1));
    QVERIFY(ok);
    QCOMPARE(status, '5');
    QCOMPARE(rec->count(Recorder::data(2, ARG_TRANSACTION_RESULT), mark), 1);
}

// A reader that never stops talking after a time-out still gets the next
// request, with half its time-out left for the answer.
void TestProtocole::talkativeReaderStillGetsTheRequest()
{
    QVERIFY(openLink());
    int mark = rec->size();
    QCOMPARE(engine->CmdRequest('V', 'G', "1.0", ARG_CONFIG_GET_RESULT, 300), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('V', 'G', "1.0"));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_CONFIG_GET_RESULT), 3000, mark) >= 0);
    bool ok = true;
    char status = 0;
    QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));

    mark = rec->size();
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    QCOMPARE(engine->CmdRequest('V', 'G', "2.0", ARG_CONFIG_GET_RESULT, 2000), quint8(QProtocole::REQ_QUEUED));
    QByteArray sent;
    for (int i = 0; sent.isEmpty() && sinceRequest.elapsed() < 4000; ++i) {
        QVERIFY(reader.send(frame('D', '0', "chat" + QByteArray::number(i))));
        sent = reader.nextFrame(100);
    }
    QCOMPARE(sent, request('V', 'G', "2.0"));
    QVERIFY2(sinceRequest.elapsed() < 1900, qPrintable(QString::number(sinceRequest.elapsed())));
    QVERIFY(reader.send(frame('V', '0', "7")));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_CONFIG_GET_RESULT), 3000, mark) >= 0);
    QString text;
    QCOMPARE(engine->CmdAnswer(ok, status, text), quint8(1));
    QVERIFY(ok);
    QCOMPARE(text, QString("7"));
}

void TestProtocole::requestWaitsWhileReaderStreams_data()
{
    QTest::addColumn<QByteArray>("stale");
    QTest::newRow("debug stream") << QByteArray();
    // An old answer in the input is not the answer of a request not yet sent.
    QTest::newRow("stale answer in the stream") << frame('A', '0', "stale");
}

void TestProtocole::requestWaitsWhileReaderStreams()
{
    QFETCH(QByteArray, stale);

    QVERIFY(openLink());
    const int mark = rec->size();
    const int frames = 40;
    QByteArray stream;
    for (int i = 0; i < frames; ++i) {
        stream += frame('D', '0', "d" + QByteArray::number(i));
        if (i == frames / 2)
            stream += stale;
    }
    QVERIFY(reader.send(stream));
    QVERIFY(rec->waitFor(Recorder::debug("d0"), 3000, mark) >= 0);
    QCOMPARE(engine->CmdRequest('B', 'R', QString(), ARG_BADGE_READ_RESULT, 20000), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(10000), request('B', 'R', ""));
    // Everything the reader streamed was taken before the request went out.
    QCoreApplication::sendPostedEvents();
    QVERIFY(rec->indexOf(Recorder::debug("d" + QByteArray::number(frames - 1)), mark) >= 0);
    QVERIFY(engine->Cmd.IsWaiting.load());
    QVERIFY(reader.send(frame('A', '0', "fresh")));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_BADGE_READ_RESULT), 3000, mark) >= 0);
    bool ok = false;
    char status = 0;
    QString text;
    QCOMPARE(engine->CmdAnswer(ok, status, text), quint8(1));
    QVERIFY(ok);
    QCOMPARE(text, QString("fresh"));
    QCOMPARE(rec->count(Recorder::data(2, ARG_BADGE_READ_RESULT), mark), 1);
    QCOMPARE(rec->count(Recorder::debug("PB=>stale"), mark), stale.isEmpty() ? 0 : 1);
}

void TestProtocole::codeZeroRequest_data()
{
    QTest::addColumn<bool>("answered");
    QTest::newRow("answered") << true;
    QTest::newRow("timed out") << false;
}

void TestProtocole::codeZeroRequest()
{
    QFETCH(bool, answered);

    QVERIFY(openLink());
    const int mark = rec->size();
    QCOMPARE(engine->PutValueRequest("12.255.8", "01/02/24", ARG_NONE), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('V', 'P', "12.255.8=01/02/24"));

    bool ok = !answered;
    char status = 0;
    QString text;
    QCOMPARE(engine->CmdAnswer(ok, status, text), quint8(0));
    QCOMPARE(ok, !answered);   // untouched while outstanding
    QVERIFY(!engine->Cmd.IsFree.load());

    if (answered)
        QVERIFY(reader.send(frame('V', '0', "done")));
    QElapsedTimer t;
    t.start();
    quint8 r = 0;
    while ((r = engine->CmdAnswer(ok, status, text)) == 0 && t.elapsed() < 8000)
        QThread::msleep(5);
    QCOMPARE(r, quint8(1));
    QCOMPARE(ok, answered);
    if (answered) {
        QCOMPARE(status, '0');
        QCOMPARE(text, QString("done"));
    } else {
        QVERIFY2(t.elapsed() >= 3500, "time-out of a put is 4000 ms");
    }
    QVERIFY(engine->Cmd.IsFree.load());
    // No kind-2 event for code 0, before the next request's own.
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
    QCOMPARE(rec->filtered("data:", mark), QStringList{Recorder::data(2, ARG_CONFIG_GET_RESULT)});
}

void TestProtocole::overlongPayloadRefused_data()
{
    QTest::addColumn<unsigned int>("code");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("with a code") << unsigned(ARG_CONFIG_PUT_RESULT)
                                 << QStringList{Recorder::data(2, ARG_CONFIG_PUT_RESULT), Recorder::data(2, ARG_CONFIG_GET_RESULT)};
    QTest::newRow("code 0") << unsigned(ARG_NONE) << QStringList{Recorder::data(2, ARG_CONFIG_GET_RESULT)};
}

void TestProtocole::overlongPayloadRefused()
{
    QFETCH(unsigned int, code);
    QFETCH(QStringList, events);

    QVERIFY(openLink());
    const int mark = rec->size();
    QCOMPARE(engine->CmdRequest('V', 'P', QString(1000, 'q'), code, 5000), quint8(QProtocole::REQ_TOO_LONG));
    QVERIFY(!engine->Cmd.IsWaiting.load());
    bool ok = true;
    char status = '?';
    QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));
    QVERIFY(!ok);
    QVERIFY(engine->Cmd.IsFree.load());
    // The refusal's event is queued, so it comes after the caller returns.
    if (code != ARG_NONE)
        QVERIFY(rec->waitFor(Recorder::data(2, code), 3000, mark) >= 0);
    // Nothing went out: the next frame on the line is the next request.
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
    QCOMPARE(rec->filtered("data:", mark), events);
}

void TestProtocole::requestWhilePortClosedEndsAtOnce_data()
{
    QTest::addColumn<bool>("openedBefore");
    QTest::newRow("never opened") << false;
    QTest::newRow("closed") << true;
}

void TestProtocole::requestWhilePortClosedEndsAtOnce()
{
    // Nothing waits for the next open: the request ends now, the slot is
    // free, and the reopened line never sees its frame.
    QFETCH(bool, openedBefore);
    startEngine();
    if (openedBefore) {
        QVERIFY(openLink());
        engine->PostComRequest(QProtocole::COM_CLOSE);
        QVERIFY(rec->waitFor(Recorder::status("Fermé")) >= 0);
    }
    const int mark = rec->size();
    QCOMPARE(engine->CmdRequest('V', 'P', "12.255.7.1=50", ARG_TEST_RESULT, 4000),
             quint8(QProtocole::REQ_CLOSED));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_TEST_RESULT), 1000, mark) >= 0);
    bool ok = true;
    char status = 0;
    QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));
    QVERIFY(!ok);
    QVERIFY(engine->Cmd.IsFree.load());
    QVERIFY(openLink());
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
}

void TestProtocole::closeDropsTheRequestNotYetSent()
{
    // A frame begun by the reader keeps the request waiting (half a second
    // of silence ends the frame): the close comes first.
    QVERIFY(openLink());
    const int mark = rec->size();
    QVERIFY(reader.send(frame('D', '0', "hi") + QByteArray(1, STX) + "D0"));
    QVERIFY(rec->waitFor(Recorder::debug("hi"), 3000, mark) >= 0);
    QCOMPARE(engine->CmdRequest('V', 'P', "12.255.7.1=50", ARG_TEST_RESULT, 4000),
             quint8(QProtocole::REQ_QUEUED));
    engine->PostComRequest(QProtocole::COM_CLOSE);
    QVERIFY(rec->waitFor(Recorder::status("Fermé"), 3000, mark) >= 0);
    QVERIFY(rec->indexOf(Recorder::data(2, ARG_TEST_RESULT), mark) >= 0);
    bool ok = true;
    char status = 0;
    QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));
    QVERIFY(!ok);
    QVERIFY(openLink());
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
}

void TestProtocole::claimRace()
{
    // Not started: only the claim is under test; the slot is handed back by
    // hand, and the port taken as open lets the winner queue.
    QProtocole e;
    e.ComIsOpen.store(true);
    constexpr int Rounds = 3000;
    std::atomic<int> go{0};
    std::atomic<int> finished{0};
    quint8 result[2][Rounds] = {};
    auto contender = [&](int who) {
        for (int r = 0; r < Rounds; ++r) {
            while (go.load(std::memory_order_acquire) <= r)
                std::this_thread::yield();
            result[who][r] = e.CmdRequest('B', char('0' + who), QString::number(who), 100u + unsigned(who),
                                          1000u + unsigned(who));
            finished.fetch_add(1, std::memory_order_acq_rel);
        }
    };
    std::thread a(contender, 0);
    std::thread b(contender, 1);
    int wrong = 0;
    for (int r = 0; r < Rounds; ++r) {
        go.store(r + 1, std::memory_order_release);
        while (finished.load(std::memory_order_acquire) < 2 * (r + 1))
            std::this_thread::yield();
        const bool aWon = result[0][r] == QProtocole::REQ_QUEUED;
        const bool bWon = result[1][r] == QProtocole::REQ_QUEUED;
        const int winner = aWon ? 0 : 1;
        const quint8 loser = aWon ? result[1][r] : result[0][r];
        if (aWon == bWon || loser != QProtocole::REQ_BUSY || e.Cmd.Arg != 100u + unsigned(winner)
            || e.Cmd.TimeOutMs != 1000u + unsigned(winner) || !e.Cmd.IsWaiting.load())
            ++wrong;
        e.Cmd.IsWaiting.store(false);
        bool ok = false;
        char status = 0;
        e.CmdAnswer(ok, status);
    }
    a.join();
    b.join();
    QCOMPARE(wrong, 0);
}

// ------------------------------------------------------------------ polling

void TestProtocole::pollAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<char>("status");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("10: no support") << QByteArray("10") << '0' << QStringList{Recorder::data(2, ARG_POLLING_NO_SUPPORT)};
    QTest::newRow("10 whatever the status") << QByteArray("10") << '9' << QStringList{Recorder::data(2, ARG_POLLING_NO_SUPPORT)};
    QTest::newRow("11 with pairs: event") << QByteArray("1100UID=04A1B2") << '0'
                                          << QStringList{Recorder::data(2, ARG_POLLING_EVENT, "1100UID=04A1B2")};
    QTest::newRow("1 alone: event") << QByteArray("1") << '0' << QStringList{Recorder::data(2, ARG_POLLING_EVENT, "1")};
    QTest::newRow("0: nothing new") << QByteArray("0") << '0' << QStringList();
    QTest::newRow("empty: nothing new") << QByteArray() << '0' << QStringList();
    QTest::newRow("01: nothing new") << QByteArray("01") << '0' << QStringList();
}

void TestProtocole::pollAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(char, status);
    QFETCH(QStringList, events);

    QVERIFY(openLink());
    const int mark = rec->size();
    engine->Polling = true;
    QVERIFY(answerPoll(answer, status));
    QVERIFY(QTest::qWaitFor([&] {
        for (const QString &s : SpinnerOrder)
            if (rec->indexOf(Recorder::data(1, 0, s), mark) >= 0)
                return true;
        return false;
    }, 3000));
    engine->Polling = false;
    QVERIFY(rec->waitFor(Recorder::data(1, 0, "Polling -> Stop"), 3000, mark) >= 0);

    QStringList expected{Recorder::data(1, 0, "Polling -> Start"), Recorder::data(1, 0, "Polling ...")};
    QStringList got = rec->filtered("data:", mark);
    QVERIFY(got.size() >= 3);
    QVERIFY(SpinnerOrder.contains(got.at(2).mid(QStringLiteral("data:1,0,").size())));
    got.removeAt(2);
    expected << events << Recorder::data(1, 0, "Polling -> Stop");
    QCOMPARE(got, expected);
    QVERIFY(engine->Cmd.IsFree.load());
}

void TestProtocole::spinnerTurnsAQuarterPerPoll()
{
    QVERIFY(openLink());
    const int mark = rec->size();
    engine->Polling = true;
    QStringList turns;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer pause;
        pause.start();
        QVERIFY(answerPoll("0"));
        if (i) {
            // Measured from the previous answer: the pause between polls.
            QVERIFY2(pause.elapsed() >= 400, qPrintable(QString::number(pause.elapsed())));
        }
        const int before = rec->filtered("data:1,0,", mark).size();
        QVERIFY(QTest::qWaitFor([&] { return rec->filtered("data:1,0,", mark).size() > before + (i ? 1 : 0); }, 3000));
    }
    engine->Polling = false;
    QVERIFY(rec->waitFor(Recorder::data(1, 0, "Polling -> Stop"), 3000, mark) >= 0);
    for (const QString &l : rec->filtered("data:1,0,", mark)) {
        const QString text = l.mid(QStringLiteral("data:1,0,").size());
        if (SpinnerOrder.contains(text))
            turns << text;
    }
    QCOMPARE(turns.size(), 5);
    const int first = SpinnerOrder.indexOf(turns.first());
    for (int i = 0; i < turns.size(); ++i)
        QCOMPARE(turns.at(i), SpinnerOrder.at((first + i) % 4));
    QCOMPARE(rec->count(Recorder::data(1, 0, "Polling ..."), mark), 5);
    QCOMPARE(rec->count(Recorder::data(1, 0, "Polling -> Start"), mark), 1);
}

void TestProtocole::pollingSwitchedOff_data()
{
    QTest::addColumn<bool>("whileOutstanding");
    QTest::newRow("during the pause") << false;
    QTest::newRow("while a poll is outstanding") << true;
}

void TestProtocole::pollingSwitchedOff()
{
    QFETCH(bool, whileOutstanding);

    QVERIFY(openLink());
    const int mark = rec->size();
    engine->Polling = true;
    QCOMPARE(reader.nextFrame(3000), PollFrame);
    if (whileOutstanding) {
        QVERIFY(rec->waitFor(Recorder::data(1, 0, "Polling ..."), 3000, mark) >= 0);
        engine->Polling = false;
        QThread::msleep(50);   // some passes with the poll outstanding
        QCOMPARE(rec->count(Recorder::data(1, 0, "Polling -> Stop"), mark), 0);
        QVERIFY(reader.send(frame('A', '0', "10")));
    } else {
        QVERIFY(reader.send(frame('A', '0', "10")));
        QVERIFY(rec->waitFor(Recorder::data(2, ARG_POLLING_NO_SUPPORT), 3000, mark) >= 0);
        engine->Polling = false;
    }
    QVERIFY(rec->waitFor(Recorder::data(1, 0, "Polling -> Stop"), 3000, mark) >= 0);
    // No further poll: the next frame on the line is the next request.
    QVERIFY(reader.quietFor(800));
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
    QCOMPARE(rec->count(Recorder::data(1, 0, "Polling -> Stop"), mark), 1);
    QCOMPARE(rec->count(Recorder::data(1, 0, "Polling ..."), mark), 1);
    QCOMPARE(rec->count(Recorder::data(2, ARG_POLLING_NO_SUPPORT), mark), 1);
    // The stop comes after the poll's own events.
    QVERIFY(rec->indexOf(Recorder::data(2, ARG_POLLING_NO_SUPPORT), mark)
            < rec->indexOf(Recorder::data(1, 0, "Polling -> Stop"), mark));
}

void TestProtocole::pollFailure_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("minMs");
    QTest::newRow("no answer") << QByteArray() << 2800;
    QTest::newRow("answer cut short") << QByteArray("\x02" "A01") << 400;
}

void TestProtocole::pollFailure()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, minMs);

    QVERIFY(openLink());
    const int mark = rec->size();
    engine->Polling = true;
    QCOMPARE(reader.nextFrame(3000), PollFrame);
    QElapsedTimer t;
    t.start();
    if (!reply.isEmpty())
        QVERIFY(reader.send(reply));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_STATUS_TIMEOUT), 8000, mark) >= 0);
    QVERIFY2(t.elapsed() >= minMs, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!engine->Polling.load());
    // Polling is off without its stop text and without a further poll.
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
    QCOMPARE(rec->count(Recorder::data(1, 0, "Polling -> Stop"), mark), 0);
    QCOMPARE(rec->count(Recorder::data(1, 0, "Polling ..."), mark), 1);
    QCOMPARE(rec->filtered("data:2,", mark),
             (QStringList{Recorder::data(2, ARG_STATUS_TIMEOUT), Recorder::data(2, ARG_CONFIG_GET_RESULT)}));
    // Switched on again, it starts afresh.
    const int mark2 = rec->size();
    engine->Polling = true;
    QVERIFY(answerPoll("0"));
    QVERIFY(rec->waitFor(Recorder::data(1, 0, "Polling -> Start"), 3000, mark2) >= 0);
    engine->Polling = false;
}

void TestProtocole::duePollWaitsForTheSlot()
{
    QVERIFY(openLink());
    const int mark = rec->size();
    QCOMPARE(engine->CmdRequest('B', 'R', QString(), ARG_BADGE_READ_RESULT, 5000), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('B', 'R', ""));
    engine->Polling = true;
    QVERIFY(rec->waitFor(Recorder::data(1, 0, "Polling -> Start"), 3000, mark) >= 0);
    // Switched off while the window holds the slot: the poll already due
    // still goes out once the slot is free, then polling stops.
    engine->Polling = false;
    QVERIFY(reader.send(frame('A', '0', "rec")));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_BADGE_READ_RESULT), 3000, mark) >= 0);
    QVERIFY(reader.quietFor(100));
    bool ok = false;
    char status = 0;
    QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));
    QVERIFY(answerPoll("0"));
    QVERIFY(rec->waitFor(Recorder::data(1, 0, "Polling -> Stop"), 3000, mark) >= 0);
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
    QCOMPARE(rec->count(Recorder::data(1, 0, "Polling ..."), mark), 1);
}

// ----------------------------------------------------------------- the port

void TestProtocole::openWithEmptyName()
{
    startEngine();
    const int mark = rec->size();
    engine->SetPortName(QString());
    engine->PostComRequest(QProtocole::COM_OPEN);
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_PORT_STATE), 3000, mark) >= 0);
    QVERIFY(!engine->ComIsOpen.load());
    // The close that follows marks the end of what the open raised.
    engine->PostComRequest(QProtocole::COM_CLOSE);
    QVERIFY(rec->waitFor(Recorder::status("Fermé"), 3000, mark) >= 0);
    QCOMPARE(rec->since(mark),
             (QStringList{Recorder::data(2, ARG_PORT_STATE), Recorder::data(2, ARG_PORT_STATE), Recorder::status("Fermé")}));
}

void TestProtocole::openThenClose()
{
    startEngine();
    const int mark = rec->size();
    QVERIFY(openLink());
    QVERIFY(rec->waitFor(Recorder::status("Ouvert"), 3000, mark) >= 0);
    QVERIFY(rec->openWhenOuvert);
    engine->PostComRequest(QProtocole::COM_CLOSE);
    QVERIFY(rec->waitFor(Recorder::status("Fermé"), 3000, mark) >= 0);
    QVERIFY(!engine->ComIsOpen.load());
    QCOMPARE(rec->since(mark), (QStringList{Recorder::status("Ouvert"), Recorder::data(2, ARG_PORT_STATE),
                                            Recorder::data(2, ARG_PORT_STATE), Recorder::status("Fermé")}));
    // Opened again, the line works.
    QVERIFY(openLink());
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
}

void TestProtocole::closeEndsTheOutstandingRequest()
{
    // Its owner hears of the end at once instead of at the next open.
    QVERIFY(openLink());
    QCOMPARE(engine->CmdRequest('V', 'G', "3.0.1", ARG_CONFIG_GET_RESULT, 60000),
             quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('V', 'G', "3.0.1"));
    const int mark = rec->size();
    engine->PostComRequest(QProtocole::COM_CLOSE);
    QVERIFY(rec->waitFor(Recorder::status("Fermé"), 3000, mark) >= 0);
    QCOMPARE(rec->since(mark), (QStringList{Recorder::data(2, ARG_CONFIG_GET_RESULT),
                                            Recorder::data(2, ARG_PORT_STATE), Recorder::status("Fermé")}));
    bool ok = true;
    char status = 0;
    QCOMPARE(engine->CmdAnswer(ok, status), quint8(1));
    QVERIFY(!ok);
    QVERIFY(engine->Cmd.IsFree.load());
}

void TestProtocole::failedOpen()
{
    const QString name = QStringLiteral("/nonexistent/ttyKOV0");
    // The code the port itself reports for that name.
    QSerialPort probe(name);
    QVERIFY(!probe.open(QIODevice::ReadWrite));
    const int code = int(probe.error());
    QVERIFY(code != 0);

    startEngine();
    const int mark = rec->size();
    engine->SetPortName(name);
    engine->PostComRequest(QProtocole::COM_OPEN);
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_PORT_STATE), 3000, mark) >= 0);
    QCOMPARE(rec->since(mark), (QStringList{Recorder::status(QStringLiteral("Can't open %1, error code %2").arg(name).arg(code)),
                                            Recorder::data(2, ARG_PORT_STATE)}));
    QVERIFY(!engine->ComIsOpen.load());
}

void TestProtocole::unplug_data()
{
    QTest::addColumn<QString>("outstanding");
    QTest::newRow("idle") << QString();
    QTest::newRow("request outstanding") << "request";
    QTest::newRow("poll outstanding") << "poll";
}

void TestProtocole::unplug()
{
    QFETCH(QString, outstanding);

    QVERIFY(openLink());
    const int mark = rec->size();
    QStringList expected;
    if (outstanding == "request") {
        QCOMPARE(engine->CmdRequest('B', 'R', QString(), ARG_BADGE_READ_RESULT, 20000), quint8(QProtocole::REQ_QUEUED));
        QCOMPARE(reader.nextFrame(3000), request('B', 'R', ""));
        expected << Recorder::data(2, ARG_BADGE_READ_RESULT);
    } else if (outstanding == "poll") {
        engine->Polling = true;
        QCOMPARE(reader.nextFrame(3000), PollFrame);
        QVERIFY(rec->waitFor(Recorder::data(1, 0, "Polling ..."), 3000, mark) >= 0);
        expected << Recorder::data(2, ARG_STATUS_TIMEOUT);
    }
    const int mark2 = rec->size();
    reader.hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(!engine->ComIsOpen.load(), 5000);
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_PORT_STATE), 3000, mark2) >= 0);
    QVERIFY(QTest::qWaitFor([&] { return !rec->filtered("status:", mark2).isEmpty(); }, 3000));
    QCoreApplication::sendPostedEvents();

    QStringList got = rec->since(mark2);
    expected << Recorder::data(2, ARG_PORT_STATE) << Recorder::status("Liaison perdue : lecteur débranché ?");
    QCOMPARE(got, expected);
    if (!outstanding.isEmpty()) {
        bool ok = true;
        char status = 0;
        QCOMPARE(engine->CmdAnswer(ok, status), outstanding == "request" ? quint8(1) : quint8(1));
        if (outstanding == "request")
            QVERIFY(!ok);
    }
    QVERIFY(!engine->Polling.load());
    // Nothing runs on a vanished line.
    const double used = cpuOverOneSecond();
    QVERIFY2(used < IdleCpuBound, qPrintable(QString::number(used)));
    QStringList after = rec->since(mark2);
    after.removeAll(Recorder::status("Reconnexion ..."));
    QCOMPARE(after, got);
}

// The line behind a link that the test can point at a new pseudo-terminal,
// as a replugged adapter comes back under its old name.
struct LinkedLine {
    QTemporaryDir dir;
    QString link = dir.filePath("lecteur");
    bool pointAt(const QString &target)
    {
        QFile::remove(link);
        return QFile::link(target, link);
    }
};

void TestProtocole::reconnectAfterUnplug()
{
    LinkedLine line;
    QVERIFY(line.pointAt(reader.path));
    startEngine();
    engine->SetPortName(line.link);
    engine->PostComRequest(QProtocole::COM_OPEN);
    QVERIFY(rec->waitFor(Recorder::status("Ouvert"), 5000) >= 0);

    const int mark = rec->size();
    reader.hangUp();
    QVERIFY(rec->waitFor(Recorder::status("Liaison perdue : lecteur débranché ?"), 5000, mark) >= 0);
    QElapsedTimer lost;
    lost.start();
    QVERIFY(rec->waitFor(Recorder::status("Reconnexion ..."), 5000, mark) >= 0);
    QVERIFY2(lost.elapsed() >= 1500, qPrintable(QString::number(lost.elapsed())));
    // Failed attempts are quiet and sleep between tries.
    const double used = cpuOverOneSecond();
    QVERIFY2(used < IdleCpuBound, qPrintable(QString::number(used)));
    QTest::qWait(1500);
    QCOMPARE(rec->filtered("status:", mark), (QStringList{Recorder::status("Liaison perdue : lecteur débranché ?"),
                                                          Recorder::status("Reconnexion ...")}));

    reader.closeAll();
    QVERIFY(reader.open());
    QVERIFY(line.pointAt(reader.path));
    const int mark2 = rec->size();
    QVERIFY(rec->waitFor(Recorder::status("Ouvert"), 5000, mark2) >= 0);
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_PORT_STATE), 3000, mark2) >= 0);
    QVERIFY(engine->ComIsOpen.load());
    QVERIFY(barrier(ARG_CONFIG_GET_RESULT));
}

void TestProtocole::reconnectStoppedByTheWindow_data()
{
    QTest::addColumn<bool>("connectClicked");
    QTest::addColumn<QString>("status");
    QTest::newRow("connect clicked") << true << "Can't open";
    QTest::newRow("another port picked") << false << "Fermé";
}

void TestProtocole::reconnectStoppedByTheWindow()
{
    QFETCH(bool, connectClicked);
    QFETCH(QString, status);

    LinkedLine line;
    QVERIFY(line.pointAt(reader.path));
    startEngine();
    engine->SetPortName(line.link);
    engine->PostComRequest(QProtocole::COM_OPEN);
    QVERIFY(rec->waitFor(Recorder::status("Ouvert"), 5000) >= 0);
    reader.hangUp();
    QVERIFY(rec->waitFor(Recorder::status("Reconnexion ..."), 8000) >= 0);

    const int mark = rec->size();
    if (connectClicked)
        engine->PostComRequest(QProtocole::COM_OPEN);
    else
        engine->ReconnectCancel();
    QVERIFY(QTest::qWaitFor([&] { return !rec->filtered("status:", mark).isEmpty(); }, 3000));
    QVERIFY(rec->filtered("status:", mark).first().startsWith(Recorder::status(status)));
    // The adapter comes back, but nobody tries it any more.
    reader.closeAll();
    QVERIFY(reader.open());
    QVERIFY(line.pointAt(reader.path));
    QTest::qWait(3000);
    QVERIFY(!engine->ComIsOpen.load());
    QCOMPARE(rec->filtered("status:", mark).size(), 1);
}

void TestProtocole::frameTrace_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QByteArrayList>("answer");
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("off") << false << QByteArrayList{frame('V', '0', "12")} << QStringList();
    QTest::newRow("request and answer") << true << QByteArrayList{frame('V', '0', "12")}
                                        << QStringList{"-> VG 3.0.0", "<- V0 12 (VG)"};
    QTest::newRow("debug text in between")
        << true << QByteArrayList{frame('D', '0', "hi"), frame('V', '1', "")}
        << QStringList{"-> VG 3.0.0", "<- D0 hi", "<- V1  (VG)"};
    QTest::newRow("answer cut short") << true << QByteArrayList{"\x02" "V0ab"}
                                      << QStringList{"-> VG 3.0.0", "<- V0 ab (VG) cut"};
    QTest::newRow("cut after the start") << true << QByteArrayList{"\x02"}
                                         << QStringList{"-> VG 3.0.0", QString("<- ") + QChar(0) + QChar(0) + "  (VG) cut"};
}

void TestProtocole::frameTrace()
{
    QFETCH(bool, on);
    QFETCH(QByteArrayList, answer);
    QFETCH(QStringList, frames);

    QVERIFY(openLink());
    engine->TraceOn = on;
    const int mark = rec->size();
    QCOMPARE(engine->CmdRequest('V', 'G', "3.0.0", ARG_CONFIG_GET_RESULT, 5000), quint8(QProtocole::REQ_QUEUED));
    QCOMPARE(reader.nextFrame(3000), request('V', 'G', "3.0.0"));
    for (const QByteArray &part : answer)
        QVERIFY(reader.send(part));
    QVERIFY(rec->waitFor(Recorder::data(2, ARG_CONFIG_GET_RESULT), 3000, mark) >= 0);
    QCoreApplication::sendPostedEvents();
    QStringList got;
    for (const QString &l : rec->filtered("frame:", mark))
        got << l.mid(6);
    QCOMPARE(got, frames);
}

void TestProtocole::frameTraceLine_data()
{
    QTest::addColumn<bool>("sent");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("letters");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<QString>("line");

    QTest::newRow("sent with payload") << true << true << QByteArray("VP") << QByteArray("3.0.0=5") << QByteArray()
                                       << "-> VP \"3.0.0=5\" [33 2E 30 2E 30 3D 35]";
    QTest::newRow("answer") << false << true << QByteArray("B0") << QByteArray("10") << QByteArray("BS")
                            << "<- B0 (BS) \"10\" [31 30]";
    QTest::newRow("cut, control bytes as dots") << false << false << QByteArray("A0") << QByteArray("a\tb\x01")
                                                << QByteArray() << "<- A0 incomplète \"a.b.\" [61 09 62 01]";
    QTest::newRow("utf-8 text") << false << true << QByteArray("B0") << QByteArray("Nal=\xc3\x89") << QByteArray()
                                << QString::fromUtf8("<- B0 \"Nal=\xc3\x89\" [4E 61 6C 3D C3 89]");
    QTest::newRow("letters missing") << false << false << QByteArray(2, '\0') << QByteArray() << QByteArray()
                                     << "<- .. incomplète \"\" []";
}

void TestProtocole::frameTraceLine()
{
    QFETCH(bool, sent);
    QFETCH(bool, complete);
    QFETCH(QByteArray, letters);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, answers);
    QFETCH(QString, line);

    TracedFrame f;
    f.timeMs = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9, 42)).toMSecsSinceEpoch();
    f.sent = sent;
    f.complete = complete;
    f.letter1 = letters.at(0);
    f.letter2 = letters.at(1);
    f.body = body;
    f.answers = answers;
    QCOMPARE(FrameTraceLine(f), "14:07:09.042 " + line);
}

void TestProtocole::idleWhilePortClosed()
{
    startEngine();
    QTRY_VERIFY(engine->isRunning());
    const double used = cpuOverOneSecond();
    QVERIFY2(used < IdleCpuBound, qPrintable(QString::number(used)));
    // Still awake to a request.
    QVERIFY(openLink());
}

void TestProtocole::shutdown_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("request sent, no answer") << "sent";
    QTest::newRow("request refused, port closed") << "refused";
    QTest::newRow("poll outstanding") << "poll";
    QTest::newRow("reader streaming") << "stream";
}

void TestProtocole::shutdown()
{
    QFETCH(QString, state);

    if (state == "refused") {
        startEngine();
        QCOMPARE(engine->CmdRequest('B', 'R', QString(), ARG_BADGE_READ_RESULT, 30000), quint8(QProtocole::REQ_CLOSED));
    } else {
        QVERIFY(openLink());
        if (state == "sent") {
            QCOMPARE(engine->CmdRequest('B', 'R', QString(), ARG_BADGE_READ_RESULT, 30000), quint8(QProtocole::REQ_QUEUED));
            QCOMPARE(reader.nextFrame(3000), request('B', 'R', ""));
        } else if (state == "poll") {
            engine->Polling = true;
            QCOMPARE(reader.nextFrame(3000), PollFrame);
        } else {
            QByteArray stream;
            for (int i = 0; i < 100; ++i)
                stream += frame('D', '0', "s");
            QVERIFY(reader.send(stream));
            QVERIFY(rec->waitFor(Recorder::debug("s"), 3000) >= 0);
        }
    }
    QElapsedTimer t;
    t.start();
    engine.reset();
    QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
}

QTEST_GUILESS_MAIN(TestProtocole)
#include "tst_protocole.moc"
