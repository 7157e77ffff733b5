// The ledger against a temporary folder: rows appended and chained, a row
// altered behind its back found, a lock waited for, a damaged file set
// aside, an unwritable folder refused, every earlier schema migrated, and
// several processes appending at once.
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

#include "ledger/ledger.h"
#include "ledger/ledgerclosing.h"
#include "ledger/ledgerexport.h"

namespace {
// The child process mode: append this many maintenance rows, then exit.
const char *const WriterVariable = "KOVRIM_LEDGER_TEST_WRITER";

QString Sqlite(const QString &path, const QString &sql)
{
    QProcess tool;
    tool.start(QStringLiteral("sqlite3"), {path, sql});
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
        return QStringLiteral("ERREUR ") + QString::fromUtf8(tool.readAllStandardError());
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

LedgerMoneyOperation Money(const QString &kind, qint64 cents, const QString &uid = QStringLiteral("04A1B2C3"))
{
    LedgerMoneyOperation operation;
    operation.kind = kind;
    operation.uid = uid;
    operation.user = QStringLiteral("41");
    operation.group = QStringLiteral("1");
    operation.counter = QStringLiteral("0");
    operation.amountCents = cents;
    operation.balanceBeforeCents = 1500;
    return operation;
}

int WriterMain(const QString &order)
{
    const QStringList parts = order.split(QLatin1Char('|'));
    Ledger ledger(parts.value(0));
    ledger.setBusyTimeoutMs(20000);
    ledger.setContext({QStringLiteral("écrivain-%1").arg(getpid()), {}, {}, {}});
    if (!ledger.open())
        return 2;
    const int count = parts.value(1).toInt();
    for (int i = 0; i < count; ++i)
        if (!ledger.recordMaintenance(LedgerKind::Clock, LedgerOutcome::Done, QString::number(i)).ok())
            return 3;
    return 0;
}
}

class TestLedger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void appendChainsAndSettles();
    void alteredRowFound_data();
    void alteredRowFound();
    void rowsCannotBeChangedInPlace();
    void lockIsWaitedFor();
    void lockPastTimeOutRefuses();
    void damagedFileSetAside_data();
    void damagedFileSetAside();
    void unwritableFolderRefuses();
    void migratesEveryEarlierVersion_data();
    void migratesEveryEarlierVersion();
    void newerSchemaLeftUntouched();
    void processesAppendAtOnce();
    void randomSequenceKeepsTotals();
    void closingCoversItsPeriodOnce();
    void csvKeepsBlacklistConventions();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestLedger::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("kovrim.sqlite"));
}

void TestLedger::appendChainsAndSettles()
{
    Ledger ledger(m_path);
    ledger.setContext({QStringLiteral("Alice"), QStringLiteral("poste-1"), QStringLiteral("/dev/ttyUSB0"),
                       QStringLiteral("site 2, matériel 7")});
    QVERIFY2(ledger.open(), qPrintable(ledger.error()));
    QCOMPARE(Sqlite(m_path, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));

    const LedgerResult debit = ledger.recordPlanned(Money(LedgerKind::Debit, 100));
    QVERIFY(debit.ok());
    QVERIFY(ledger.recordOutcome(debit.id, LedgerOutcome::Done, 1400).ok());
    const LedgerResult credit = ledger.recordPlanned(Money(LedgerKind::Credit, 1000));
    QVERIFY(ledger.recordOutcome(credit.id, LedgerOutcome::Unknown).ok());
    const LedgerResult refused = ledger.recordPlanned(Money(LedgerKind::Debit, 5000));
    QVERIFY(ledger.recordOutcome(refused.id, LedgerOutcome::Refused, std::nullopt,
                                 QStringLiteral("Solde insuffisant")).ok());
    const LedgerResult silent = ledger.recordPlanned(Money(LedgerKind::Debit, 200, QStringLiteral("0A0B0C0D")));
    QVERIFY(ledger.recordMaintenance(LedgerKind::Configuration, LedgerOutcome::Done, QStringLiteral("13.6")).ok());

    // The credit unknown and the debit never answered wait to be settled.
    QList<qint64> waiting;
    for (const LedgerEntry &row : ledger.unsettled())
        waiting << row.seq;
    QCOMPARE(waiting, (QList<qint64>{credit.id, silent.id}));
    QVERIFY(ledger.recordSettlement(credit.id, LedgerOutcome::Applied, 2400).ok());
    QCOMPARE(ledger.unsettled().size(), 1);

    const LedgerTotals totals = ledger.totals(LedgerFilter());
    QCOMPARE(totals.count, 4);
    QCOMPARE(totals.creditsCents, 1000);
    QCOMPARE(totals.debitsCents, 100);
    QCOMPARE(totals.unknown, 1);
    const QList<LedgerEntry> rows = ledger.entries(LedgerFilter());
    QCOMPARE(rows.size(), 9);
    QCOMPARE(rows.first().event, LedgerEvent::Settlement);  // newest first
    QCOMPARE(rows.last().operatorName, QStringLiteral("Alice"));
    QCOMPARE(rows.last().reader, QStringLiteral("site 2, matériel 7"));

    const LedgerVerification verification = ledger.verify();
    QVERIFY2(verification.ok, qPrintable(verification.reason));
    QCOMPARE(verification.rows, 9);
}

void TestLedger::alteredRowFound_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<qint64>("badSeq");
    QTest::newRow("montant") << "UPDATE entries SET amount = 1 WHERE seq = 3" << qint64(3);
    QTest::newRow("opérateur") << "UPDATE entries SET operator = 'Bob' WHERE seq = 2" << qint64(2);
    QTest::newRow("ligne supprimée") << "DELETE FROM entries WHERE seq = 2" << qint64(3);
    QTest::newRow("empreinte recalculée sans la suite")
        << "UPDATE entries SET hash = 'ab' WHERE seq = 4" << qint64(4);
    QTest::newRow("ligne ajoutée à la main")
        << "INSERT INTO entries SELECT seq + 1, ref, at, event, kind, operator, pc, port, reader, uid, "
           "user, grp, counter, amount, balance_before, balance_after, outcome, detail, hash, hash "
           "FROM entries WHERE seq = 5"
        << qint64(6);
}

void TestLedger::alteredRowFound()
{
    QFETCH(QString, sql);
    QFETCH(qint64, badSeq);
    {
        Ledger ledger(m_path);
        QVERIFY(ledger.open());
        for (int i = 0; i < 5; ++i)
            QVERIFY(ledger.recordPlanned(Money(LedgerKind::Credit, 100 * (i + 1))).ok());
    }
    const QString drop = QStringLiteral("DROP TRIGGER entries_no_update; DROP TRIGGER entries_no_delete; ");
    QCOMPARE(Sqlite(m_path, drop + sql), QString());
    Ledger ledger(m_path);
    QVERIFY(ledger.open());
    const LedgerVerification verification = ledger.verify();
    QVERIFY(!verification.ok);
    QCOMPARE(verification.badSeq, badSeq);
}

void TestLedger::rowsCannotBeChangedInPlace()
{
    {
        Ledger ledger(m_path);
        QVERIFY(ledger.open());
        QVERIFY(ledger.recordPlanned(Money(LedgerKind::Debit, 100)).ok());
    }
    QVERIFY(Sqlite(m_path, QStringLiteral("UPDATE entries SET amount = 1")).contains("ajout seul"));
    QVERIFY(Sqlite(m_path, QStringLiteral("DELETE FROM entries")).contains("ajout seul"));
    QCOMPARE(Sqlite(m_path, QStringLiteral("SELECT amount FROM entries")), QStringLiteral("100"));
}

void TestLedger::lockIsWaitedFor()
{
    Ledger ledger(m_path);
    ledger.setBusyTimeoutMs(5000);
    QVERIFY(ledger.open());
    // Another process holds the write lock for half a second.
    QProcess holder;
    holder.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                        QStringLiteral("(echo 'BEGIN IMMEDIATE;'; sleep 0.5; echo 'COMMIT;') "
                                                       "| sqlite3 '%1'").arg(m_path)});
    QVERIFY(holder.waitForStarted());
    QTest::qWait(150);  // lets the holder take the lock
    QElapsedTimer timer;
    timer.start();
    const LedgerResult result = ledger.recordPlanned(Money(LedgerKind::Debit, 100));
    QVERIFY2(result.ok(), qPrintable(result.error));
    QVERIFY(holder.waitForFinished(5000));
    QVERIFY2(timer.elapsed() >= 200, "the lock was not held: the test proves nothing");
}

void TestLedger::lockPastTimeOutRefuses()
{
    Ledger ledger(m_path);
    ledger.setBusyTimeoutMs(200);
    QVERIFY(ledger.open());
    QProcess holder;
    holder.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                        QStringLiteral("(echo 'BEGIN IMMEDIATE;'; sleep 2; echo 'COMMIT;') "
                                                       "| sqlite3 '%1'").arg(m_path)});
    QVERIFY(holder.waitForStarted());
    QTest::qWait(300);
    const LedgerResult result = ledger.recordPlanned(Money(LedgerKind::Debit, 100));
    QVERIFY(!result.ok());
    QCOMPARE(result.error, QStringLiteral("historique verrouillé par un autre programme"));
    QVERIFY(holder.waitForFinished(5000));
    // Once the lock is gone, the same ledger writes again.
    QVERIFY(ledger.recordPlanned(Money(LedgerKind::Debit, 100)).ok());
    QCOMPARE(ledger.entries(LedgerFilter()).size(), 1);
}

void TestLedger::damagedFileSetAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("pas une base") << QByteArray("Ceci n'est pas une base de données.\n");
    // A real header over pages of noise.
    QByteArray noise("SQLite format 3\0", 16);
    noise += QByteArray(2, '\x10') + QByteArray(4096 * 3, '\xA5');
    QTest::newRow("pages abîmées") << noise;
}

void TestLedger::damagedFileSetAside()
{
    QFETCH(QByteArray, content);
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    Ledger ledger(m_path);
    QVERIFY2(ledger.open(), qPrintable(ledger.error()));
    QVERIFY(!ledger.setAsidePath().isEmpty());
    QFile aside(ledger.setAsidePath());
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), content);  // kept as it was found
    QVERIFY(ledger.recordPlanned(Money(LedgerKind::Credit, 100)).ok());
    QVERIFY(ledger.verify().ok);
}

void TestLedger::unwritableFolderRefuses()
{
    QString path = m_dir->filePath(QStringLiteral("lecture-seule/kovrim.sqlite"));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile::setPermissions(QFileInfo(path).absolutePath(), QFile::ReadOwner | QFile::ExeOwner);
    // The superuser writes in any folder: a folder of /proc refuses even him.
    if (geteuid() == 0)
        path = QStringLiteral("/proc/kovrim.sqlite");
    Ledger ledger(path);
    QVERIFY(!ledger.open());
    const LedgerResult result = ledger.recordPlanned(Money(LedgerKind::Debit, 100));
    QVERIFY(!result.ok());
    QVERIFY(!result.error.isEmpty());
    QFile::setPermissions(m_dir->filePath(QStringLiteral("lecture-seule")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Each earlier version as it was left by the program that wrote it: the
// rows stay, the chain holds, and the file ends at this build's version.
void TestLedger::migratesEveryEarlierVersion_data()
{
    QTest::addColumn<int>("version");
    for (int version = 0; version < Ledger::SchemaVersion; ++version)
        QTest::addRow("version %d", version) << version;
}

void TestLedger::migratesEveryEarlierVersion()
{
    QFETCH(int, version);
    int rows = 0;
    if (version > 0) {
        {
            Ledger ledger(m_path);
            QVERIFY(ledger.open());
            QVERIFY(ledger.recordPlanned(Money(LedgerKind::Credit, 250)).ok());
            QVERIFY(ledger.recordOutcome(1, LedgerOutcome::Done, 1750).ok());
            rows = 2;
        }
        // Back to what version 1 made: the table alone.
        QCOMPARE(Sqlite(m_path, QStringLiteral("DROP INDEX entries_ref; DROP INDEX entries_at; "
                                               "DROP INDEX entries_uid; DROP TRIGGER entries_no_update; "
                                               "DROP TRIGGER entries_no_delete; PRAGMA user_version=1;")),
                 QString());
    }
    Ledger ledger(m_path);
    QVERIFY2(ledger.open(), qPrintable(ledger.error()));
    QCOMPARE(Sqlite(m_path, QStringLiteral("PRAGMA user_version")), QString::number(Ledger::SchemaVersion));
    QCOMPARE(Sqlite(m_path, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'")),
             QStringLiteral("2"));
    QCOMPARE(ledger.entries(LedgerFilter()).size(), rows);
    QVERIFY(ledger.recordMaintenance(LedgerKind::Clock, LedgerOutcome::Done, QString()).ok());
    QVERIFY(ledger.verify().ok);
}

void TestLedger::newerSchemaLeftUntouched()
{
    QCOMPARE(Sqlite(m_path, QStringLiteral("CREATE TABLE futur (x); PRAGMA user_version=99;")), QString());
    const QByteArray before = [this] {
        QFile file(m_path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    Ledger ledger(m_path);
    QVERIFY(!ledger.open());
    QVERIFY(ledger.error().contains("version plus récente"));
    QVERIFY(!ledger.recordPlanned(Money(LedgerKind::Debit, 1)).ok());
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestLedger::processesAppendAtOnce()
{
    constexpr int PerProcess = 150;
    {
        Ledger ledger(m_path);
        QVERIFY(ledger.open());
    }
    QList<QProcess *> writers;
    for (int i = 0; i < 2; ++i) {
        auto *writer = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(WriterVariable, QStringLiteral("%1|%2").arg(m_path).arg(PerProcess));
        writer->setProcessEnvironment(environment);
        writer->start(QCoreApplication::applicationFilePath(), QStringList());
        writers << writer;
    }
    Ledger ledger(m_path);
    ledger.setBusyTimeoutMs(20000);
    QVERIFY(ledger.open());
    for (int i = 0; i < PerProcess; ++i)
        QVERIFY(ledger.recordPlanned(Money(LedgerKind::Credit, 1)).ok());
    for (QProcess *writer : writers) {
        QVERIFY(writer->waitForFinished(60000));
        QCOMPARE(writer->exitCode(), 0);
    }
    const LedgerVerification verification = ledger.verify();
    QVERIFY2(verification.ok, qPrintable(verification.reason));
    QCOMPARE(verification.rows, 3 * PerProcess);
}

// Random operations, outcomes, settlements and closings: at the end the
// totals and the unsettled list are those of a plain model of them.
void TestLedger::randomSequenceKeepsTotals()
{
    const quint32 seed = qEnvironmentVariableIsSet("KOVRIM_SEED") ? qEnvironmentVariableIntValue("KOVRIM_SEED")
                                                                    : 20261208;
    QRandomGenerator random(seed);
    const QByteArray context = "graine " + QByteArray::number(seed);
    Ledger ledger(m_path);
    QVERIFY(ledger.open());
    qint64 credits = 0;
    qint64 debits = 0;
    int count = 0;
    int undetermined = 0;
    QList<qint64> open;
    const QStringList kinds = {LedgerKind::Debit, LedgerKind::Credit, LedgerKind::Creation};
    for (int step = 0; step < 300; ++step) {
        const int action = random.bounded(10);
        if (action < 6) {
            const QString kind = kinds.at(random.bounded(kinds.size()));
            const qint64 cents = random.bounded(1, 5000);
            const LedgerResult planned = ledger.recordPlanned(Money(kind, cents));
            QVERIFY2(planned.ok(), context);
            ++count;
            const int answer = random.bounded(4);
            if (answer == 0) {
                QVERIFY(ledger.recordOutcome(planned.id, LedgerOutcome::Done, 0).ok());
                (kind == LedgerKind::Debit ? debits : credits) += cents;
            } else if (answer == 1) {
                QVERIFY(ledger.recordOutcome(planned.id, LedgerOutcome::Refused).ok());
            } else if (answer == 2) {
                QVERIFY(ledger.recordOutcome(planned.id, LedgerOutcome::Unknown).ok());
                open << planned.id;
            } else {
                open << planned.id;  // never answered: the program stopped
            }
        } else if (action < 8 && !open.isEmpty()) {
            const qint64 id = open.takeAt(random.bounded(open.size()));
            const QString outcome = QStringList{LedgerOutcome::Applied, LedgerOutcome::NotApplied,
                                                LedgerOutcome::Undetermined,
                                                LedgerOutcome::Abandoned}.at(random.bounded(4));
            QVERIFY(ledger.recordSettlement(id, outcome).ok());
            const std::optional<LedgerEntry> row = ledger.entry(id);
            if (outcome == LedgerOutcome::Applied)
                (row->kind == LedgerKind::Debit ? debits : credits) += row->amountCents;
            undetermined += outcome == LedgerOutcome::Undetermined ? 1 : 0;
        } else if (action == 8) {
            QVERIFY(ledger.recordMaintenance(LedgerKind::BlackList, LedgerOutcome::Failed, QString()).ok());
        } else {
            QVERIFY(LedgerClosingRecord(ledger, LedgerClosingPrepare(ledger)).ok());
        }
    }
    const LedgerTotals totals = ledger.totals(LedgerFilter());
    QVERIFY2(totals.creditsCents == credits, context);
    QVERIFY2(totals.debitsCents == debits, context);
    QVERIFY2(totals.count == count, context);
    QVERIFY2(totals.unknown == open.size() + undetermined, context);
    QList<qint64> unsettled;
    for (const LedgerEntry &row : ledger.unsettled())
        unsettled << row.seq;
    std::sort(open.begin(), open.end());
    QVERIFY2(unsettled == open, context);
    QVERIFY2(ledger.verify().ok, context);
}

void TestLedger::closingCoversItsPeriodOnce()
{
    Ledger ledger(m_path);
    ledger.setContext({QStringLiteral("Alice"), {}, {}, {}});
    QVERIFY(ledger.open());
    const qint64 first = ledger.recordPlanned(Money(LedgerKind::Credit, 1000)).id;
    QVERIFY(ledger.recordOutcome(first, LedgerOutcome::Done, 2500).ok());
    ledger.setContext({QStringLiteral("Bob"), {}, {}, {}});
    const qint64 second = ledger.recordPlanned(Money(LedgerKind::Debit, 300)).id;
    QVERIFY(ledger.recordOutcome(second, LedgerOutcome::Unknown).ok());

    LedgerClosingSummary summary = LedgerClosingPrepare(ledger);
    QCOMPARE(summary.operations.size(), 2);
    QCOMPARE(summary.totals.creditsCents, 1000);
    QCOMPARE(summary.totals.debitsCents, 0);
    QCOMPARE(summary.unsettled, 1);
    QCOMPARE(summary.byOperator.size(), 2);
    QCOMPARE(summary.byOperator.first().name, QStringLiteral("Alice"));
    const LedgerResult closed = LedgerClosingRecord(ledger, summary);
    QVERIFY(closed.ok());
    QVERIFY(summary.detail().contains("\"credits\":\"10.00\""));

    // An operation settled in the next shift: its money counts there,
    // where it became known; the operation itself stays in its own shift.
    QVERIFY(ledger.recordSettlement(second, LedgerOutcome::Applied, 2200).ok());
    const qint64 third = ledger.recordPlanned(Money(LedgerKind::Debit, 50)).id;
    QVERIFY(ledger.recordOutcome(third, LedgerOutcome::Done, 2150).ok());
    summary = LedgerClosingPrepare(ledger);
    QCOMPARE(summary.afterSeq, closed.id - 1);
    QCOMPARE(summary.operations.size(), 1);
    QCOMPARE(summary.settledEarlier.size(), 1);
    QCOMPARE(summary.totals.debitsCents, 350);
    QCOMPARE(summary.unsettled, 0);
    QVERIFY(LedgerClosingRecord(ledger, summary).ok());
    QCOMPARE(ledger.closings().size(), 2);
    QVERIFY(LedgerClosingPdfPath(ledger.closings().first()).endsWith(
        QStringLiteral("-%1.pdf").arg(ledger.closings().first().seq)));
}

void TestLedger::csvKeepsBlacklistConventions()
{
    LedgerEntry row;
    row.seq = 7;
    row.at = QDateTime::currentDateTimeUtc();
    row.event = LedgerEvent::Operation;
    row.kind = LedgerKind::Credit;
    row.amountCents = 1250;
    row.operatorName = QStringLiteral("=HYPERLINK(\"x\")");
    row.detail = QStringLiteral("ligne 1\nligne 2; fin");
    const QByteArray csv = LedgerCsvContent({row});
    QVERIFY(csv.startsWith("\xEF\xBB\xBF" "N°;Date;"));
    QVERIFY(csv.contains("\r\n7;"));
    QVERIFY(csv.contains(";12,50;"));
    QVERIFY(csv.contains(";\"'=HYPERLINK(\"\"x\"\")\";"));
    QVERIFY(csv.contains(";\"ligne 1\nligne 2; fin\";"));
    const QByteArray json = LedgerJsonLines({row, row});
    QCOMPARE(json.count('\n'), 2);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(WriterVariable))
        return WriterMain(qEnvironmentVariable(WriterVariable));
    TestLedger test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ledger.moc"
