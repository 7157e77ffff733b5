// kovrim-cli end to end: the built program against simulated readers on
// pseudo-terminals, as a technician or a fleet tool runs it.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

#include "tests/cli/clirun.h"
#include "tests/cli/clisim.h"

namespace {
QStringList ReadLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

bool WriteText(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The reader's clock parameters change every minute.
bool IsClock(const QString &identifier)
{
    return identifier == "12.3" || identifier == "12.4";
}
}

class TestCliE2e : public QObject
{
    Q_OBJECT

    std::unique_ptr<LinkedSim> r;
    QTemporaryDir files;

    QString path(const QString &name) const { return files.filePath(name); }
    CliRun cli(QStringList arguments, int timeoutMs = 60000)
    {
        return RunCli(QStringList{"--port", r->link} + arguments, timeoutMs);
    }
    // A file of the reader's configuration with three values changed.
    QString changedFile()
    {
        const CliRun read = cli({"config-read", path("site.txt")});
        if (read.exitCode != 0)
            return QString();
        QStringList lines = ReadLines(path("site.txt"));
        lines.replaceInStrings(QRegularExpression("^10\\.1=.*"), "10.1=4000");
        lines.replaceInStrings(QRegularExpression("^3\\.0\\.1=.*"), "3.0.1=Laverie de la Gare");
        lines.replaceInStrings(QRegularExpression("^3\\.4\\.0=.*"), "3.4.0=1");
        WriteText(path("site.txt"), lines.join('\n').toUtf8() + '\n');
        return path("site.txt");
    }

private slots:
    void init()
    {
        r = std::make_unique<LinkedSim>();
        QVERIFY(r->start());
    }
    void cleanup() { r.reset(); }

    void configReadGivesTheReaderValues()
    {
        const CliRun run = cli({"config-read", path("lu.txt")});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = ReadLines(path("lu.txt"));
        // One line per parameter, an identifier shown twice in the tree once.
        QCOMPARE(lines.size(), 140);
        QStringList identifiers;
        for (const QString &line : lines)
            identifiers << line.section('=', 0, 0);
        identifiers.removeDuplicates();
        QCOMPARE(identifiers.size(), 140);
        for (const QString &line : lines) {
            const QString identifier = line.section('=', 0, 0);
            if (!IsClock(identifier))
                QCOMPARE(line.section('=', 1), r->sim.config().value(identifier));
        }
        // "-": the same file on standard output.
        const CliRun out = cli({"config-read", "-"});
        QCOMPARE(out.exitCode, 0);
        QCOMPARE(out.outLines().size(), 140);

        // A file that cannot be written is refused before the reader is read;
        // a parameter the reader refuses to give is left out of the file.
        const int reads = r->sim.requestCount('V', 'G');
        QCOMPARE(cli({"config-read", path("absent/lu.txt")}).exitCode, 73);
        QCOMPARE(r->sim.requestCount('V', 'G'), reads);
        r->sim.config().refuseReads("6.0.2", true);
        QCOMPARE(cli({"config-read", path("lu.txt")}).exitCode, 0);
        QCOMPARE(ReadLines(path("lu.txt")).filter(QRegularExpression("^6\\.0\\.2=")), QStringList());
        QCOMPARE(ReadLines(path("lu.txt")).size(), 139);
    }

    // Three values changed: seen, tried, written with backup and check, then
    // in step.
    void diffDryRunWriteThenInStep()
    {
        const QString file = changedFile();
        QVERIFY(!file.isEmpty());
        const CliRun diff = cli({"config-diff", file});
        QCOMPARE(diff.exitCode, 10);
        QCOMPARE(diff.outLines().filter(", fichier « ").size(), 3);
        QVERIFY2(diff.out.contains("10.1 (") && diff.out.contains("« 5000 »")
                     && diff.out.contains("« 4000 »"), qPrintable(diff.out));

        const CliRun dry = cli({"config-write", file, "--dry-run"});
        QCOMPARE(dry.exitCode, 0);
        QCOMPARE(dry.outLines().filter("À écrire : ").size(), 3);
        QVERIFY(r->putPayloads.isEmpty());

        const QString backups = path("sauvegardes");
        const CliRun write = cli({"config-write", file, "--backup-dir", backups});
        QVERIFY2(write.exitCode == 0, qPrintable(write.err));
        QCOMPARE(r->putPayloads, (QStringList{"3.0.1=Laverie de la Gare", "3.4.0=1", "10.1=4000",
                                              "3.255.1=", "10.255.1="}));
        QCOMPARE(r->sim.config().value("10.1"), QString("4000"));
        QCOMPARE(write.out.count(QRegularExpression(": OK\\n")), 3 + 2 + 3);
        const QStringList saved = QDir(backups).entryList({"lecteur-*.txt"}, QDir::Files);
        QCOMPARE(saved.size(), 1);
        QVERIFY(ReadLines(QDir(backups).filePath(saved.first())).contains("10.1=5000"));

        const CliRun after = cli({"config-diff", file});
        QCOMPARE(after.exitCode, 0);
        QCOMPARE(after.outLines().filter(", fichier « "), QStringList());
    }

    // The second write is refused: the first is put back and committed,
    // and the reader holds what it held.
    void refusedWritePutsTheReaderBack()
    {
        const QString file = changedFile();
        const QString site = r->sim.config().value("3.0.1");
        r->sim.config().refuseWrites("3.4.0", true);
        const CliRun run = cli({"config-write", file, "--backup-dir", path("b"), "--json"});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(r->putPayloads, (QStringList{"3.0.1=Laverie de la Gare", "3.4.0=1", "3.0.1=" + site,
                                              "3.255.1="}));
        QCOMPARE(r->sim.config().value("3.0.1"), site);
        QVERIFY(!r->sim.config().isPending("3.0.1"));
        const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
        // The failure line is a result, after the outcome line.
        QVERIFY2(object.value("summary").toArray().last().toString().contains("3.4.0 refusée"), qPrintable(run.out));
        QVERIFY2(object.value("summary").toArray().contains(
                     QString("Save->ECHEC : lecteur remis dans son état d'origine (1 paramètre)")),
                 qPrintable(run.out));
        QCOMPARE(object.value("written").toInt(), 1);
        QCOMPARE(object.value("restored").toInt(), 1);
        QCOMPARE(object.value("pending").toInt(), 0);
        QVERIFY(!object.contains("partial"));
    }

    void silentReaderEndsWithinTheTimeOut()
    {
        r->sim.setSilent(true);
        const CliRun run = cli({"config-read", path("x.txt")});
        QCOMPARE(run.exitCode, 2);
        // One read's time-out, and the start of the program.
        QVERIFY2(run.elapsedMs < 1000 + 2000, qPrintable(QString::number(run.elapsedMs)));
        QVERIFY(!QFile::exists(path("x.txt")));
    }

    void missingPortSaysSo()
    {
        const CliRun run = RunCli({"--port", path("absent"), "clock-set"});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains("ce port n'existe pas"), qPrintable(run.err));
    }

    void unreadableInput_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("content");  // empty: no file
        QTest::addColumn<QString>("said");
        QTest::newRow("config, missing") << "config-write" << QByteArray() << "illisible";
        QTest::newRow("config, binary") << "config-diff" << QByteArray("10.1=4\x01\x02\x03", 7) << "illisible";
        QTest::newRow("config, no parameter") << "config-write" << QByteArray("a=b\nc=d\n") << "illisible";
        QTest::newRow("blacklist, missing") << "blacklist-write" << QByteArray() << "illisible";
        QTest::newRow("blacklist, binary") << "blacklist-write" << QByteArray("a;\x00;b", 5) << "illisible";
        QTest::newRow("blacklist, invalid row") << "blacklist-write"
                                                << QByteArray(";04A1B2C3;;;\n;04a1;;;\n") << "ligne 2 : UID";
    }
    void unreadableInput()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, content);
        QFETCH(QString, said);
        const QString file = path("entree.txt");
        QFile::remove(file);
        if (!content.isEmpty())
            QVERIFY(WriteText(file, content));
        const CliRun run = cli({command, file});
        QCOMPARE(run.exitCode, 65);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QCOMPARE(r->sim.requestCount('V', 'G') + r->sim.requestCount('F', 'C'), 0);
    }

    // An empty file would wipe the reader's list: only when asked for.
    void emptyBlacklistClearsOnlyWhenAllowed()
    {
        const QString file = path("vide.txt");
        QFile empty(file);
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        CliRun run = cli({"blacklist-write", file});
        QCOMPARE(run.exitCode, 65);
        QVERIFY2(run.err.contains("--allow-empty"), qPrintable(run.err));
        QCOMPARE(r->sim.requestCount('F', 'C'), 0);
        run = cli({"blacklist-write", "--allow-empty", file});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(r->sim.requestCount('F', 'C'), 1);
    }

    void unwritableBackupWritesNothing()
    {
        const QString file = changedFile();
        QVERIFY(WriteText(path("pasundossier"), "x"));
        const CliRun run = cli({"config-write", file, "--backup-dir", path("pasundossier")});
        QCOMPARE(run.exitCode, 73);
        QVERIFY(r->putPayloads.isEmpty());
    }

    // Out and back: equal, the reasons aside (the reader does not keep them).
    void blacklistGoesOutAndComesBack()
    {
        const QByteArray sent = "05/03/26;04A1B2C3;1001;2;perdu;\n"
                                "17/11/25;04FFEE01;1002;1;volé;\n"
                                ";04AB0000;;;;\n";
        QVERIFY(WriteText(path("listenoire.txt"), sent));
        const CliRun write = cli({"blacklist-write", path("listenoire.txt")});
        QVERIFY2(write.exitCode == 0, qPrintable(write.err));
        QCOMPARE(r->sim.listFile().entries().size(), 3);
        const CliRun read = cli({"blacklist-read", path("relue.txt")});
        QCOMPARE(read.exitCode, 0);
        QCOMPARE(ReadLines(path("relue.txt")), (QStringList{"05/03/26;04A1B2C3;1001;2;;",
                                                            "17/11/25;04FFEE01;1002;1;;",
                                                            ";04AB0000;;;;"}));
    }

    void badgeReadJson()
    {
        QVERIFY(r->sim.present("credit"));
        const CliRun run = cli({"--json", "badge-read", "--wait", "5"});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(object.value("command").toString(), QString("badge-read"));
        QCOMPARE(object.value("port").toString(), r->link);
        QCOMPARE(object.value("outcome").toString(), QString("done"));
        const QJsonObject record = object.value("record").toObject();
        QCOMPARE(record.value("UID").toString(), QString("04A1B2C3"));
        QCOMPARE(record.size(), r->sim.badgeRecord("credit").count('=') );
    }

    // The reader's own word that a badge is on its blacklist is said.
    void badgeOnTheBlacklist_data()
    {
        QTest::addColumn<QString>("badge");
        QTest::addColumn<bool>("blacklisted");
        QTest::newRow("credit") << "credit" << false;
        QTest::newRow("blacklisted") << "noire" << true;
    }
    void badgeOnTheBlacklist()
    {
        QFETCH(QString, badge);
        QFETCH(bool, blacklisted);
        QVERIFY(r->sim.present(badge));
        const CliRun json = cli({"--json", "badge-read", "--wait", "5"});
        const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(object.value("blacklisted").toBool(!blacklisted), blacklisted);
        QCOMPARE(json.err.contains("liste noire"), blacklisted);
    }

    // Beyond the tolerance, the check fails with 10: a cron job sees it.
    void clockCheckTolerance_data()
    {
        QTest::addColumn<int>("driftMinutes");
        QTest::addColumn<QStringList>("tolerance");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("on time") << 0 << QStringList() << 0;
        QTest::newRow("a day late") << -1440 << QStringList() << 10;
        QTest::newRow("five minutes ahead") << 5 << QStringList() << 10;
        QTest::newRow("five minutes, tolerance 10") << 5 << QStringList{"--tolerance", "10"} << 0;
        QTest::newRow("a day late, tolerance 0") << -1440 << QStringList{"--tolerance=0"} << 10;
    }
    void clockCheckTolerance()
    {
        QFETCH(int, driftMinutes);
        QFETCH(QStringList, tolerance);
        r->sim.config().setClockDrift(driftMinutes);
        const CliRun run = cli(QStringList{"clock-set", "--check"} + tolerance);
        QTEST(run.exitCode, "exitCode");
        QVERIFY(r->putPayloads.isEmpty());
    }

    void noBadgeEndsAfterTheWait()
    {
        const CliRun run = cli({"badge-read", "--wait", "1"});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains("Aucun badge"), qPrintable(run.err));
    }

    void clockSetThenCheck()
    {
        r->sim.handleControlLine("param 12.3 x");  // the clock stays live
        QVERIFY(r->putPayloads.isEmpty());
        const CliRun set = cli({"clock-set"});
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(r->putPayloads.size(), 2);
        const CliRun check = cli({"--json", "clock-set", "--check"});
        QCOMPARE(check.exitCode, 0);
        const QJsonObject object = QJsonDocument::fromJson(check.out.toUtf8()).object();
        QVERIFY(qAbs(object.value("drift_seconds").toDouble()) <= 60);
    }

    // The link lost after a write was accepted: nothing can put the reader
    // back, and the output names what it holds pending (exit 5).
    void lostLinkLeavesAPartialStateNamed()
    {
        const QString file = changedFile();
        connect(&r->sim, &ReaderSim::requestReceived, &r->sim, [this](char, char, const QByteArray &p) {
            if (p == "3.4.0=1") {
                r->sim.failNext(ReaderSim::Fault::Lose);
                QTimer::singleShot(0, &r->sim, [this] { r->sim.unplug(); });
            }
        });
        const CliRun text = cli({"config-write", file, "--backup-dir", path("b")});
        QCOMPARE(text.exitCode, 5);
        QVERIFY2(text.out.contains("Save->ECHEC : 3.0.1, 3.4.0 en attente dans le lecteur"), qPrintable(text.out));
        QVERIFY(r->sim.config().isPending("3.0.1"));

        LinkedSim fresh;
        QVERIFY(fresh.start());
        connect(&fresh.sim, &ReaderSim::requestReceived, &fresh.sim, [&fresh](char, char, const QByteArray &p) {
            if (p == "3.4.0=1")
                QTimer::singleShot(0, &fresh.sim, [&fresh] { fresh.sim.unplug(); });
        });
        const CliRun json = RunCli({"--port", fresh.link, "config-write", file, "--backup-dir", path("b"), "--json"});
        QCOMPARE(json.exitCode, 5);
        const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(object.value("outcome").toString(), QString("partial"));
        QVERIFY(object.value("partial").toArray().contains("3.0.1"));
        // The write in flight when the link went is named too, whether or
        // not its answer got out before the unplug.
        QVERIFY(object.value("partial").toArray().contains("3.4.0"));
        QCOMPARE(object.value("pending").toInt(), object.value("partial").toArray().size());
        const int written = object.value("written").toInt();
        QVERIFY2(written == 1 || written == 2, qPrintable(json.out));
    }

    // A file with lines the parameters cannot take is refused whole: exit
    // 65, each line named, nothing written.
    void refusedLinesWriteNothing()
    {
        QVERIFY(WriteText(path("mauvais.txt"), "10.1=4000\n3.4.1=Non\n9.9.9=1\n"));
        const CliRun run = cli({"config-write", path("mauvais.txt"), "--backup-dir", path("b")});
        QCOMPARE(run.exitCode, 65);
        QVERIFY2(run.err.contains("ligne 2 : 3.4.1=Non : 0 ou 1 attendu")
                     && run.err.contains("ligne 3 : 9.9.9=1 : paramètre inconnu"), qPrintable(run.err));
        QVERIFY(r->putPayloads.isEmpty());
        QCOMPARE(cli({"config-diff", path("mauvais.txt")}).exitCode, 65);
    }

    // Another reader's identity in a file: listed apart, not a difference,
    // not written unless asked.
    void perReaderParametersStayPut()
    {
        QVERIFY(WriteText(path("autre.txt"), "3.0.2=2002\n13.1.4=10.0.0.7\n"));
        const CliRun diff = cli({"config-diff", path("autre.txt")});
        QCOMPARE(diff.exitCode, 0);
        QCOMPARE(diff.out.count("propre au lecteur"), 2);
        const CliRun write = cli({"config-write", path("autre.txt"), "--backup-dir", path("b")});
        QCOMPARE(write.exitCode, 0);
        QVERIFY(r->putPayloads.isEmpty());
        QCOMPARE(r->sim.config().value("3.0.2"), QString("1001"));
    }

    // One process per reader, all at once, each its own configuration.
    void threeReadersAtOnce()
    {
        std::vector<std::unique_ptr<LinkedSim>> sims;
        std::vector<std::unique_ptr<CliProcess>> runs;
        for (int i = 0; i < 3; ++i) {
            sims.push_back(std::make_unique<LinkedSim>());
            QVERIFY(sims.back()->start());
            const QString file = path(QString("site%1.txt").arg(i));
            QVERIFY(WriteText(file, QString("10.1=%1\n3.0.2=%2\n").arg(4000 + i).arg(2000 + i).toUtf8()));
            runs.push_back(std::make_unique<CliProcess>(
                QStringList{"--port", sims.back()->link, "config-write", file, "--backup-dir", path("b3"),
                            "--include-identity"}));
        }
        for (int i = 0; i < 3; ++i) {
            const CliRun run = runs[i]->finish();
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            QCOMPARE(sims[i]->sim.config().value("10.1"), QString::number(4000 + i));
            QCOMPARE(sims[i]->sim.config().value("3.0.2"), QString::number(2000 + i));
        }
        QCOMPARE(QDir(path("b3")).entryList(QDir::Files).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestCliE2e)
#include "tst_cli_e2e.moc"
