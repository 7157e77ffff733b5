#ifndef LEDGERENTRY_H
#define LEDGERENTRY_H

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The words stored in the ledger's rows. They are what the operator reads
// on the page "Historique" and in the exports: French, and never changed
// once written (the chain's hashes cover them).
namespace LedgerEvent {
inline const QString Operation = QStringLiteral("opération");
inline const QString Outcome = QStringLiteral("résultat");
inline const QString Settlement = QStringLiteral("règlement");
inline const QString Maintenance = QStringLiteral("maintenance");
inline const QString Closing = QStringLiteral("clôture");
}

namespace LedgerKind {
inline const QString Debit = QStringLiteral("débit");
inline const QString Credit = QStringLiteral("crédit");
inline const QString Creation = QStringLiteral("création");
inline const QString Configuration = QStringLiteral("configuration");
inline const QString BlackList = QStringLiteral("liste noire");
inline const QString Clock = QStringLiteral("horloge");
inline const QString Format = QStringLiteral("formatage");
inline const QString Closing = QStringLiteral("clôture");
bool IsMoney(const QString &kind);
}

namespace LedgerOutcome {
// Of a money operation's answer.
inline const QString Done = QStringLiteral("fait");
inline const QString Refused = QStringLiteral("refusé");
inline const QString Unknown = QStringLiteral("inconnu");
// Recorded, then not sent after all (the link refused it): no money moved.
inline const QString NotSent = QStringLiteral("non envoyée");
// Of a settlement, once the badge was read again (or the operator gave up).
inline const QString Applied = QStringLiteral("appliquée");
inline const QString NotApplied = QStringLiteral("non appliquée");
inline const QString Undetermined = QStringLiteral("indéterminée");
inline const QString Abandoned = QStringLiteral("abandonnée");
// Of a maintenance write.
inline const QString Failed = QStringLiteral("échec");
}

// Who works where: written in every row.
struct LedgerContext {
    QString operatorName;
    QString pcName;
    QString port;
    QString reader;  // the reader's site code and hardware id, when known
};

// A debit, credit or creation as planned, before its command is sent.
struct LedgerMoneyOperation {
    QString kind;  // LedgerKind::Debit, Credit or Creation
    QString uid;
    QString user;
    QString group;
    QString counter;
    qint64 amountCents = 0;
    std::optional<qint64> balanceBeforeCents;
};

// One row as stored, with, for an operation row, where it stands now
// (the outcome of the last row referring to it).
struct LedgerEntry {
    qint64 seq = 0;
    qint64 ref = 0;  // the operation row an outcome or a settlement refers to
    QDateTime at;    // UTC
    QString event;
    QString kind;
    QString operatorName;
    QString pcName;
    QString port;
    QString reader;
    QString uid;
    QString user;
    QString group;
    QString counter;
    qint64 amountCents = 0;
    std::optional<qint64> balanceBeforeCents;
    std::optional<qint64> balanceAfterCents;
    QString outcome;
    QString detail;
    QString status;  // operation rows: the current outcome; others: their own
    QByteArray hash;
};

// What the page and the exports show. Empty members do not filter; the
// dates are the operator's local days, both included.
struct LedgerFilter {
    QDate from;
    QDate to;
    QString badge;  // part of a UID or a user number
    QString kind;
    QString outcome;  // an operation's current outcome, or a row's own
    QString operatorName;
    qint64 afterSeq = 0;  // rows after this one only (a closing's period)
};

// The money of the operations a filter keeps.
struct LedgerTotals {
    qint64 creditsCents = 0;  // credits and creations done or applied
    qint64 debitsCents = 0;   // debits done or applied
    int count = 0;            // money operations
    int unknown = 0;          // outcome not known (unsettled or undetermined)
    qint64 netCents() const { return creditsCents - debitsCents; }
};

// A result of a write: the new row's number, or why nothing was written.
struct LedgerResult {
    qint64 id = 0;
    QString error;
    bool ok() const { return error.isEmpty(); }
};

struct LedgerVerification {
    bool ok = true;
    qint64 rows = 0;
    qint64 badSeq = 0;  // the first row that does not fit
    QString reason;
};

// "12.50" from 1250 cents (the balances' form in the journal and the reader).
QString LedgerAmountText(qint64 cents);

#endif
