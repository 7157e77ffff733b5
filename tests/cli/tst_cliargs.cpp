// The command line of kovrim-cli: what is refused as a usage error (exit 64,
// before any port is opened) and what is taken as meant.
#include <QtTest>

#include "cli/cliargs.h"
#include "tests/cli/clirun.h"

class TestCliArgs : public QObject
{
    Q_OBJECT

private slots:
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::newRow("nothing") << QStringList{} << "aucune commande";
        QTest::newRow("unknown command") << QStringList{"config-load", "f"} << "commande inconnue";
        QTest::newRow("unknown option") << QStringList{"--verbose", "ports"} << "option inconnue";
        QTest::newRow("file missing") << QStringList{"config-write"} << "attend un FICHIER";
        QTest::newRow("file extra") << QStringList{"config-read", "a", "b"} << "argument en trop";
        QTest::newRow("ports takes no file") << QStringList{"ports", "a"} << "argument en trop";
        QTest::newRow("port without value") << QStringList{"ports", "--port"} << "attend une valeur";
        QTest::newRow("port empty") << QStringList{"--port=", "ports"} << "attend une valeur";
        QTest::newRow("switch with value") << QStringList{"--json=1", "ports"} << "ne prend pas de valeur";
        QTest::newRow("dry-run elsewhere") << QStringList{"config-read", "f", "--dry-run"}
                                           << "ne s'applique pas";
        QTest::newRow("include-identity elsewhere") << QStringList{"config-diff", "f", "--include-identity"}
                                                   << "ne s'applique pas";
        QTest::newRow("check elsewhere") << QStringList{"badge-read", "--check"} << "ne s'applique pas";
        QTest::newRow("wait elsewhere") << QStringList{"clock-set", "--wait", "3"} << "ne s'applique pas";
        QTest::newRow("wait not a number") << QStringList{"badge-read", "--wait", "dix"} << "--wait";
        QTest::newRow("wait zero") << QStringList{"badge-read", "--wait=0"} << "--wait";
        QTest::newRow("wait too long") << QStringList{"badge-read", "--wait", "99999"} << "--wait";
        QTest::newRow("backup-dir empty") << QStringList{"config-write", "f", "--backup-dir="}
                                          << "attend une valeur";
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        const bool portGiven = !arguments.filter(QRegularExpression("^--port")).isEmpty();
        const CliRun run = RunCli(portGiven ? arguments : QStringList{"--port", "/nonexistent/kovrim"} + arguments);
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 64);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QVERIFY2(run.err.contains("kovrim-cli --help"), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    // With --json, a usage error is one object too, wherever --json stands:
    // the fleet tool sees it.
    void usageErrorInJson_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::newRow("no file") << QStringList{"--json", "config-write"} << "attend un FICHIER";
        QTest::newRow("json after the fault") << QStringList{"--bogus", "--json"} << "option inconnue";
        QTest::newRow("port twice") << QStringList{"--port", "/dev/ttyS0", "--json", "ports", "--port=/dev/ttyS1"}
                                    << "deux fois : --port";
        QTest::newRow("json twice") << QStringList{"--json", "ports", "--json"} << "deux fois : --json";
        QTest::newRow("blacklist-write without port") << QStringList{"--json", "blacklist-write", "l.txt"}
                                                      << "--port PORT";
        QTest::newRow("config-write without port") << QStringList{"config-write", "s.txt", "--json"}
                                                   << "--port PORT";
        QTest::newRow("clock-set without port") << QStringList{"--json", "clock-set"} << "--port PORT";
        QTest::newRow("tolerance without check")
            << QStringList{"--json", "--port", "p", "clock-set", "--tolerance", "5"} << "--check";
        QTest::newRow("tolerance not a number")
            << QStringList{"--json", "clock-set", "--check", "--tolerance=deux"} << "--tolerance";
    }
    void usageErrorInJson()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        const CliRun run = RunCli(arguments);
        QCOMPARE(run.exitCode, 64);
        const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(object.value("outcome").toString(), QString("usage"));
        QCOMPARE(object.value("exit").toInt(), 64);
        QVERIFY2(object.value("error").toString().contains(said), qPrintable(run.out));
    }

    void accepted_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("port");
        QTest::newRow("options first") << QStringList{"--port", "/dev/ttyUSB1", "--json", "config-read", "a.txt"}
                                       << "config-read" << "a.txt" << "/dev/ttyUSB1";
        QTest::newRow("options last") << QStringList{"config-write", "a.txt", "--port=ttyS0", "--dry-run"}
                                      << "config-write" << "a.txt" << "ttyS0";
        QTest::newRow("dash is a file") << QStringList{"config-read", "-"} << "config-read" << "-" << "";
        QTest::newRow("after --") << QStringList{"--port", "p", "blacklist-write", "--", "--liste.txt"}
                                  << "blacklist-write" << "--liste.txt" << "p";
        // Writing nothing, a dry run and a clock check may take the first port.
        QTest::newRow("dry run without port") << QStringList{"config-write", "a.txt", "--dry-run"}
                                              << "config-write" << "a.txt" << "";
    }
    void accepted()
    {
        QFETCH(QStringList, arguments);
        CliOptions options;
        QString error;
        QVERIFY2(CliParse(arguments, &options, &error), qPrintable(error));
        QTEST(options.command, "command");
        QTEST(options.file, "file");
        QTEST(options.port, "port");
    }

    void helpAndVersion()
    {
        const CliRun help = RunCli({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith("Usage : kovrim-cli"));
        const CliRun version = RunCli({"-V"});
        QCOMPARE(version.exitCode, 0);
        QVERIFY(version.out.startsWith("kovrim-cli 1."));
    }
};

QTEST_GUILESS_MAIN(TestCliArgs)
#include "tst_cliargs.moc"
