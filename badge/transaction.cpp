#include "badge/transaction.h"

#include "badge/badgerecord.h"

QString TransactionPayload(const QString &counter, TransactionType type, quint32 cents)
{
    return QStringLiteral("Cnt=") + RecordValueSanitize(counter)
           + (type == TransactionType::Debit ? QStringLiteral(";Trt=2") : QStringLiteral(";Trt=1"))
           + QStringLiteral(";Tra=") + QString::number(cents);
}
