// kovrim-cli stopped by a signal at each step of a write: the exchange in
// flight ends, nothing is sent after it but what the job's stop sends, the
// reader holds exactly what the requests it got imply, and the process
// says so and exits 128 + the signal.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "tests/cli/clirun.h"
#include "tests/cli/clisim.h"

namespace {
bool WriteText(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The site file: three parameters in three objects, all differing from
// the simulator's values.
const QList<QPair<QString, QString>> SiteValues = {
    {"3.0.1", "Laverie du Quai"}, {"10.1", "4500"}, {"7.0.1", "25"}};

// Sends `signo` to the process when the simulator receives the
// `occurrence`-th request of letters c1 c2 whose payload matches `payload`,
// `count` times; the answer to it is held back long enough for the signal
// to be seen first: the exchange is in flight.
struct SignalAtStep {
    QByteArray letters;
    QRegularExpression payload;
    int occurrence = 1;
    int signo = SIGTERM;
    int count = 1;

    int seen = 0;
    int requestsBefore = -1;  // requests received up to the one in flight, included

    void arm(LinkedSim &r, const CliProcess &process, const int &received)
    {
        QObject::connect(&r.sim, &ReaderSim::requestReceived, &r.sim,
                         [this, &r, &process, &received](char c1, char c2, const QByteArray &bytes) {
                             if (requestsBefore >= 0 || QByteArray() + c1 + c2 != letters
                                 || !payload.match(QString::fromUtf8(bytes)).hasMatch()
                                 || ++seen != occurrence)
                                 return;
                             requestsBefore = received;
                             r.sim.handleControlLine("delay 300");
                             // Apart: two signals pending at once are one.
                             const pid_t pid = pid_t(process.pid());
                             ::kill(pid, signo);
                             for (int i = 1; i < count; ++i)
                                 QTimer::singleShot(100 * i, [pid, signo = signo] { ::kill(pid, signo); });
                         });
    }
};
}

class TestCliSignals : public QObject
{
    Q_OBJECT

    QTemporaryDir files;

    // A run of `arguments` on a fresh simulator, signalled at a step.
    struct SignalledRun {
        CliRun run;
        QJsonObject json;
        int requestsAfter = -1;
        QStringList putPayloads;
    };
    SignalledRun runSignalled(LinkedSim &r, const QStringList &arguments, SignalAtStep &step)
    {
        SignalledRun result;
        int received = 0;
        QObject::connect(&r.sim, &ReaderSim::requestReceived, &r.sim,
                         [&received] { ++received; });
        CliProcess process(QStringList{"--port", r.link, "--json"} + arguments);
        step.arm(r, process, received);
        result.run = process.finish(60000);
        result.json = QJsonDocument::fromJson(result.run.out.toUtf8()).object();
        // The request in flight counts as before.
        result.requestsAfter = step.requestsBefore < 0 ? -1 : received - step.requestsBefore;
        result.putPayloads = r.putPayloads;
        return result;
    }

private slots:
    void writeStoppedAtEachStep_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("letters");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<int>("signo");
        const QString site = files.filePath("site.txt");
        const QString list = files.filePath("liste.txt");
        QVERIFY(WriteText(site, "3.0.1=Laverie du Quai\n10.1=4500\n7.0.1=25\n"));
        QVERIFY(WriteText(list, "05/03/26;04A1B2C3;1001;2;perdu;\n17/11/25;04FFEE01;1002;1;;\n"));
        const QStringList config{"config-write", site, "--backup-dir", files.filePath("b")};
        const QStringList blacklist{"blacklist-write", list};
        QTest::newRow("config, load") << config << QByteArray("VG") << "" << 50 << SIGTERM;
        QTest::newRow("config, first write") << config << QByteArray("VP") << "^3\\.0\\.1=" << 1 << SIGTERM;
        QTest::newRow("config, first write, SIGINT") << config << QByteArray("VP") << "^3\\.0\\.1=" << 1 << SIGINT;
        QTest::newRow("config, first write, SIGHUP") << config << QByteArray("VP") << "^3\\.0\\.1=" << 1 << SIGHUP;
        QTest::newRow("config, second write") << config << QByteArray("VP") << "^10\\.1=" << 1 << SIGTERM;
        QTest::newRow("config, last write") << config << QByteArray("VP") << "^7\\.0\\.1=" << 1 << SIGTERM;
        QTest::newRow("config, first commit") << config << QByteArray("VP") << "^\\d+\\.255\\.1=" << 1 << SIGTERM;
        QTest::newRow("config, last commit") << config << QByteArray("VP") << "^\\d+\\.255\\.1=" << 3 << SIGTERM;
        QTest::newRow("config, check") << config << QByteArray("VG") << "^10\\.1$" << 2 << SIGTERM;
        QTest::newRow("blacklist, clear") << blacklist << QByteArray("FC") << "" << 1 << SIGTERM;
        QTest::newRow("blacklist, first add") << blacklist << QByteArray("FA") << "" << 1 << SIGTERM;
        QTest::newRow("blacklist, last add") << blacklist << QByteArray("FA") << "" << 2 << SIGINT;
        QTest::newRow("blacklist, read back") << blacklist << QByteArray("FG") << "Pos=1" << 1 << SIGTERM;
    }
    void writeStoppedAtEachStep()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, letters);
        QFETCH(QString, payload);
        QFETCH(int, occurrence);
        QFETCH(int, signo);
        LinkedSim r;
        QVERIFY(r.start());
        QMap<QString, QString> before;
        for (const auto &value : SiteValues)
            before.insert(value.first, r.sim.config().value(value.first));
        const QStringList listBefore = r.sim.listFile().entries();
        SignalAtStep step{letters, QRegularExpression(payload), occurrence, signo};
        const SignalledRun s = runSignalled(r, arguments, step);
        QVERIFY2(step.requestsBefore >= 0, "the step was never reached");
        QVERIFY2(s.run.ended, "never ended");
        QCOMPARE(s.run.exitCode, 128 + signo);
        QCOMPARE(s.json.value("outcome").toString(), QString("interrupted"));
        QCOMPARE(s.json.value("exit").toInt(), 128 + signo);
        QVERIFY2(!s.json.value("summary").toArray().isEmpty(), qPrintable(s.run.out));
        QVERIFY(!s.json.contains("partial"));
        // The exchange in flight finished, then whatever the write had
        // changed was put back: the reader holds its old state, stored.
        for (const auto &value : SiteValues) {
            QCOMPARE(r.sim.config().value(value.first), before.value(value.first));
            QVERIFY(!r.sim.config().isPending(value.first));
        }
        QCOMPARE(r.sim.listFile().entries(), listBefore);
    }

    // A second signal does not wait: the process ends at once and names
    // what the reader may be left holding.
    void secondSignalStopsAtOnce()
    {
        const QString site = files.filePath("site2.txt");
        QVERIFY(WriteText(site, "3.0.1=Laverie du Quai\n10.1=4500\n7.0.1=25\n"));
        LinkedSim r;
        QVERIFY(r.start());
        SignalAtStep step{"VP", QRegularExpression("^10\\.1="), 1, SIGTERM, 2};
        const SignalledRun s = runSignalled(
            r, {"config-write", site, "--backup-dir", files.filePath("b2")}, step);
        QVERIFY(s.run.ended);
        QCOMPARE(s.run.exitCode, 143);
        QCOMPARE(s.json.value("outcome").toString(), QString("interrupted"));
        QVERIFY2(s.run.err.contains("arrêt immédiat") && s.run.err.contains("en attente"),
                 qPrintable(s.run.err));
        QVERIFY(s.json.value("pending").toString().contains("config-diff"));
        QCOMPARE(s.requestsAfter, 0);
    }

    // A wait that is no job's (a badge to come) ends on the signal too.
    void badgeWaitEndsOnTheSignal()
    {
        LinkedSim r;
        QVERIFY(r.start());
        CliProcess process({"--port", r.link, "badge-read", "--wait", "30"});
        QTimer::singleShot(1500, [&process] { ::kill(pid_t(process.pid()), SIGINT); });
        const CliRun run = process.finish(20000);
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 130);
        QVERIFY2(run.elapsedMs < 10000, qPrintable(QString::number(run.elapsedMs)));
        QVERIFY2(run.err.contains("SIGINT"), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestCliSignals)
#include "tst_cli_signals.moc"
