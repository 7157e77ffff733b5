#include <QtTest>

#include "sim/readersim.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char STX = 0x02;
const char ETX = 0x03;

QByteArray request(char c1, char c2, const QByteArray &payload = QByteArray())
{
    return QByteArray(1, STX) + c1 + c2 + payload + ETX + "012";
}

// Answers are written compactly in the tables: type, status, then the body.
QByteArray compact(char type, char status, const QByteArray &body)
{
    return QByteArray(1, type) + status + body;
}

QMap<QString, QString> pairMap(const QString &record)
{
    QMap<QString, QString> map;
    for (const QString &part : record.split(';', Qt::SkipEmptyParts))
        map.insert(part.section('=', 0, 0), part.section('=', 1));
    return map;
}

QString today()
{
    return QDate::currentDate().toString("yyMMdd");
}

const QString CreditUid = "04A1B2C3";
const QString CreditRecord = QString::fromUtf8(
    "UID=04A1B2C3;Tyc=16;Usr=41;Grp=1;Lev=0;Uni=1;Unp=3;Vda=281231;Cda=240115;Doi=1;"
    "Rem=0;Naf=Hélène;Nal=Martin;Nac=Laverie du Port;Cn0=1500;"
    "Lcd=250301;Lct=2000;Lca=2000;Ldd=250310;Ldt=500");

} // namespace

class TestReaderSim : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pollAnswers_data();
    void pollAnswers();
    void read_data();
    void read();
    void create_data();
    void create();
    void transaction_data();
    void transaction();
    void framing_data();
    void framing();
    void requestsAreCountedAndSignalled();
    void silentReaderDoesNotAnswer();
    void portCanBeClosedAndReopened();
    void unpluggedAdapterIsHarmless();
    void replugKeepsTheLink();
    void controlLines_data();
    void controlLines();
    void faultsShapeTheNextAnswers_data();
    void faultsShapeTheNextAnswers();
    void randomFaultsFollowTheirSeed();
    void unplugAndReplugOnTheSameLink();
    void floodKeepsAnswering();
    void symlink();
    void executable_data();
    void executable();
    void executableFaultOptions_data();
    void executableFaultOptions();

private:
    QByteArray rawFor(int ms);
    int openSlave(const QString &path);
    void send(const QByteArray &bytes);
    bool takeAnswer(QByteArray *answer);
    QByteArray waitAnswer(int timeoutMs = 2000);
    QByteArray exchange(char c1, char c2, const QByteArray &payload = QByteArray());
    QByteArray sendPoll() { return exchange('B', 'S'); }

    ReaderSim *m_sim = nullptr;
    int m_fd = -1;
    QByteArray m_rx;
};

int TestReaderSim::openSlave(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fd;
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    return fd;
}

void TestReaderSim::init()
{
    m_sim = new ReaderSim;
    QString error;
    QVERIFY2(m_sim->start(&error), qPrintable(error));
    m_fd = openSlave(m_sim->slavePath());
    QVERIFY(m_fd >= 0);
    m_rx.clear();
}

void TestReaderSim::cleanup()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    delete m_sim;
    m_sim = nullptr;
}

void TestReaderSim::send(const QByteArray &bytes)
{
    QCOMPARE(::write(m_fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
}

// Cuts one answer frame out of what was received so far: STX, type,
// status, body, ETX and three closing bytes.
bool TestReaderSim::takeAnswer(QByteArray *answer)
{
    const int start = m_rx.indexOf(STX);
    if (start < 0)
        return false;
    const int etx = m_rx.indexOf(ETX, start + 3);
    if (etx < 0 || m_rx.size() < etx + 4)
        return false;
    *answer = m_rx.mid(start + 1, etx - start - 1);
    m_rx.remove(0, etx + 4);
    return true;
}

// The simulator lives in this thread: keep its event loop turning while
// waiting for bytes on the slave side.
QByteArray TestReaderSim::waitAnswer(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray answer;
    while (!takeAnswer(&answer)) {
        if (timer.elapsed() > timeoutMs)
            return QByteArray("<none>");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        char buffer[2048];
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count > 0)
            m_rx.append(buffer, int(count));
        else
            QThread::msleep(1);
    }
    return answer;
}

// Every byte that arrives within ms, frames or not.
QByteArray TestReaderSim::rawFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray bytes = m_rx;
    m_rx.clear();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        char buffer[2048];
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count > 0)
            bytes.append(buffer, int(count));
        else
            QThread::msleep(1);
    }
    return bytes;
}

QByteArray TestReaderSim::exchange(char c1, char c2, const QByteArray &payload)
{
    send(request(c1, c2, payload));
    return waitAnswer();
}

// Each step is a control line, or "poll" and the expected poll body.
void TestReaderSim::pollAnswers_data()
{
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("nothing on the reader")
        << QStringList{"poll 0", "poll 0"};
    QTest::newRow("valid badge arrives once")
        << QStringList{"present credit", "poll 11100000;UID=04A1B2C3", "poll 0"};
    QTest::newRow("blank badge")
        << QStringList{"present vierge", "poll 11007000;UID=04B7E5D2", "poll 0"};
    QTest::newRow("blacklisted badge")
        << QStringList{"present noire", "poll 11001000;UID=04C3D4E5"};
    QTest::newRow("damaged badge")
        << QStringList{"present abime", "poll 11005000;UID=04D9F0A1"};
    QTest::newRow("unreadable badge with detail")
        << QStringList{"present illisible", "poll 11006ABC;UID=04E2A7B8"};
    QTest::newRow("removal reported once")
        << QStringList{"present credit", "poll 11100000;UID=04A1B2C3", "remove", "poll 10", "poll 0"};
    QTest::newRow("laid and lifted between two polls")
        << QStringList{"present credit", "remove", "poll 0"};
    QTest::newRow("same badge laid again is a new arrival")
        << QStringList{"present credit", "poll 11100000;UID=04A1B2C3", "present credit",
                       "poll 11100000;UID=04A1B2C3"};
    QTest::newRow("badge swapped between polls")
        << QStringList{"present credit", "poll 11100000;UID=04A1B2C3", "present vierge",
                       "poll 11007000;UID=04B7E5D2"};
}

void TestReaderSim::pollAnswers()
{
    QFETCH(QStringList, steps);
    for (const QString &step : steps) {
        if (step.startsWith("poll "))
            QCOMPARE(sendPoll(), compact('B', '0', step.mid(5).toUtf8()));
        else
            m_sim->handleControlLine(step);
    }
}

void TestReaderSim::read_data()
{
    QTest::addColumn<QString>("badge");
    QTest::addColumn<QByteArray>("answer");

    QTest::newRow("no badge") << "" << compact('B', '1', "");
    QTest::newRow("valid badge, UTF-8 body") << "credit" << compact('B', '0', CreditRecord.toUtf8());
    QTest::newRow("blacklisted badge still readable") << "noire"
        << compact('B', '0', "UID=04C3D4E5;Tyc=16;Usr=13;Grp=2;Lev=0;Vda=271231;Cda=230601;Rem=0;Cn0=800");
    QTest::newRow("blank") << "vierge" << compact('B', '2', "");
    QTest::newRow("damaged") << "abime" << compact('B', '2', "");
    QTest::newRow("unreadable") << "illisible" << compact('B', '2', "");
}

void TestReaderSim::read()
{
    QFETCH(QString, badge);
    QFETCH(QByteArray, answer);
    if (!badge.isEmpty())
        QVERIFY(m_sim->present(badge));
    QCOMPARE(exchange('B', 'R'), answer);
}

void TestReaderSim::create_data()
{
    QTest::addColumn<QString>("badge");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<char>("status");
    QTest::addColumn<QString>("recordAfter");

    QTest::newRow("blank badge created")
        << "vierge" << QByteArray("Tyc=16;Usr=7;Grp=2;Lev=0;Cn0=300") << '0'
        << "UID=04B7E5D2;Tyc=16;Usr=7;Grp=2;Lev=0;Cn0=300";
    QTest::newRow("damaged badge created, repeated unit kept once")
        << "abime" << QByteArray("Tyc=16;Uni=5;Unp=7;Uni=5;Cn0=0") << '0'
        << "UID=04D9F0A1;Tyc=16;Uni=5;Unp=7;Cn0=0";
    QTest::newRow("valid badge recreated with exactly the new pairs")
        << "credit" << QByteArray("Tyc=2;Usr=9") << '0' << "UID=04A1B2C3;Tyc=2;Usr=9";
    QTest::newRow("empty type value accepted")
        << "vierge" << QByteArray("Tyc=") << '0' << "UID=04B7E5D2;Tyc=";
    QTest::newRow("UID is not writable")
        << "vierge" << QByteArray("UID=FFFF;Tyc=16") << '0' << "UID=04B7E5D2;Tyc=16";
    QTest::newRow("Latin-1 text decoded")
        << "vierge" << QByteArray("Tyc=16;Naf=H\xe9l\xe8ne") << '0'
        << QString::fromUtf8("UID=04B7E5D2;Tyc=16;Naf=Hélène");
    QTest::newRow("blacklisted badge refused")
        << "noire" << QByteArray("Tyc=16;Usr=1") << '1'
        << "UID=04C3D4E5;Tyc=16;Usr=13;Grp=2;Lev=0;Vda=271231;Cda=230601;Rem=0;Cn0=800";
    QTest::newRow("no badge refused") << "" << QByteArray("Tyc=16") << '1' << "";
    QTest::newRow("part without equals refused") << "vierge" << QByteArray("Tyc=16;Usr") << '4' << "UID=04B7E5D2";
    QTest::newRow("value with equals refused") << "vierge" << QByteArray("Usr=12=13") << '4' << "UID=04B7E5D2";
    QTest::newRow("trailing separator refused") << "vierge" << QByteArray("Tyc=16;") << '4' << "UID=04B7E5D2";
    QTest::newRow("empty record refused") << "vierge" << QByteArray() << '4' << "UID=04B7E5D2";
}

void TestReaderSim::create()
{
    QFETCH(QString, badge);
    QFETCH(QByteArray, payload);
    QFETCH(char, status);
    QFETCH(QString, recordAfter);

    if (!badge.isEmpty()) {
        QVERIFY(m_sim->present(badge));
        QVERIFY(sendPoll().startsWith("B011"));
    }
    QCOMPARE(exchange('B', 'N', payload), compact('B', status, ""));
    if (badge.isEmpty())
        return;
    QCOMPARE(m_sim->badgeRecord(badge), recordAfter);
    // A creation is no new arrival: a forced creation would loop otherwise.
    QCOMPARE(sendPoll(), QByteArray("B00"));
    if (status != '0')
        return;
    QCOMPARE(exchange('B', 'R'), compact('B', '0', recordAfter.toUtf8()));
    m_sim->present(badge);
    QVERIFY(sendPoll().startsWith("B011100000;UID="));
}

void TestReaderSim::transaction_data()
{
    QTest::addColumn<QString>("badge");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<char>("status");
    QTest::addColumn<QString>("changed");  // pairs expected afterwards; TODAY for the date

    QTest::newRow("debit") << "credit" << QByteArray("Cnt=0;Trt=2;Tra=150") << '0'
                           << "Cn0=1350;Ldd=TODAY;Ldt=150;Lcd=250301;Lct=2000;Lca=2000";
    QTest::newRow("debit of the whole credit") << "credit" << QByteArray("Cnt=0;Trt=2;Tra=1500") << '0'
                                               << "Cn0=0;Ldd=TODAY;Ldt=1500";
    QTest::newRow("debit beyond the credit") << "credit" << QByteArray("Cnt=0;Trt=2;Tra=1501") << '3'
                                             << "Cn0=1500;Ldd=250310;Ldt=500";
    QTest::newRow("credit") << "credit" << QByteArray("Cnt=0;Trt=1;Tra=250") << '0'
                            << "Cn0=1750;Lcd=TODAY;Lct=250;Lca=250;Ldd=250310;Ldt=500";
    QTest::newRow("pairs in another order") << "credit" << QByteArray("Tra=100;Cnt=0;Trt=1") << '0'
                                            << "Cn0=1600";
    QTest::newRow("credit up to the 32-bit limit") << "credit"
        << QByteArray("Cnt=0;Trt=1;Tra=2147482147") << '0' << "Cn0=2147483647";
    QTest::newRow("credit beyond the 32-bit limit") << "credit"
        << QByteArray("Cnt=0;Trt=1;Tra=2147482148") << '6' << "Cn0=1500";
    QTest::newRow("negative amount") << "credit" << QByteArray("Cnt=0;Trt=1;Tra=-150") << '4' << "Cn0=1500";
    QTest::newRow("wrapped unsigned amount") << "credit"
        << QByteArray("Cnt=0;Trt=2;Tra=4294967146") << '4' << "Cn0=1500";
    QTest::newRow("amount with letters") << "credit" << QByteArray("Cnt=0;Trt=2;Tra=1a") << '4' << "Cn0=1500";
    QTest::newRow("missing amount") << "credit" << QByteArray("Cnt=0;Trt=2") << '4' << "Cn0=1500";
    QTest::newRow("duplicated key") << "credit" << QByteArray("Cnt=0;Cnt=0;Trt=2") << '4' << "Cn0=1500";
    QTest::newRow("extra pair") << "credit" << QByteArray("Cnt=0;Trt=2;Tra=1;Foo=1") << '4' << "Cn0=1500";
    QTest::newRow("unknown type") << "credit" << QByteArray("Cnt=0;Trt=3;Tra=150") << '4' << "Cn0=1500";
    QTest::newRow("unknown counter") << "credit" << QByteArray("Cnt=1;Trt=2;Tra=150") << '5' << "Cn0=1500";
    QTest::newRow("blank badge") << "vierge" << QByteArray("Cnt=0;Trt=1;Tra=150") << '2' << "";
    QTest::newRow("blacklisted badge") << "noire" << QByteArray("Cnt=0;Trt=2;Tra=150") << '1' << "Cn0=800";
    QTest::newRow("no badge") << "" << QByteArray("Cnt=0;Trt=2;Tra=150") << '1' << "";
}

void TestReaderSim::transaction()
{
    QFETCH(QString, badge);
    QFETCH(QByteArray, payload);
    QFETCH(char, status);
    QFETCH(QString, changed);

    if (!badge.isEmpty())
        QVERIFY(m_sim->present(badge));
    QCOMPARE(exchange('B', 'T', payload), compact('B', status, ""));
    const auto record = pairMap(m_sim->badgeRecord(badge));
    const auto expected = pairMap(QString(changed).replace("TODAY", today()));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(record.value(it.key()), it.value());
}

void TestReaderSim::framing_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("answers");

    const QByteArray poll = request('B', 'S');
    QTest::newRow("noise before STX ignored")
        << QByteArray("xyz\x03" "012") + poll << QByteArrayList{"B00"};
    QTest::newRow("two frames in one write")
        << poll + request('B', 'R') << QByteArrayList{"B00", "B1"};
    QTest::newRow("cut-short frame dropped at the next STX")
        << QByteArray("\x02" "BRab") + poll << QByteArrayList{"B00"};
    QTest::newRow("STX among the closing bytes restarts")
        << QByteArray("\x02" "BR\x03" "0") + poll << QByteArrayList{"B00"};
    QTest::newRow("longest payload accepted")
        << request('V', 'G', QByteArray(999, 'a')) << QByteArrayList{"V1"};
    QTest::newRow("over-long payload refused, link still usable")
        << request('V', 'P', QByteArray(5000, 'a')) + poll << QByteArrayList{"V4", "B00"};
    QTest::newRow("unknown family refused") << request('Z', 'C', "Fil=5") << QByteArrayList{"Z1"};
    QTest::newRow("badge format refused") << request('B', 'F') << QByteArrayList{"B1"};
}

void TestReaderSim::framing()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, answers);
    send(input);
    for (const QByteArray &answer : answers)
        QCOMPARE(waitAnswer(), answer);
    QCOMPARE(waitAnswer(100), QByteArray("<none>"));
}

void TestReaderSim::requestsAreCountedAndSignalled()
{
    QSignalSpy spy(m_sim, &ReaderSim::requestReceived);
    sendPoll();
    sendPoll();
    exchange('B', 'T', "Cnt=0;Trt=2;Tra=1");
    QCOMPARE(m_sim->requestCount('B', 'S'), 2);
    QCOMPARE(m_sim->requestCount('B', 'T'), 1);
    QCOMPARE(m_sim->requestCount('B', 'R'), 0);
    QCOMPARE(spy.size(), 3);
    QCOMPARE(spy.last().at(2).toByteArray(), QByteArray("Cnt=0;Trt=2;Tra=1"));
}

void TestReaderSim::silentReaderDoesNotAnswer()
{
    m_sim->handleControlLine("silent on");
    send(request('B', 'S'));
    QCOMPARE(waitAnswer(300), QByteArray("<none>"));
    QCOMPARE(m_sim->requestCount('B', 'S'), 1);
    m_sim->handleControlLine("silent off");
    QCOMPARE(sendPoll(), QByteArray("B00"));
}

void TestReaderSim::portCanBeClosedAndReopened()
{
    m_sim->present("credit");
    ::close(m_fd);
    QTest::qWait(50);  // let the simulator look at its side while the port is closed
    m_fd = openSlave(m_sim->slavePath());
    QVERIFY(m_fd >= 0);
    QCOMPARE(sendPoll(), QByteArray("B011100000;UID=04A1B2C3"));
}

void TestReaderSim::unpluggedAdapterIsHarmless()
{
    m_sim->closeMaster();
    m_sim->sendDebug("perdu");
    m_sim->handleControlLine("present credit");
    char byte;
    QVERIFY(::read(m_fd, &byte, 1) <= 0);
}

void TestReaderSim::replugKeepsTheLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("lecteur");
    QVERIFY(m_sim->createLink(link));
    const QString before = m_sim->slavePath();
    m_sim->closeMaster();
    QVERIFY(m_sim->replug());
    QVERIFY(m_sim->slavePath() != before);
    QCOMPARE(QFileInfo(link).symLinkTarget(), m_sim->slavePath());
    ::close(m_fd);
    m_fd = openSlave(link);
    QVERIFY(m_fd >= 0);
    QCOMPARE(sendPoll(), QByteArray("B00"));
}

void TestReaderSim::controlLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("replyContains");  // checked on the last reply
    QTest::addColumn<QString>("presentAfter");
    QTest::addColumn<QByteArray>("debugFrame");

    QTest::newRow("present") << QStringList{"present credit"}
        << QStringList{QString::fromUtf8("Badge présenté : credit")} << "credit" << QByteArray();
    QTest::newRow("present unknown badge") << QStringList{"present carton"}
        << QStringList{"Badge inconnu : carton", "vierge"} << "" << QByteArray();
    QTest::newRow("remove") << QStringList{"present vierge", "  remove  "}
        << QStringList{QString::fromUtf8("Badge retiré : vierge")} << "" << QByteArray();
    QTest::newRow("remove with nothing") << QStringList{"remove"}
        << QStringList{"Aucun badge"} << "" << QByteArray();
    QTest::newRow("badges listed with descriptions") << QStringList{"present noire", "badges"}
        << QStringList{"credit :", "vierge :", "noire :", "abime :", "illisible :", "[sur le lecteur]"}
        << "noire" << QByteArray();
    QTest::newRow("debug sends a D frame") << QStringList{QString::fromUtf8("debug Température 21")}
        << QStringList{QString::fromUtf8("Debug envoyé")} << ""
        << compact('D', '0', QString::fromUtf8("Température 21").toUtf8());
    QTest::newRow("debug without text") << QStringList{"debug"}
        << QStringList{"Usage"} << "" << QByteArray();
    QTest::newRow("record of a badge") << QStringList{"record credit"}
        << QStringList{"Cn0=1500"} << "" << QByteArray();
    QTest::newRow("silent with a bad argument") << QStringList{"silent peut-etre"}
        << QStringList{"Usage : silent on|off"} << "" << QByteArray();
    QTest::newRow("help") << QStringList{"help"}
        << QStringList{"present NOM", "silent on|off", "quit", "unplug [MS]", "random GRAINE TAUX"}
        << "" << QByteArray();
    QTest::newRow("faults pending") << QStringList{"drop 2", "late", "faults"}
        << QStringList{"Pannes : drop 2, late"} << "" << QByteArray();
    QTest::newRow("faults cleared") << QStringList{"drop 2", "random 3 40", "faults off", "faults"}
        << QStringList{"Aucune panne"} << "" << QByteArray();
    for (const QString &line : {"drop", "cut -1", "garbage around", "delay x", "random 1 101", "unplug y",
                                "flood z"})
        QTest::newRow(qPrintable(line)) << QStringList{line} << QStringList{"Usage : " + line.section(' ', 0, 0)}
                                        << "" << QByteArray();
    QTest::newRow("unknown command") << QStringList{"danse"}
        << QStringList{"Commande inconnue : danse"} << "" << QByteArray();
}

void TestReaderSim::controlLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, replyContains);
    QFETCH(QString, presentAfter);
    QFETCH(QByteArray, debugFrame);

    QString reply;
    for (const QString &line : lines)
        reply = m_sim->handleControlLine(line);
    for (const QString &part : replyContains)
        QVERIFY2(reply.contains(part), qPrintable(reply));
    QCOMPARE(m_sim->presentBadge(), presentAfter);
    QCOMPARE(waitAnswer(debugFrame.isEmpty() ? 50 : 2000),
             debugFrame.isEmpty() ? QByteArray("<none>") : debugFrame);
}

// Each outcome is what one request brings: "F" the whole answer, "none",
// "cut K", "before N" or "inside N" (garbage around or within it).
void TestReaderSim::faultsShapeTheNextAnswers_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("letters");  // and payload
    QTest::addColumn<QStringList>("outcomes");
    QTest::addColumn<int>("minDelayMs");  // of every answer

    QTest::newRow("drop 2") << "drop 2" << QByteArray("BS") << QStringList{"none", "none", "F"} << 0;
    QTest::newRow("cut 4") << "cut 4" << QByteArray("BS") << QStringList{"cut 4", "F"} << 0;
    QTest::newRow("cut 0 is a drop") << "cut 0" << QByteArray("BS") << QStringList{"none", "F"} << 0;
    QTest::newRow("garbage before") << "garbage before 5" << QByteArray("BS") << QStringList{"before 5", "F"} << 0;
    QTest::newRow("garbage inside") << "garbage inside" << QByteArray("BS") << QStringList{"inside 8", "F"} << 0;
    QTest::newRow("delay") << "delay 300" << QByteArray("BS") << QStringList{"F", "F"} << 300;
    QTest::newRow("late read of a value") << "late" << QByteArray("VG9.9") << QStringList{"F"} << 1300;
}

void TestReaderSim::faultsShapeTheNextAnswers()
{
    QFETCH(QString, line);
    QFETCH(QByteArray, letters);
    QFETCH(QStringList, outcomes);
    QFETCH(int, minDelayMs);
    const QByteArray frame = request(letters.at(0), letters.at(1), letters.mid(2));
    send(frame);
    const QByteArray whole = rawFor(100);
    QVERIFY(whole.startsWith(STX) && whole.endsWith("\x03" "012"));
    QVERIFY(!m_sim->handleControlLine(line).startsWith("Usage"));
    for (const QString &outcome : outcomes) {
        QElapsedTimer timer;
        timer.start();
        send(frame);
        QByteArray got;
        while (got.isEmpty() && timer.elapsed() < minDelayMs + 300)
            got = rawFor(5);
        const qint64 delay = timer.elapsed();
        got += rawFor(50);
        const QString kind = outcome.section(' ', 0, 0);
        const int n = outcome.section(' ', 1).toInt();
        if (kind == "none") {
            QCOMPARE(got, QByteArray());
            continue;
        }
        QVERIFY2(delay >= minDelayMs, qPrintable(QString::number(delay)));
        if (kind == "F") {
            QCOMPARE(got, whole);
        } else if (kind == "cut") {
            QCOMPARE(got, whole.left(n));
        } else if (kind == "before") {
            QCOMPARE(got.size(), whole.size() + n);
            QVERIFY(got.endsWith(whole) && !got.left(n).contains(STX));
        } else {
            QCOMPARE(got.size(), whole.size() + n);
            QVERIFY(got.startsWith(whole.left(3)) && got.endsWith(whole.right(4)) && got.count(ETX) == 1);
        }
    }
}

void TestReaderSim::randomFaultsFollowTheirSeed()
{
    const QByteArray frame("\x02" "V0valeur\x03" "012");
    auto faults = [&frame](quint32 seed) {
        SimFaults line;
        line.setRandom(seed, 50);
        QStringList kinds;
        for (int i = 0; i < 200; ++i) {
            const SimFaultPlan plan = line.shape(frame, 1000);
            const bool untouched = plan.bytes == frame && plan.delayMs == 0 && plan.floodMs == 0
                && plan.unplugForMs < 0;
            if (plan.fault.isEmpty() != untouched)
                return QStringList{"unnamed fault"};
            kinds << (untouched ? QString("none") : plan.fault);
        }
        return kinds;
    };
    const QStringList first = faults(7);
    QCOMPARE(faults(7), first);
    QVERIFY(faults(8) != first);
    QVERIFY(first.count("none") > 60 && first.count("none") < 140);
    for (const char *kind : {"drop", "cut", "garbage before", "garbage inside", "delay", "late", "flood", "unplug"})
        QVERIFY2(first.contains(kind), kind);
}

void TestReaderSim::unplugAndReplugOnTheSameLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("lecteur");
    QVERIFY(m_sim->createLink(link));
    ::close(m_fd);
    m_fd = openSlave(link);
    QCOMPARE(sendPoll(), QByteArray("B00"));

    QVERIFY(m_sim->handleControlLine("unplug").contains(QString::fromUtf8("débranché")));
    QVERIFY(!m_sim->isPlugged());
    char byte = 0;
    errno = 0;
    const ssize_t got = ::read(m_fd, &byte, 1);
    QVERIFY(got == 0 || (got < 0 && errno == EIO));  // hung up, not merely quiet
    m_sim->sendDebug("perdu");  // nothing to write to, no harm

    QVERIFY(m_sim->handleControlLine("replug").contains(m_sim->slavePath()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), m_sim->slavePath());
    ::close(m_fd);
    m_fd = openSlave(link);
    m_rx.clear();
    QCOMPARE(sendPoll(), QByteArray("B00"));

    // Unplugged for a while, then back by itself.
    m_sim->handleControlLine("unplug 100");
    QVERIFY(!m_sim->isPlugged());
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->isPlugged(), 2000);
    QCOMPARE(QFileInfo(link).symLinkTarget(), m_sim->slavePath());
}

void TestReaderSim::floodKeepsAnswering()
{
    m_sim->handleControlLine("flood 1");
    send(request('B', 'S'));
    const QByteArray during = rawFor(300);
    QVERIFY2(during.count("\x02" "D0flood ") >= 20, during.left(200).constData());
    QVERIFY(during.contains("\x02" "B00\x03" "012"));
    QTest::qWait(800);
    rawFor(50);
    QVERIFY(!rawFor(100).contains("flood"));
}

void TestReaderSim::symlink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("lecteur");
    const QString file = dir.filePath("fichier");

    QVERIFY(QFile::link("/nonexistent", link));  // a stale link is replaced
    QVERIFY(m_sim->createLink(link));
    QCOMPARE(QFileInfo(link).symLinkTarget(), m_sim->slavePath());

    QFile regular(file);
    QVERIFY(regular.open(QIODevice::WriteOnly));
    regular.write("garder");
    regular.close();
    QString error;
    QVERIFY(!m_sim->createLink(file, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(QFileInfo(file).size(), qint64(6));

    cleanup();
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

    // A link taken over by another simulator is left alone.
    init();
    QVERIFY(m_sim->createLink(link));
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link("/dev/null", link));
    cleanup();
    QCOMPARE(QFileInfo(link).symLinkTarget(), QString("/dev/null"));
    init();
}

void TestReaderSim::executable_data()
{
    QTest::addColumn<QStringList>("extraArguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("closeInput");
    QTest::addColumn<bool>("terminate");
    QTest::addColumn<QString>("outputContains");

    QTest::newRow("quit command") << QStringList{"--badge", "credit"} << QByteArray("present noire\nquit\n")
        << false << false << QString::fromUtf8("Badge présenté : noire");
    QTest::newRow("end of input quits") << QStringList() << QByteArray("badges\n")
        << true << false << "illisible :";
    QTest::newRow("stay keeps running until SIGTERM") << QStringList{"--stay"} << QByteArray()
        << true << true << "Port : /dev/";
    QTest::newRow("over-long line refused") << QStringList() << QByteArray(5000, 'x') + "\nremove\n"
        << false << true << "Ligne trop longue";
}

void TestReaderSim::executable()
{
    QFETCH(QStringList, extraArguments);
    QFETCH(QByteArray, input);
    QFETCH(bool, closeInput);
    QFETCH(bool, terminate);
    QFETCH(QString, outputContains);

    QTemporaryDir dir;
    const QString link = dir.filePath("lecteur");
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/" READER_SIM_RELATIVE_PATH,
                  QStringList{"--link", link} + extraArguments);
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 3000);
    QVERIFY(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"));

    process.write(input);
    if (closeInput)
        process.closeWriteChannel();
    if (terminate) {
        QTest::qWait(200);
        QCOMPARE(process.state(), QProcess::Running);
        ::kill(pid_t(process.processId()), SIGTERM);
    }
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY2(output.contains(outputContains), qPrintable(output));
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestReaderSim::executableFaultOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("outputContains");
    QTest::newRow("faults applied at start")
        << QStringList{"--delay", "250", "--garbage", "inside:3", "--random", "9:20", "--unplug", "50:100"} << 0
        << QStringList{QString::fromUtf8("Réponses retardées de 250 ms"), "3 octets parasites dans",
                       "graine 9, 20 %", QString::fromUtf8("rebranché dans 100 ms")};
    QTest::newRow("refused fault") << QStringList{"--random", "9:150"} << 2
                                   << QStringList{"Usage : random"};
}

void TestReaderSim::executableFaultOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, outputContains);
    QTemporaryDir dir;
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/" READER_SIM_RELATIVE_PATH,
                  QStringList{"--link", dir.filePath("lecteur")} + arguments);
    QVERIFY(process.waitForStarted());
    if (exitCode == 0) {
        QTest::qWait(400);  // the unplug and its replug happen meanwhile
        process.write("quit\n");
    }
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const QString &part : outputContains)
        QVERIFY2(output.contains(part), qPrintable(output));
}

QTEST_GUILESS_MAIN(TestReaderSim)
#include "tst_readersim.moc"
