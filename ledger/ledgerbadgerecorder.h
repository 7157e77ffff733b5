#ifndef LEDGERBADGERECORDER_H
#define LEDGERBADGERECORDER_H

#include <QHash>
#include <QObject>

#include "badge/badgeoperation.h"

class Ledger;

// Keeps the ledger of the badge operations that move money (debit, credit,
// creation): the operation's row is written before it is sent, or it is not
// sent (the page says "Historique inaccessible : opération non envoyée"); its
// outcome and its settlement follow as rows of their own. Operations left
// unknown by an earlier run come back as pending, their badges locked.
class LedgerBadgeRecorder : public QObject
{
    Q_OBJECT
public:
    LedgerBadgeRecorder(Ledger &ledger, BadgeOperations &operations, QObject *parent = nullptr);

    // The ledger's unsettled operations, pending again; how many.
    int restore();

signals:
    // A row that could not be written after the money moved, or a change.
    void journal(const QString &text);
    void recorded();

private:
    struct Row {
        qint64 seq = 0;
        bool outcome = false;  // its outcome row is written
    };
    bool guard(const BadgeOperation &operation, QString *reason);
    void changed(const BadgeOperation &operation);
    void failed(const BadgeOperation &operation, const QString &what, const QString &error);

    Ledger &m_ledger;
    BadgeOperations &m_operations;
    QHash<quint64, Row> m_rows;  // operation id -> its ledger row
};

#endif
