#include "ledger/ledger.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QThread>
#include <QVariant>

#include <pwd.h>
#include <unistd.h>

#include "core/appsettings.h"

namespace {
const QString FileName = QStringLiteral("kovrim.sqlite");
const QString Damaged = QStringLiteral("historique endommagé");
const QString TimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ");
// A reason or a detail longer than this is cut: a reader's text or a
// hand-typed reason never grows the file without end.
constexpr int DetailMaxChars = 4000;

// The columns in stored order, after seq.
const char *const Columns =
    "seq, ref, at, event, kind, operator, pc, port, reader, uid, user, grp, counter, "
    "amount, balance_before, balance_after, outcome, detail, prev_hash, hash";

// Where an operation stands: the outcome of the last row referring to it;
// none yet (sent and never answered, or the program stopped) is unknown.
// (Looked up row by row through the index on ref: quicker than one
// grouped pass over all outcomes.)
const char *const StatusSql =
    "CASE WHEN e.event = 'opération' THEN COALESCE((SELECT r.outcome FROM entries r "
    "WHERE r.ref = e.seq AND r.event IN ('résultat', 'règlement') ORDER BY r.seq DESC LIMIT 1), 'inconnu') "
    "ELSE e.outcome END";

// Each version's step from the one before, in order: a file of version N
// runs the steps N+1 .. SchemaVersion.
const QList<QStringList> &Migrations()
{
    static const QList<QStringList> steps = {
        // 1: the rows.
        {"CREATE TABLE entries (seq INTEGER PRIMARY KEY, ref INTEGER NOT NULL, at TEXT NOT NULL, "
         "event TEXT NOT NULL, kind TEXT NOT NULL, operator TEXT NOT NULL, pc TEXT NOT NULL, "
         "port TEXT NOT NULL, reader TEXT NOT NULL, uid TEXT NOT NULL, user TEXT NOT NULL, "
         "grp TEXT NOT NULL, counter TEXT NOT NULL, amount INTEGER NOT NULL, balance_before INTEGER, "
         "balance_after INTEGER, outcome TEXT NOT NULL, detail TEXT NOT NULL, "
         "prev_hash TEXT NOT NULL, hash TEXT NOT NULL)"},
        // 2: the page's searches stay quick on a year of rows, and the file
        // itself refuses to change or lose a row.
        // (ref, seq, event, outcome): an operation's last outcome is read
        // from the index alone.
        {"CREATE INDEX entries_ref ON entries (ref, seq, event, outcome)",
         "CREATE INDEX entries_at ON entries (at)",
         "CREATE INDEX entries_uid ON entries (uid)",
         "CREATE TRIGGER entries_no_update BEFORE UPDATE ON entries "
         "BEGIN SELECT RAISE(ABORT, 'historique en ajout seul'); END",
         "CREATE TRIGGER entries_no_delete BEFORE DELETE ON entries "
         "BEGIN SELECT RAISE(ABORT, 'historique en ajout seul'); END"},
    };
    return steps;
}

QString NewConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("kovrim-ledger-%1").arg(counter.fetchAndAddRelaxed(1));
}

// The primary SQLite result code of an error.
int SqliteCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : -1;
}

bool IsDamage(const QSqlError &error)
{
    const int code = SqliteCode(error);
    return code == 11 || code == 26;  // SQLITE_CORRUPT, SQLITE_NOTADB
}

// The reason in the operator's words.
QString ReasonOf(const QSqlError &error)
{
    switch (SqliteCode(error)) {
    case 5:
    case 6:
        return QStringLiteral("historique verrouillé par un autre programme");
    case 8:
        return QStringLiteral("historique en lecture seule");
    case 10:
        return QStringLiteral("erreur d'écriture sur le disque");
    case 11:
    case 26:
        return Damaged;
    case 13:
        return QStringLiteral("disque plein");
    case 14:
        return QStringLiteral("fichier impossible à ouvrir ou à créer");
    default:
        break;
    }
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("erreur inconnue") : text;
}

// An empty text is stored as such, never as NULL.
QVariant Text(const QString &text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

// The stored time ("2026-12-08T14:25:03.120Z"), read and written without
// the time zone database: a year of rows is read in a moment.
QDateTime TimeOf(const QString &text)
{
    if (text.size() != 24)
        return QDateTime::fromString(text, TimeFormat);
    const auto field = [&text](int from, int size) { return text.midRef(from, size).toInt(); };
    return QDateTime(QDate(field(0, 4), field(5, 2), field(8, 2)),
                     QTime(field(11, 2), field(14, 2), field(17, 2), field(20, 3)), Qt::UTC);
}

QString TimeText(const QDateTime &when)
{
    const QDateTime utc = when.timeSpec() == Qt::UTC ? when : when.toUTC();
    const QDate day = utc.date();
    const QTime time = utc.time();
    return QStringLiteral("%1-%2-%3T%4:%5:%6.%7Z")
        .arg(day.year(), 4, 10, QLatin1Char('0'))
        .arg(day.month(), 2, 10, QLatin1Char('0'))
        .arg(day.day(), 2, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'))
        .arg(time.msec(), 3, 10, QLatin1Char('0'));
}

QVariant Optional(const std::optional<qint64> &value)
{
    return value ? QVariant(*value) : QVariant(QVariant::LongLong);
}

std::optional<qint64> OptionalOf(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toLongLong();
}

QString OptionalText(const std::optional<qint64> &value)
{
    return value ? QString::number(*value) : QString();
}

QString Bounded(const QString &text)
{
    return text.left(DetailMaxChars);
}

// The row of a query (or a record) made of Columns (then, optionally,
// the status).
template <class Row>
LedgerEntry EntryOf(const Row &query, bool withStatus)
{
    LedgerEntry entry;
    entry.seq = query.value(0).toLongLong();
    entry.ref = query.value(1).toLongLong();
    entry.at = TimeOf(query.value(2).toString());
    entry.event = query.value(3).toString();
    entry.kind = query.value(4).toString();
    entry.operatorName = query.value(5).toString();
    entry.pcName = query.value(6).toString();
    entry.port = query.value(7).toString();
    entry.reader = query.value(8).toString();
    entry.uid = query.value(9).toString();
    entry.user = query.value(10).toString();
    entry.group = query.value(11).toString();
    entry.counter = query.value(12).toString();
    entry.amountCents = query.value(13).toLongLong();
    entry.balanceBeforeCents = OptionalOf(query.value(14));
    entry.balanceAfterCents = OptionalOf(query.value(15));
    entry.outcome = query.value(16).toString();
    entry.detail = query.value(17).toString();
    entry.hash = query.value(19).toByteArray();
    entry.status = withStatus ? query.value(20).toString() : entry.outcome;
    return entry;
}

QString Where(const LedgerFilter &filter, QVariantList *binds, bool operationsOnly)
{
    QStringList terms;
    if (operationsOnly)
        terms << QStringLiteral("e.event = 'opération'");
    if (filter.from.isValid()) {
        terms << QStringLiteral("e.at >= ?");
        *binds << QDateTime(filter.from, QTime(0, 0)).toUTC().toString(TimeFormat);
    }
    if (filter.to.isValid()) {
        terms << QStringLiteral("e.at < ?");
        *binds << QDateTime(filter.to.addDays(1), QTime(0, 0)).toUTC().toString(TimeFormat);
    }
    if (!filter.badge.trimmed().isEmpty()) {
        terms << QStringLiteral("(instr(upper(e.uid), upper(?)) > 0 OR e.user = ?)");
        *binds << filter.badge.trimmed() << filter.badge.trimmed();
    }
    if (!filter.kind.isEmpty()) {
        terms << QStringLiteral("e.kind = ?");
        *binds << filter.kind;
    }
    if (!filter.operatorName.isEmpty()) {
        terms << QStringLiteral("e.operator = ?");
        *binds << filter.operatorName;
    }
    if (filter.afterSeq > 0) {
        terms << QStringLiteral("e.seq > ?");
        *binds << filter.afterSeq;
    }
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

// The rows a filter keeps, each with its status, newest first.
// For a view, the status is computed only for the rows fetched (the
// query is flattened and read newest first through the primary key); for
// totals, once per row ("LIMIT -1 OFFSET 0" keeps SQLite from copying the
// status expression into each place it is used).
QString Select(const LedgerFilter &filter, QVariantList *binds, bool forTotals)
{
    QString sql = QStringLiteral("SELECT * FROM (SELECT e.%1, %2 AS status FROM entries e%3%4)")
                      .arg(QString::fromLatin1(Columns).replace(QStringLiteral(", "), QStringLiteral(", e.")),
                           QString::fromUtf8(StatusSql), Where(filter, binds, forTotals),
                           forTotals ? QStringLiteral(" LIMIT -1 OFFSET 0") : QString());
    if (!filter.outcome.isEmpty()) {
        sql += QStringLiteral(" WHERE status = ?");
        *binds << filter.outcome;
    }
    return forTotals ? sql : sql + QStringLiteral(" ORDER BY seq DESC");
}

bool Prepared(QSqlQuery &query, const QString &sql, const QVariantList &binds)
{
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return false;
    for (const QVariant &value : binds)
        query.addBindValue(value);
    return query.exec();
}
}

bool LedgerKind::IsMoney(const QString &kind)
{
    return kind == Debit || kind == Credit || kind == Creation;
}

QString LedgerAmountText(qint64 cents)
{
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    const qint64 magnitude = cents < 0 ? -cents : cents;
    return QStringLiteral("%1%2.%3").arg(sign).arg(magnitude / 100).arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

Ledger::Ledger(const QString &path) : m_path(path), m_connection(NewConnectionName())
{
}

Ledger::~Ledger()
{
    close();
}

QString Ledger::DefaultPath()
{
    return QDir(OperatorFolder()).filePath(FileName);
}

QString Ledger::OperatorName(const QString &setting)
{
    const QString named = setting.trimmed();
    if (!named.isEmpty())
        return named;
    for (const char *variable : {"USER", "LOGNAME", "USERNAME"}) {
        const QString login = qEnvironmentVariable(variable).trimmed();
        if (!login.isEmpty())
            return login;
    }
    // A service or a root shell may set none of them: the account's name.
    if (const passwd *account = getpwuid(geteuid()))
        return QString::fromLocal8Bit(account->pw_name);
    return QStringLiteral("inconnu");
}

QSqlDatabase Ledger::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

void Ledger::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
}

bool Ledger::exec(const QString &sql)
{
    QSqlQuery query(database());
    if (query.exec(sql))
        return true;
    m_error = ReasonOf(query.lastError());
    if (IsDamage(query.lastError()))
        m_error = Damaged;
    return false;
}

bool Ledger::open()
{
    close();
    m_error.clear();
    m_setAside.clear();
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        m_error = QStringLiteral("dossier %1 impossible à créer").arg(info.absolutePath());
        return false;
    }
    // A file that is not a database is refused by SQLite at the first
    // read (SQLITE_NOTADB), before anything is written, and set aside
    // below. It is never opened here by hand: closing any other descriptor
    // of the file drops every lock this process holds on it, and another
    // process would then take the live journal for an orphan and delete it.
    if (openFile())
        return true;
    if (m_error != Damaged)
        return false;
    close();
    if (!setAside(m_error))
        return false;
    const QString aside = m_setAside;
    const bool opened = openFile();
    m_setAside = aside;
    return opened;
}

bool Ledger::openFile()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
    if (!db.open()) {
        m_error = ReasonOf(db.lastError());
        return false;
    }
    // A newer program's file is left as it is: not even its journal mode
    // changes.
    if (!versionCheck() || !configure() || !migrate())
        return false;
    m_open = true;
    return true;
}

bool Ledger::versionCheck()
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        m_error = IsDamage(query.lastError()) ? Damaged : ReasonOf(query.lastError());
        return false;
    }
    const int version = query.value(0).toInt();
    if (version > SchemaVersion) {
        m_error = QStringLiteral("historique d'une version plus récente du programme (schéma %1)").arg(version);
        return false;
    }
    return true;
}

bool Ledger::configure()
{
    QSqlQuery query(database());
    // WAL: the window reads while a kovrim-cli process writes; FULL: a
    // row committed is on the disk before the command goes out. Two
    // processes starting on a new file both ask for WAL: SQLite answers
    // "busy" at once rather than waiting, so the request is tried again.
    QElapsedTimer waited;
    waited.start();
    while (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next()) {
        const int code = SqliteCode(query.lastError());
        if ((code == 5 || code == 6) && waited.elapsed() < m_busyTimeoutMs) {
            QThread::msleep(20);
            continue;
        }
        m_error = IsDamage(query.lastError()) ? Damaged : ReasonOf(query.lastError());
        return false;
    }
    if (!exec(QStringLiteral("PRAGMA synchronous=FULL")))
        return false;
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next()) {
        m_error = IsDamage(query.lastError()) ? Damaged : ReasonOf(query.lastError());
        return false;
    }
    if (query.value(0).toString() != QLatin1String("ok")) {
        m_error = Damaged;
        return false;
    }
    return true;
}

bool Ledger::migrate()
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        m_error = ReasonOf(query.lastError());
        return false;
    }
    int version = query.value(0).toInt();
    query.finish();
    if (version == SchemaVersion)
        return true;
    // Another process may be migrating the same file: the version is read
    // again under the write lock.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        m_error = ReasonOf(query.lastError());
        exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    version = query.value(0).toInt();
    query.finish();
    for (int step = version; step < SchemaVersion; ++step) {
        for (const QString &sql : Migrations().at(step)) {
            if (!exec(sql)) {
                const QString reason = m_error;
                exec(QStringLiteral("ROLLBACK"));
                m_error = reason;
                return false;
            }
        }
    }
    if (!exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion)) || !exec(QStringLiteral("COMMIT"))) {
        const QString reason = m_error;
        exec(QStringLiteral("ROLLBACK"));
        m_error = reason;
        return false;
    }
    return true;
}

// Renamed with its journal files, never overwritten: a new file starts
// beside it, and the operator is told where the old one went.
bool Ledger::setAside(const QString &why)
{
    close();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".endommage-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = m_path + QStringLiteral(".endommage-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_path, aside)) {
        m_error = QStringLiteral("%1, et impossible à mettre de côté").arg(why);
        return false;
    }
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")})
        if (QFile::exists(m_path + suffix))
            QFile::rename(m_path + suffix, aside + suffix);
    m_setAside = aside;
    return true;
}

QByteArray Ledger::RowHash(const QByteArray &previousHash, const LedgerEntry &entry)
{
    const QStringList fields = {
        QString::number(entry.seq), QString::number(entry.ref), TimeText(entry.at),
        entry.event, entry.kind, entry.operatorName, entry.pcName, entry.port, entry.reader,
        entry.uid, entry.user, entry.group, entry.counter, QString::number(entry.amountCents),
        OptionalText(entry.balanceBeforeCents), OptionalText(entry.balanceAfterCents),
        entry.outcome, entry.detail};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(previousHash);
    hash.addData("\n", 1);
    hash.addData(fields.join(QChar(0x1f)).toUtf8());
    return hash.result().toHex();
}

LedgerEntry Ledger::base(const QString &event, const QString &kind) const
{
    LedgerEntry entry;
    entry.event = event;
    entry.kind = kind;
    entry.operatorName = m_context.operatorName;
    entry.pcName = m_context.pcName.isEmpty() ? QSysInfo::machineHostName() : m_context.pcName;
    entry.port = m_context.port;
    entry.reader = m_context.reader;
    return entry;
}

// One row, chained to the last one under the write lock: several
// processes append to the same file without losing or forking a row.
LedgerResult Ledger::append(LedgerEntry entry)
{
    LedgerResult result;
    if (!m_open && !open()) {
        result.error = m_error;
        return result;
    }
    entry.detail = Bounded(entry.detail);
    if (!exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        result.error = m_error;
        return result;
    }
    QByteArray previous;
    {
        QSqlQuery last(database());
        if (!last.exec(QStringLiteral("SELECT seq, hash FROM entries ORDER BY seq DESC LIMIT 1"))) {
            result.error = ReasonOf(last.lastError());
        } else if (last.next()) {
            entry.seq = last.value(0).toLongLong() + 1;
            previous = last.value(1).toByteArray();
        } else {
            entry.seq = 1;
        }
    }
    entry.at = QDateTime::currentDateTimeUtc();
    entry.hash = RowHash(previous, entry);
    if (result.ok()) {
        QSqlQuery insert(database());
        insert.prepare(QStringLiteral("INSERT INTO entries (%1) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
                           .arg(QLatin1String(Columns)));
        for (const QVariant &value :
             QVariantList{entry.seq, entry.ref, TimeText(entry.at), Text(entry.event), Text(entry.kind),
                          Text(entry.operatorName), Text(entry.pcName), Text(entry.port), Text(entry.reader),
                          Text(entry.uid), Text(entry.user), Text(entry.group), Text(entry.counter),
                          entry.amountCents, Optional(entry.balanceBeforeCents),
                          Optional(entry.balanceAfterCents), Text(entry.outcome), Text(entry.detail),
                          Text(QString::fromLatin1(previous)), Text(QString::fromLatin1(entry.hash))})
            insert.addBindValue(value);
        if (!insert.exec()) {
            result.error = ReasonOf(insert.lastError());
            if (IsDamage(insert.lastError()))
                m_error = Damaged;
        }
    }
    if (result.ok() && exec(QStringLiteral("COMMIT"))) {
        result.id = entry.seq;
        return result;
    }
    if (result.ok())
        result.error = m_error;
    exec(QStringLiteral("ROLLBACK"));
    // A damaged file is set aside at once, so that the next operation
    // finds a sound one.
    if (result.error == Damaged && setAside(result.error) && openFile())
        result.error = QStringLiteral("historique endommagé, mis de côté : %1").arg(m_setAside);
    return result;
}

LedgerResult Ledger::recordPlanned(const LedgerMoneyOperation &operation)
{
    LedgerEntry entry = base(LedgerEvent::Operation, operation.kind);
    if (!LedgerKind::IsMoney(operation.kind) || operation.amountCents < 0)
        return LedgerResult{0, QStringLiteral("opération inconnue")};
    entry.uid = operation.uid;
    entry.user = operation.user;
    entry.group = operation.group;
    entry.counter = operation.counter;
    entry.amountCents = operation.amountCents;
    entry.balanceBeforeCents = operation.balanceBeforeCents;
    return append(entry);
}

std::optional<LedgerEntry> Ledger::operationRow(qint64 seq, QString *error)
{
    const std::optional<LedgerEntry> row = entry(seq);
    if (!row || row->event != LedgerEvent::Operation) {
        *error = row ? QStringLiteral("la ligne %1 n'est pas une opération").arg(seq)
                     : (m_error.isEmpty() ? QStringLiteral("opération %1 introuvable").arg(seq) : m_error);
        return std::nullopt;
    }
    return row;
}

// A row that follows an operation: it repeats the operation's badge and
// amount, so that each row reads alone.
LedgerResult Ledger::follow(const QString &event, qint64 operationId, const QString &outcome,
                            std::optional<qint64> balanceAfterCents, const QString &detail)
{
    QString error;
    const std::optional<LedgerEntry> operation = operationRow(operationId, &error);
    if (!operation)
        return LedgerResult{0, error};
    LedgerEntry entry = base(event, operation->kind);
    entry.ref = operationId;
    entry.uid = operation->uid;
    entry.user = operation->user;
    entry.group = operation->group;
    entry.counter = operation->counter;
    entry.amountCents = operation->amountCents;
    entry.balanceBeforeCents = operation->balanceBeforeCents;
    entry.balanceAfterCents = balanceAfterCents;
    entry.outcome = outcome;
    entry.detail = detail;
    return append(entry);
}

LedgerResult Ledger::recordOutcome(qint64 operationId, const QString &outcome,
                                   std::optional<qint64> balanceAfterCents, const QString &detail)
{
    return follow(LedgerEvent::Outcome, operationId, outcome, balanceAfterCents, detail);
}

LedgerResult Ledger::recordSettlement(qint64 operationId, const QString &outcome,
                                      std::optional<qint64> balanceReadCents, const QString &detail)
{
    return follow(LedgerEvent::Settlement, operationId, outcome, balanceReadCents, detail);
}

LedgerResult Ledger::recordMaintenance(const QString &kind, const QString &outcome,
                                       const QString &detail, const QString &uid)
{
    LedgerEntry entry = base(LedgerEvent::Maintenance, kind);
    entry.uid = uid;
    entry.outcome = outcome;
    entry.detail = detail;
    return append(entry);
}

LedgerResult Ledger::recordClosing(qint64 lastCoveredSeq, const QString &detail)
{
    LedgerEntry entry = base(LedgerEvent::Closing, LedgerKind::Closing);
    entry.ref = lastCoveredSeq;
    entry.outcome = LedgerOutcome::Done;
    entry.detail = detail;
    return append(entry);
}

std::optional<LedgerEntry> Ledger::entry(qint64 seq)
{
    if (!m_open && !open())
        return std::nullopt;
    QSqlQuery query(database());
    if (!Prepared(query, QStringLiteral("SELECT %1 FROM entries WHERE seq = ?").arg(QLatin1String(Columns)),
                  {seq})) {
        m_error = ReasonOf(query.lastError());
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    return EntryOf(query, false);
}

LedgerEntry Ledger::FromRecord(const QSqlRecord &record)
{
    return EntryOf(record, record.count() > 20);
}

QString Ledger::SelectSql(const LedgerFilter &filter, QVariantList *binds)
{
    return Select(filter, binds, false);
}

QList<LedgerEntry> Ledger::entries(const LedgerFilter &filter, int limit)
{
    QList<LedgerEntry> rows;
    if (!m_open && !open())
        return rows;
    QVariantList binds;
    QString sql = Select(filter, &binds, false);
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT %1").arg(limit);
    QSqlQuery query(database());
    if (!Prepared(query, sql, binds)) {
        m_error = ReasonOf(query.lastError());
        return rows;
    }
    while (query.next())
        rows << EntryOf(query, true);
    return rows;
}

QList<LedgerEntry> Ledger::unsettled()
{
    LedgerFilter filter;
    filter.outcome = LedgerOutcome::Unknown;
    QList<LedgerEntry> rows;
    for (const LedgerEntry &row : entries(filter))
        if (row.event == LedgerEvent::Operation)
            rows.prepend(row);
    return rows;
}

LedgerTotals Ledger::totals(const LedgerFilter &filter)
{
    LedgerTotals totals;
    if (!m_open && !open())
        return totals;
    QVariantList binds;
    const QString sql = QStringLiteral("SELECT kind, status, COUNT(*), TOTAL(amount) FROM (%1) GROUP BY kind, status")
                            .arg(Select(filter, &binds, true));
    QSqlQuery query(database());
    if (!Prepared(query, sql, binds)) {
        m_error = ReasonOf(query.lastError());
        return totals;
    }
    while (query.next()) {
        const QString kind = query.value(0).toString();
        const QString status = query.value(1).toString();
        const int count = query.value(2).toInt();
        const qint64 cents = qint64(query.value(3).toDouble());
        totals.count += count;
        if (status == LedgerOutcome::Unknown || status == LedgerOutcome::Undetermined)
            totals.unknown += count;
        if (status != LedgerOutcome::Done && status != LedgerOutcome::Applied)
            continue;
        if (kind == LedgerKind::Debit)
            totals.debitsCents += cents;
        else
            totals.creditsCents += cents;
    }
    return totals;
}

QList<LedgerEntry> Ledger::closings()
{
    LedgerFilter filter;
    filter.kind = LedgerKind::Closing;
    return entries(filter);
}

qint64 Ledger::lastClosingSeq()
{
    const QList<LedgerEntry> last = [this] {
        LedgerFilter filter;
        filter.kind = LedgerKind::Closing;
        return entries(filter, 1);
    }();
    return last.isEmpty() ? 0 : last.first().ref;
}

LedgerVerification Ledger::verify()
{
    LedgerVerification result;
    if (!m_open && !open()) {
        result.ok = false;
        result.reason = m_error;
        return result;
    }
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM entries ORDER BY seq").arg(QLatin1String(Columns)))) {
        result.ok = false;
        result.reason = ReasonOf(query.lastError());
        return result;
    }
    QByteArray previous;
    qint64 expectedSeq = 1;
    while (query.next()) {
        const LedgerEntry row = EntryOf(query, false);
        ++result.rows;
        QString fault;
        if (row.seq != expectedSeq)
            fault = QStringLiteral("numéro attendu %1 : ligne supprimée ou insérée").arg(expectedSeq);
        else if (query.value(18).toByteArray() != previous)
            fault = QStringLiteral("chaînage rompu : la ligne précédente a changé ou manque");
        else if (RowHash(previous, row) != row.hash)
            fault = QStringLiteral("contenu modifié après son écriture");
        if (!fault.isEmpty()) {
            result.ok = false;
            result.badSeq = row.seq;
            result.reason = fault;
            return result;
        }
        previous = row.hash;
        expectedSeq = row.seq + 1;
    }
    return result;
}

QStringList Ledger::operators()
{
    QStringList names;
    if (!m_open && !open())
        return names;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("SELECT DISTINCT operator FROM entries ORDER BY operator")))
        while (query.next())
            names << query.value(0).toString();
    return names;
}
