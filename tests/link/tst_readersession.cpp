// The reader session against the simulator, without a window: what a
// closed link does to a request, and how long a chain waits for the slot.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "link/commands.h"
#include "tests/support/sessionfixture.h"
#include "config/configjobs.h"
#include "tools/clockjob.h"

class TestReaderSession : public QObject
{
    Q_OBJECT

    std::unique_ptr<SessionWithReader> r;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<JobOutcome>();
        qRegisterMetaType<ReaderAnswer>();
    }
    void init() { r = std::make_unique<SessionWithReader>(); }
    void cleanup() { r.reset(); }

    // A request made while the link is closed ends at once as unanswered;
    // the link opened again (by the caller, or by itself once the adapter
    // is back) never sends it.
    void requestWhileClosedNeverGoesOut_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("closed by the caller") << false;
        QTest::newRow("adapter lost, reconnected by itself") << true;
    }
    void requestWhileClosedNeverGoesOut()
    {
        QFETCH(bool, unplug);
        QTemporaryDir dir;
        QVERIFY(r->sim.start() && r->sim.createLink(dir.filePath("lecteur")));
        ReaderSession &session = r->session;
        session.open(r->sim.linkPath());
        QTRY_VERIFY_WITH_TIMEOUT(session.isOpen(), 5000);
        if (unplug)
            r->sim.unplug();
        else
            session.close();
        QTRY_VERIFY_WITH_TIMEOUT(!session.isOpen(), 5000);

        QSignalSpy answered(&session, &ReaderSession::answered);
        QVERIFY(session.send({Cmd::FamilyValue, Cmd::ValuePut, "12.255.7.1=50", ARG_TEST_RESULT,
                              CmdTimeout::ValuePut}));
        QVERIFY(answered.wait(1000));
        QCOMPARE(answered.first().at(0).toUInt(), unsigned(ARG_TEST_RESULT));
        QVERIFY(!answered.first().at(1).value<ReaderAnswer>().answered);
        QVERIFY(session.engine().Cmd.IsFree.load());

        if (unplug)
            QVERIFY(r->sim.replug());
        else
            session.open(r->sim.linkPath());
        QTRY_VERIFY_WITH_TIMEOUT(session.isOpen(), 5000);
        answered.clear();
        QVERIFY(session.send({Cmd::FamilyValue, Cmd::ValueGet, "3.0.1", ARG_CONFIG_GET_RESULT,
                              CmdTimeout::ValueGet}));
        QVERIFY(answered.wait(3000));
        QCOMPARE(r->sim.requestCount(Cmd::FamilyValue, Cmd::ValuePut), 0);
    }

    // The slot passes from a short command to the longest one (a badge read
    // started by polling) while a chain waits: the chain still runs.
    void chainOutwaitsTheLongestCommand()
    {
        QVERIFY(r->start());
        ReaderSession &session = r->session;
        constexpr int FirstAnswerMs = 500;
        r->sim.handleControlLine(QStringLiteral("delay %1").arg(FirstAnswerMs));
        connect(&session, &ReaderSession::answered, this, [this, &session](unsigned int code) {
            if (code != ARG_CONFIG_GET_RESULT)
                return;
            r->sim.handleControlLine("delay 0");
            r->sim.failNext(ReaderSim::Fault::Mute, "BR");
            QVERIFY(session.send({Cmd::FamilyBadge, Cmd::BadgeRead, QString(), ARG_BADGE_READ_RESULT,
                                  CmdTimeout::Longest}));
        });
        QVERIFY(session.send({Cmd::FamilyValue, Cmd::ValueGet, "3.0.1", ARG_CONFIG_GET_RESULT,
                              CmdTimeout::ValueGet}));
        ClockJob clock(session);
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(SessionWithReader::run(clock), JobOutcome::Done);
        QVERIFY2(waited.elapsed() >= FirstAnswerMs + qint64(CmdTimeout::Longest),
                 qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(r->sim.requestCount(Cmd::FamilyValue, Cmd::ValuePut), 2);
    }

    // A read lost or damaged on the line is asked once more and the job
    // gets the value; a write is never sent twice.
    void readsAskedOnceMoreWritesNever_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("requests");
        QTest::addColumn<JobOutcome>("outcome");
        QTest::newRow("read, damaged") << false << "garbage inside 8" << 2 << JobOutcome::Done;
        QTest::newRow("read, lost") << false << "drop 1" << 2 << JobOutcome::Done;
        QTest::newRow("read, lost twice") << false << "drop 2" << 2 << JobOutcome::NoAnswer;
        QTest::newRow("read, cut") << false << "cut 5" << 2 << JobOutcome::Done;
        QTest::newRow("write, damaged") << true << "garbage inside 8" << 1 << JobOutcome::NoAnswer;
        QTest::newRow("write, lost") << true << "drop 1" << 1 << JobOutcome::NoAnswer;
    }
    void readsAskedOnceMoreWritesNever()
    {
        QFETCH(bool, write);
        QFETCH(QString, fault);
        QVERIFY(r->start());
        r->sim.handleControlLine(fault);
        const char kind = write ? Cmd::ValuePut : Cmd::ValueGet;
        if (write) {
            ClockJob clock(r->session);
            QTEST(SessionWithReader::run(clock), "outcome");
        } else {
            ConfigReadJob read(r->session);
            read.setIdentifiers({"3.0.1"}, "Lecture");
            QTEST(SessionWithReader::run(read), "outcome");
            if (read.outcome() == JobOutcome::Done)
                QCOMPARE(read.reads().first().value, r->sim.config().value("3.0.1"));
        }
        QTEST(r->sim.requestCount(Cmd::FamilyValue, kind), "requests");
    }
};

QTEST_GUILESS_MAIN(TestReaderSession)
#include "tst_readersession.moc"
