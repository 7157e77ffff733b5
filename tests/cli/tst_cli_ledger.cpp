// kovrim-cli and the ledger: each reader write recorded with its outcome,
// nothing written when the ledger cannot be, the ledger exported, verified
// after a row was altered, and two processes writing at once.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ledger/ledger.h"
#include "tests/cli/clirun.h"
#include "tests/cli/clisim.h"

namespace {
QString Sqlite(const QString &path, const QString &sql)
{
    QProcess tool;
    tool.start(QStringLiteral("sqlite3"), {path, sql});
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
        return QStringLiteral("ERREUR ") + QString::fromUtf8(tool.readAllStandardError());
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}
}

class TestCliLedger : public QObject
{
    Q_OBJECT

    std::unique_ptr<LinkedSim> r;
    QTemporaryDir files;

    QString ledgerPath() const { return files.filePath(QStringLiteral("kovrim.sqlite")); }
    CliRun cli(const QStringList &arguments)
    {
        return RunCli(QStringList{"--port", r->link, "--ledger", ledgerPath(), "--operator", "Alice"}
                      + arguments);
    }

private slots:
    void init()
    {
        QFile::remove(ledgerPath());
        r = std::make_unique<LinkedSim>();
        QVERIFY(r->start());
    }
    void cleanup() { r.reset(); }

    void writesAreRecordedAndExported()
    {
        QCOMPARE(cli({"clock-set"}).exitCode, 0);
        r->sim.setSilent(true);
        QCOMPARE(cli({"clock-set"}).exitCode, 2);

        const CliRun csv = cli({"ledger-export", files.filePath("historique.csv")});
        QVERIFY2(csv.exitCode == 0, qPrintable(csv.err));
        QFile file(files.filePath("historique.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(0).startsWith(QString::fromUtf8("\xEF\xBB\xBF") + "N°;Date;"));
        QVERIFY2(lines.at(1).contains(";maintenance;horloge;fait;"), qPrintable(lines.at(1)));
        QVERIFY(lines.at(1).contains(";Alice;"));
        QVERIFY(lines.at(1).contains(r->link));
        QVERIFY2(lines.at(2).contains(";horloge;échec;"), qPrintable(lines.at(2)));

        const CliRun json = cli({"--json", "ledger-export", "--from", QDate::currentDate().toString(Qt::ISODate),
                                 files.filePath("historique.jsonl")});
        QCOMPARE(json.exitCode, 0);
        QFile jsonFile(files.filePath("historique.jsonl"));
        QVERIFY(jsonFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> objects = jsonFile.readAll().split('\n');
        QCOMPARE(objects.size(), 3);  // two rows and the end of the last line
        QCOMPARE(QJsonDocument::fromJson(objects.at(0)).object().value("kind").toString(), QString("horloge"));
        const CliRun none = cli({"ledger-export", "--to", "2001-01-01", "-"});
        QCOMPARE(none.out.count('\n'), 1);  // the header alone
    }

    void verifyNamesTheAlteredRow()
    {
        QCOMPARE(cli({"clock-set"}).exitCode, 0);
        QCOMPARE(cli({"clock-set"}).exitCode, 0);
        QCOMPARE(cli({"clock-set"}).exitCode, 0);
        CliRun verify = cli({"ledger-verify"});
        QCOMPARE(verify.exitCode, 0);
        QVERIFY(verify.out.contains("3 ligne(s)"));
        QCOMPARE(Sqlite(ledgerPath(), "DROP TRIGGER entries_no_update; "
                                      "UPDATE entries SET operator = 'Mallory' WHERE seq = 2"),
                 QString());
        verify = cli({"--json", "ledger-verify"});
        QCOMPARE(verify.exitCode, 4);
        const QJsonObject object = QJsonDocument::fromJson(verify.out.toUtf8()).object();
        QCOMPARE(object.value("bad_row").toInt(), 2);
        verify = cli({"ledger-verify"});
        QVERIFY2(verify.err.contains("Historique altéré à la ligne 2"), qPrintable(verify.err));
    }

    // The reader receives nothing when the write cannot be recorded.
    void unwritableLedgerSendsNothing()
    {
        QFile list(files.filePath("liste.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("05/03/26;04A1B2C3;1001;2;perdu;\n");
        list.close();
        const CliRun run = RunCli({"--port", r->link, "--ledger", "/proc/kovrim.sqlite", "blacklist-write",
                                   files.filePath("liste.txt")});
        QCOMPARE(run.exitCode, 73);
        QVERIFY2(run.err.contains("Historique inaccessible : écriture non envoyée ("), qPrintable(run.err));
        QVERIFY(r->sim.listFile().entries().isEmpty());
        QVERIFY(r->putPayloads.isEmpty());
    }

    void pendingListsUnsettledOperations()
    {
        {
            Ledger ledger(ledgerPath());
            QVERIFY(ledger.open());
            LedgerMoneyOperation debit;
            debit.kind = LedgerKind::Debit;
            debit.uid = "04A1B2C3";
            debit.user = "41";
            debit.amountCents = 100;
            const qint64 unknown = ledger.recordPlanned(debit).id;
            QVERIFY(ledger.recordOutcome(unknown, LedgerOutcome::Unknown).ok());
            const qint64 done = ledger.recordPlanned(debit).id;
            QVERIFY(ledger.recordOutcome(done, LedgerOutcome::Done, 1400).ok());
        }
        const CliRun run = cli({"--json", "ledger-pending"});
        QCOMPARE(run.exitCode, 0);
        const QJsonArray pending = QJsonDocument::fromJson(run.out.toUtf8()).object().value("pending").toArray();
        QCOMPARE(pending.size(), 1);
        QCOMPARE(pending.first().toObject().value("uid").toString(), QString("04A1B2C3"));
        QCOMPARE(pending.first().toObject().value("seq").toInt(), 1);
    }

    // Two processes on two readers, the same ledger: no row lost, one chain.
    void twoProcessesWriteAtOnce()
    {
        LinkedSim other;
        QVERIFY(other.start(QStringLiteral("second")));
        constexpr int Rounds = 6;
        for (int round = 0; round < Rounds; ++round) {
            CliProcess first({"--port", r->link, "--ledger", ledgerPath(), "clock-set"});
            CliProcess second({"--port", other.link, "--ledger", ledgerPath(), "clock-set"});
            QCOMPARE(first.finish().exitCode, 0);
            QCOMPARE(second.finish().exitCode, 0);
        }
        const CliRun verify = cli({"--json", "ledger-verify"});
        QCOMPARE(verify.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(verify.out.toUtf8()).object().value("rows").toInt(), 2 * Rounds);
    }
};

QTEST_GUILESS_MAIN(TestCliLedger)
#include "tst_cli_ledger.moc"
