// kovrim-cli's blacklist commands end to end: the old list kept and put
// back, what the reader holds said on standard output and in the JSON,
// rows that do not split refused by line.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <memory>

#include "tests/cli/clirun.h"
#include "tests/cli/clisim.h"

namespace {
bool WriteText(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

const QString Old = "Cda=250101;UID=0A0A0A0A;Usr=;Grp=";
// Three entries, a repeat and an empty row.
const QByteArray NewList = "05/03/2026;04A1B2C3;1001;2;perdu;\n"
                           ";04a1b2c3;;;bis;\n"
                           ";;;;;\n"
                           "2026-11-17;0E0E0E0E;;;;\n"
                           ";;;7;;\n";
}

class TestCliBlackList : public QObject
{
    Q_OBJECT

    std::unique_ptr<LinkedSim> r;
    QTemporaryDir files;

    QString path(const QString &name) const { return files.filePath(name); }
    CliRun cli(QStringList arguments)
    {
        return RunCli(QStringList{"--port", r->link} + arguments + QStringList{"--backup-dir", path("b")});
    }

private slots:
    void init()
    {
        r = std::make_unique<LinkedSim>();
        QVERIFY(r->start());
        r->sim.handleControlLine("liste ajoute " + Old);
        QDir(path("b")).removeRecursively();
        QVERIFY(WriteText(path("liste.txt"), NewList));
    }
    void cleanup() { r.reset(); }

    // Counts in the JSON; the old list in a backup file.
    void writeCountsAndKeepsTheOldList()
    {
        const CliRun run = cli({"--json", "blacklist-write", path("liste.txt")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(json.value("sent").toInt(), 3);
        QCOMPARE(json.value("skipped").toInt(), 2);
        QCOMPARE(json.value("checked").toInt(), 3);
        QCOMPARE(json.value("restored").toInt(), 0);
        QCOMPARE(r->sim.listFile().entries(),
                 (QStringList{"Cda=260305;UID=04A1B2C3;Usr=1001;Grp=2", "Cda=261117;UID=0E0E0E0E;Usr=;Grp=",
                              "Cda=;UID=;Usr=;Grp=7"}));
        QFile backup(json.value("backup").toString());
        QVERIFY2(backup.open(QIODevice::ReadOnly), qPrintable(run.out));
        QCOMPARE(backup.readAll(), QByteArray("01/01/25;0A0A0A0A;;;;\n"));
    }

    // A refusal, a silence or a lost link in the middle: the outcome line on
    // standard output says what the reader holds, and so does the status.
    void stoppedWriteSaysWhatTheReaderHolds_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QStringList>("held");
        QTest::newRow("refusal") << "next refuse FA" << 1
                                 << "LN Ecriture->ECHEC : liste d'origine rétablie (1 ligne)"
                                 << "LN Ecriture de la ligne 4 (0E0E0E0E) refusée par le lecteur"
                                 << QStringList{Old};
        QTest::newRow("silence") << "next mute FA" << 2
                                 << "LN Ecriture->ECHEC : liste d'origine rétablie (1 ligne)"
                                 << "LN Ecriture de la ligne 4 (0E0E0E0E) sans réponse du lecteur"
                                 << QStringList{Old};
        QTest::newRow("lost link") << "unplug" << 5
                                   << "LN Ecriture->ECHEC : le lecteur ne tient que 1 ligne sur 3"
                                   << "LN Ecriture : le lecteur tient 1 ligne de la nouvelle liste"
                                   << QStringList{"Cda=260305;UID=04A1B2C3;Usr=1001;Grp=2"};
    }
    void stoppedWriteSaysWhatTheReaderHolds()
    {
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(QString, outcome);
        QFETCH(QString, failure);
        QFETCH(QStringList, held);
        int adds = 0;
        connect(&r->sim, &ReaderSim::requestReceived, this, [&](char c1, char c2, const QByteArray &) {
            if (c1 == 'F' && c2 == 'A' && ++adds == 2) {
                if (fault == "unplug")
                    r->sim.unplug();
                else
                    r->sim.handleControlLine(fault);
            }
        });
        const CliRun run = cli({"blacklist-write", path("liste.txt")});
        QCOMPARE(run.exitCode, status);
        QVERIFY2(run.outLines().contains(outcome), qPrintable(run.out));
        QVERIFY2(run.outLines().contains(failure), qPrintable(run.out));
        QCOMPARE(r->sim.listFile().entries(), held);
    }

    // The JSON of a write cut by a lost link names what the reader holds.
    void partialWriteInJson()
    {
        int adds = 0;
        connect(&r->sim, &ReaderSim::requestReceived, this, [&](char c1, char c2, const QByteArray &) {
            if (c1 == 'F' && c2 == 'A' && ++adds == 2)
                r->sim.unplug();
        });
        const CliRun run = cli({"--json", "blacklist-write", path("liste.txt")});
        QCOMPARE(run.exitCode, 5);
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(json.value("outcome").toString(), QString("partial"));
        QCOMPARE(json.value("partial").toArray(), QJsonArray{"Cda=260305;UID=04A1B2C3;Usr=1001;Grp=2"});
        QCOMPARE(json.value("sent").toInt(), 1);
        QCOMPARE(json.value("skipped").toInt(), 2);
        QCOMPARE(json.value("restored").toInt(), 0);
        QVERIFY(QFile::exists(json.value("backup").toString()));
    }

    // Lines that use "," are faulty rows, named; nothing is sent.
    void commaSeparatedFileIsRefused()
    {
        QByteArray commas;
        for (int i = 0; i < 52; ++i)
            commas += QByteArray("05/03/26,04A1B2C3,1001,2,perdu\n");
        QVERIFY(WriteText(path("virgules.txt"), ";0A0B0C0D;;;;\n" + commas));
        const CliRun run = cli({"blacklist-write", path("virgules.txt")});
        QCOMPARE(run.exitCode, 65);
        QVERIFY2(run.err.contains("ligne 2 : séparateur « , » au lieu de « ; »"), qPrintable(run.err));
        QCOMPARE(r->sim.requestCount('F', 'C') + r->sim.requestCount('V', 'G'), 0);

        QVERIFY(WriteText(path("dates.txt"), ";0A0B0C0D;;;;\n31/02/26;04A1B2C3;;;;\nhier;;1;;;\n"));
        const CliRun dates = cli({"blacklist-write", path("dates.txt")});
        QCOMPARE(dates.exitCode, 65);
        QVERIFY2(dates.err.contains("ligne 2 : Date : le 31/02/26 n'existe pas"), qPrintable(dates.err));
        QVERIFY2(dates.err.contains("ligne 3 : Date : jj/mm/aa attendue"), qPrintable(dates.err));
        QCOMPARE(r->sim.listFile().entries(), QStringList{Old});
    }
};

QTEST_GUILESS_MAIN(TestCliBlackList)
#include "tst_cli_blacklist.moc"
