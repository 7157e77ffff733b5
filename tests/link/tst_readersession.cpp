// The reader session against the simulator, without a window: what a
// closed link does to a request, and how long a chain waits for the slot.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "link/commands.h"
#include "tests/support/sessionfixture.h"
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
};

QTEST_GUILESS_MAIN(TestReaderSession)
#include "tst_readersession.moc"
