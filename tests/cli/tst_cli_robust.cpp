// kovrim-cli where a fleet runs it: one reader reached by two names, a full
// disk, a standard output that takes nothing, a noisy line.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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

QByteArray ReadText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
}

// Runs the program through `launcher` (ending in sh -c SCRIPT), with "$0"
// the folder and the program and its arguments as "$@".
std::function<void(QProcess &)> Through(const QStringList &launcher, const QString &folder)
{
    return [launcher, folder](QProcess &process) {
        const QStringList arguments = launcher.mid(1) + QStringList{folder, process.program()}
                                      + process.arguments();
        process.setProgram(launcher.first());
        process.setArguments(arguments);
    };
}

// A tmpfs of 16 KiB of its own, filled up, in a private mount namespace:
// the old output file first, then zeros until the disk is full.
const char *const FullDisk =
    "mount -t tmpfs -o size=16k tmpfs \"$0\" || exit 99\n"
    "mkdir \"$0/b\"; printf 'ancien\\n' > \"$0/out.txt\"\n"
    "dd if=/dev/zero of=\"$0/plein\" bs=1k count=64 2>/dev/null\n"
    "\"$@\"; status=$?\n"
    "printf 'ANCIEN=%s\\n' \"$(cat \"$0/out.txt\")\" >&2\n"
    "printf 'SAUVEGARDES=%s\\n' \"$(ls \"$0/b\" | wc -l)\" >&2\n"
    "exit $status\n";

QStringList ReadLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// The reader's clock parameters change every minute.
bool IsClock(const QString &identifier)
{
    return identifier == "12.3" || identifier == "12.4";
}

// A file holds each identifier once (three are shown twice in the tree).
constexpr int Parameters = 140;

bool PrivateTmpfsAllowed(const QString &folder)
{
    QProcess probe;
    probe.start("unshare", {"-m", "sh", "-c", "mount -t tmpfs tmpfs \"$0\"", folder});
    return probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit
           && probe.exitCode() == 0;
}
}

class TestCliRobust : public QObject
{
    Q_OBJECT

    QTemporaryDir files;

private slots:
    // The second process, whatever name it gives, finds the reader taken
    // and sends it nothing.
    void oneReaderTwoNames_data()
    {
        QTest::addColumn<bool>("firstByLink");
        QTest::addColumn<bool>("ownTemporaryFolder");
        QTest::newRow("link, then the device") << true << false;
        QTest::newRow("device, then the link") << false << false;
        // Another account's lock file is not seen: the device's own lock is.
        QTest::newRow("each its temporary folder") << true << true;
    }
    void oneReaderTwoNames()
    {
        QFETCH(bool, firstByLink);
        QFETCH(bool, ownTemporaryFolder);
        LinkedSim r;
        QVERIFY(r.start());
        const QString device = QFileInfo(r.link).canonicalFilePath();
        QVERIFY(device.startsWith("/dev/"));
        int polls = 0;
        int reads = 0;
        QObject::connect(&r.sim, &ReaderSim::requestReceived, &r.sim, [&](char c1, char c2) {
            polls += c1 == 'B' && c2 == 'S';
            reads += c1 == 'V' && c2 == 'G';
        });
        CliProcess first({"--port", firstByLink ? r.link : device, "badge-read", "--wait", "20"});
        QTRY_VERIFY_WITH_TIMEOUT(polls > 0, 10000);
        const QString otherTemp = files.filePath("tmp2");
        QVERIFY(QDir().mkpath(otherTemp));
        const CliRun second = RunCli(
            {"--port", firstByLink ? device : r.link, "--json", "clock-set", "--check"}, 20000,
            [&](QProcess &process) {
                if (!ownTemporaryFolder)
                    return;
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert("TMPDIR", otherTemp);
                process.setProcessEnvironment(environment);
            });
        const qint64 holder = first.pid();
        ::kill(pid_t(holder), SIGTERM);
        const CliRun firstRun = first.finish(10000);
        QCOMPARE(second.exitCode, 3);
        QVERIFY2(second.err.contains(QString("port déjà utilisé (processus %1)").arg(holder)),
                 qPrintable(second.err));
        QCOMPARE(QJsonDocument::fromJson(second.out.toUtf8()).object().value("outcome").toString(),
                 QString("port-failed"));
        QCOMPARE(reads, 0);
        QCOMPARE(firstRun.exitCode, 143);
    }

    // What cannot be written whole is not written: 73, the old file kept,
    // and a write to the reader never starts without its backup.
    void fullDisk_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("writes");
        const QString site = files.filePath("site.txt");
        QVERIFY(WriteText(site, "3.0.1=Laverie du Quai\n10.1=4500\n"));
        QTest::newRow("tmpfs, config-read") << "tmpfs" << QStringList{"config-read", "OUT"}
                                            << "disque plein" << false;
        QTest::newRow("tmpfs, backup of config-write")
            << "tmpfs" << QStringList{"config-write", site, "--backup-dir", "DIR/b"} << "disque plein"
            << true;
        QTest::newRow("size limit, config-read") << "ulimit" << QStringList{"config-read", "OUT"}
                                                 << "taille de fichier maximale" << false;
    }
    void fullDisk()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        QFETCH(bool, writes);
        const QString folder = files.filePath(how);
        QVERIFY(QDir().mkpath(folder));
        if (how == "tmpfs" && !PrivateTmpfsAllowed(folder))
            QSKIP("no private mount namespace here: the file size limit stands for a full disk");
        const QString out = folder + "/out.txt";
        if (how == "ulimit")
            QVERIFY(WriteText(out, "ancien\n"));
        arguments.replaceInStrings("OUT", out).replaceInStrings("DIR", folder);
        LinkedSim r;
        QVERIFY(r.start());
        const QStringList launcher = how == "tmpfs"
                                         ? QStringList{"unshare", "-m", "sh", "-c", FullDisk}
                                         : QStringList{"sh", "-c", "ulimit -f 2; exec \"$@\""};
        const CliRun run = RunCli(QStringList{"--port", r.link} + arguments, 60000, Through(launcher, folder));
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 73);
        QVERIFY2(run.err.contains(said) || run.out.contains(said), qPrintable(run.out + run.err));
        if (how == "tmpfs")
            QVERIFY2(run.err.contains("ANCIEN=ancien") && run.err.contains("SAUVEGARDES=0"), qPrintable(run.err));
        else
            QCOMPARE(ReadText(out), QByteArray("ancien\n"));
        if (writes)
            QCOMPARE(r.putPayloads, QStringList());
    }

    // One answer in a hundred lost, cut, late or damaged: each read is asked
    // once more, so that a whole configuration still comes through, and a
    // damaged answer is never kept as a value.
    void readsThroughRandomFaults()
    {
        constexpr int Runs = 10;
        int succeeded = 0;
        QMap<int, int> statuses;
        // Seeds 1 to 10; KOVRIM_SEED_BASE shifts them to try others.
        const int base = qEnvironmentVariableIntValue("KOVRIM_SEED_BASE");
        for (int seed = base + 1; seed <= base + Runs; ++seed) {
            LinkedSim r;
            QVERIFY(r.start());
            QVERIFY(r.sim.handleControlLine(QString("random %1 1").arg(seed)).size() > 0);
            const QString out = files.filePath(QString("lu-%1.txt").arg(seed));
            const CliRun run = RunCli({"--port", r.link, "config-read", out});
            QVERIFY2(run.ended, "never ended");
            ++statuses[run.exitCode];
            if (run.exitCode != 0) {
                QVERIFY2(QList<int>({2, 3}).contains(run.exitCode), qPrintable(run.err));
                QVERIFY(!QFile::exists(out));
                continue;
            }
            ++succeeded;
            const QStringList lines = ReadLines(out);
            QCOMPARE(lines.size(), Parameters);
            for (const QString &line : lines) {
                const QString identifier = line.section('=', 0, 0);
                if (!IsClock(identifier))
                    QVERIFY2(line.section('=', 1) == r.sim.config().value(identifier),
                             qPrintable(QString("seed %1: %2").arg(seed).arg(line)));
            }
        }
        qInfo("config-read at 1 %% random faults: %d / %d succeeded (exit statuses %s)", succeeded, Runs,
              qPrintable(QStringList([&] {
                             QStringList parts;
                             for (auto it = statuses.cbegin(); it != statuses.cend(); ++it)
                                 parts << QString("%1: %2").arg(it.key()).arg(it.value());
                             return parts;
                         }())
                             .join(", ")));
        QVERIFY(succeeded >= 9);
    }

    // A result the standard output does not take is a failure: 74.
    void standardOutputFull_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("config-read, text") << QStringList{"config-read", "-"};
        QTest::newRow("config-read, json") << QStringList{"--json", "config-read", "-"};
        QTest::newRow("clock check, text") << QStringList{"clock-set", "--check"};
        QTest::newRow("ports, json") << QStringList{"--json", "ports"};
    }
    void standardOutputFull()
    {
        QFETCH(QStringList, arguments);
        LinkedSim r;
        QVERIFY(r.start());
        const CliRun run = RunCli(QStringList{"--port", r.link} + arguments, 60000,
                                  [](QProcess &process) { process.setStandardOutputFile("/dev/full"); });
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 74);
        QVERIFY2(run.err.contains("Sortie standard impossible à écrire : disque plein"), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestCliRobust)
#include "tst_cli_robust.moc"
