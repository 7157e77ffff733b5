// kovrim-cli under the simulator's random faults: every command ends with
// one of its exit statuses within the sum of its time-outs plus 2 s, and a
// refused write is never followed by a commit.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "link/commands.h"
#include "tests/cli/clirun.h"
#include "tests/cli/clisim.h"

namespace {
constexpr int OpenMs = 5000;       // the tool's bound on opening the port
constexpr int Parameters = 143;
constexpr int Margin = 2000;

bool WriteText(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
}

class TestCliFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir files;

private slots:
    void everyCommandEnds_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("boundMs");
        QTest::addColumn<QList<int>>("statuses");
        // Fault rates per response and seeds: a load is 143 answers, so the
        // configuration commands get a low rate, and seeds that reach
        // their writes.
        QTest::addColumn<QList<int>>("rates");
        QTest::addColumn<QList<int>>("seeds");
        const QString config = files.filePath("site.txt");
        const QString list = files.filePath("listenoire.txt");
        QVERIFY(WriteText(config, "3.0.1=Laverie du Quai\n10.1=4500\n7.0.1=25\n"));
        QVERIFY(WriteText(list, "05/03/26;04A1B2C3;1001;2;perdu;\n17/11/25;04FFEE01;1002;1;;\n"));
        const int load = Parameters * int(CmdTimeout::ValueGet);
        const QList<int> reader{0, 1, 2, 3};
        const QList<int> low{1};
        const QList<int> high{10, 30};
        const QList<int> lowSeeds{2, 7, 8};
        const QList<int> highSeeds{7, 2026};
        QTest::newRow("config-read") << QStringList{"config-read", "-"} << OpenMs + load << reader << low << lowSeeds;
        QTest::newRow("config-diff") << QStringList{"config-diff", config} << OpenMs + load
                                     << (reader + QList<int>{10}) << low << lowSeeds;
        // Three writes, three objects, three reads back.
        QTest::newRow("config-write")
            << QStringList{"config-write", config, "--backup-dir", files.filePath("b")}
            << OpenMs + load + 3 * int(2 * CmdTimeout::ValuePut + CmdTimeout::ValueGet)
            << (reader + QList<int>{4}) << low << lowSeeds;
        // The identity and the old list (empty: its end asked twice), the
        // identity again, a clear, two adds, three reads back; a failure
        // after the clear puts the old list back: a clear and a read.
        QTest::newRow("blacklist-write") << QStringList{"blacklist-write", list, "--backup-dir", files.filePath("b")}
                                         << OpenMs + 4 * int(CmdTimeout::ValueGet) + 10 * int(CmdTimeout::File)
                                         << (reader + QList<int>{4, 5}) << high << highSeeds;
        QTest::newRow("clock-set") << QStringList{"clock-set"} << OpenMs + 2 * int(CmdTimeout::ValuePut)
                                   << reader << high << highSeeds;
        QTest::newRow("badge-read") << QStringList{"badge-read", "--wait", "3"}
                                    << OpenMs + 3000 + int(CmdTimeout::BadgeReadAfterPoll) << reader << high << highSeeds;
    }
    void everyCommandEnds()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, boundMs);
        QFETCH(QList<int>, statuses);
        QFETCH(QList<int>, rates);
        QFETCH(QList<int>, seeds);
        QMap<int, int> seen;
        for (const int rate : rates) {
            for (const int seed : seeds) {
                LinkedSim r;
                QVERIFY(r.start());
                r.sim.present("credit");
                QVERIFY(r.sim.handleControlLine(QString("random %1 %2").arg(seed).arg(rate)).size() > 0);
                const CliRun run = RunCli(QStringList{"--port", r.link} + arguments, boundMs + 10000);
                QVERIFY2(run.ended, "never ended");
                QVERIFY2(statuses.contains(run.exitCode),
                         qPrintable(QString("exit %1: %2").arg(run.exitCode).arg(run.err)));
                QVERIFY2(run.elapsedMs <= boundMs + Margin,
                         qPrintable(QString("%1 ms > %2 ms").arg(run.elapsedMs).arg(boundMs + Margin)));
                ++seen[run.exitCode];
            }
        }
        qInfo() << arguments.first() << "exit statuses (status: runs)" << seen;
    }

    // The second write is refused: whatever the line does meanwhile, the
    // reader ends holding what it held, stored, or the outcome names what
    // it holds otherwise.
    void refusedWriteLeavesTheReaderAsItWas()
    {
        const QString config = files.filePath("refus.txt");
        QVERIFY(WriteText(config, "3.0.1=Laverie du Quai\n10.1=4500\n"));
        int refusals = 0;
        for (const int rate : {0, 1}) {
            for (const quint32 seed : {2u, 8u, 11u}) {
                LinkedSim r;
                QVERIFY(r.start());
                r.sim.config().refuseWrites("10.1", true);
                if (rate)
                    r.sim.handleControlLine(QString("random %1 %2").arg(seed).arg(rate));
                const CliRun run = RunCli({"--port", r.link, "config-write", config, "--backup-dir",
                                           files.filePath("b")});
                QVERIFY(run.ended);
                QVERIFY2(QList<int>({1, 2, 3, 5}).contains(run.exitCode), qPrintable(run.err));
                const bool asItWas = r.sim.config().value("3.0.1") == "Laverie du Port"
                                     && !r.sim.config().isPending("3.0.1");
                if (run.exitCode == 5)
                    QVERIFY2(run.out.contains("3.0.1"), qPrintable(run.out));
                else
                    QVERIFY2(asItWas, qPrintable(r.putPayloads.join(' ')));
                if (rate == 0)
                    QCOMPARE(run.exitCode, 1);
                else if (run.exitCode == 1)
                    ++refusals;
            }
        }
        // At least one run with faults reached the refused write.
        QVERIFY(refusals > 0);
    }
};

QTEST_GUILESS_MAIN(TestCliFaults)
#include "tst_cli_faults.moc"
