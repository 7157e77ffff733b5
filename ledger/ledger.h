#ifndef LEDGER_H
#define LEDGER_H

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QVariantList>

#include "ledger/ledgerentry.h"

class QSqlDatabase;
class QSqlRecord;

// The operator's record of every money operation and every reader write:
// one SQLite file shared by the window and any number of kovrim-cli
// processes. Rows are only ever appended, each chained to the previous one
// by a SHA-256, so that a row changed or removed afterwards shows.
// A money operation is written, and committed, before its command goes out:
// when it cannot be, the caller sends nothing.
class Ledger
{
public:
    // The schema this build writes (PRAGMA user_version).
    static constexpr int SchemaVersion = 2;

    explicit Ledger(const QString &path);
    ~Ledger();
    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;

    // kovrim.sqlite in the operator's folder.
    static QString DefaultPath();
    // The setting's name, or the login name when it is empty.
    static QString OperatorName(const QString &setting);

    void setContext(const LedgerContext &context) { m_context = context; }
    const LedgerContext &context() const { return m_context; }
    void setBusyTimeoutMs(int ms) { m_busyTimeoutMs = ms; }

    // Opens (and creates, or migrates) the file. A file that is not a
    // database, or a damaged one, is renamed aside (setAsidePath()) and a
    // new one started. False with error() when nothing can be written.
    bool open();
    bool isOpen() const { return m_open; }
    void close();
    QString path() const { return m_path; }
    QString error() const { return m_error; }
    QString setAsidePath() const { return m_setAside; }

    LedgerResult recordPlanned(const LedgerMoneyOperation &operation);
    // What the reader answered: Done (balanceAfter from the re-read),
    // Refused (detail: the reader's text) or Unknown.
    LedgerResult recordOutcome(qint64 operationId, const QString &outcome,
                               std::optional<qint64> balanceAfterCents = std::nullopt,
                               const QString &detail = QString());
    // How an unknown outcome was settled: Applied, NotApplied,
    // Undetermined (balanceRead: what the badge held), or Abandoned
    // (detail: the operator's reason).
    LedgerResult recordSettlement(qint64 operationId, const QString &outcome,
                                  std::optional<qint64> balanceReadCents = std::nullopt,
                                  const QString &detail = QString());
    LedgerResult recordMaintenance(const QString &kind, const QString &outcome,
                                   const QString &detail, const QString &uid = QString());
    // A shift closing of the rows up to lastCoveredSeq; detail holds its
    // totals (ledger/ledgerclosing.h).
    LedgerResult recordClosing(qint64 lastCoveredSeq, const QString &detail);

    // Money operations with no known outcome and no settlement, oldest first.
    QList<LedgerEntry> unsettled();
    QList<LedgerEntry> entries(const LedgerFilter &filter, int limit = -1);
    LedgerTotals totals(const LedgerFilter &filter);
    QList<LedgerEntry> closings();
    std::optional<LedgerEntry> entry(qint64 seq);
    qint64 lastClosingSeq();
    LedgerVerification verify();

    // For a view over the file: the SQL of the rows a filter keeps (newest
    // first), with its bound values in order.
    static QString SelectSql(const LedgerFilter &filter, QVariantList *binds);
    QSqlDatabase database() const;
    // A row of SelectSql's result.
    static LedgerEntry FromRecord(const QSqlRecord &record);
    // The operators named in the ledger, in alphabetical order.
    QStringList operators();

    // The SHA-256 (hex) of a row chained to the previous row's.
    static QByteArray RowHash(const QByteArray &previousHash, const LedgerEntry &entry);

private:
    bool openFile();
    bool setAside(const QString &why);
    bool versionCheck();
    bool configure();
    bool migrate();
    LedgerResult append(LedgerEntry entry);
    bool exec(const QString &sql);
    LedgerEntry base(const QString &event, const QString &kind) const;
    LedgerResult follow(const QString &event, qint64 operationId, const QString &outcome,
                        std::optional<qint64> balanceAfterCents, const QString &detail);
    std::optional<LedgerEntry> operationRow(qint64 seq, QString *error);

    QString m_path;
    QString m_connection;
    LedgerContext m_context;
    int m_busyTimeoutMs = 3000;
    bool m_open = false;
    QString m_error;
    QString m_setAside;
};

#endif
