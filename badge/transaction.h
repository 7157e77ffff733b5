#ifndef TRANSACTION_H
#define TRANSACTION_H

#include <QString>

enum class TransactionType { Credit = 1, Debit = 2 };

// "Cnt=<counter>;Trt=<type>;Tra=<cents>"
QString TransactionPayload(const QString &counter, TransactionType type, quint32 cents);

#endif
