#ifndef AMOUNT_H
#define AMOUNT_H

#include <QString>
#include <limits>

// An amount as a French operator types it: "12,50", "12.50", "1 000,00".
// The decimal separator is ',' or '.', with at most two decimals; blanks
// may only separate groups of three digits. Nothing is ever rewritten: an
// amount that cannot be read exactly is refused with the reason.
struct AmountReading {
    bool ok = false;
    qint64 cents = 0;
    QString refusal;  // French, for the operator; empty when ok
};

// The largest amount a badge counter or a transaction can carry.
constexpr qint64 AmountMaxCents = std::numeric_limits<qint32>::max();

enum class AmountZero { Allowed, Refused };
AmountReading AmountRead(const QString &text, AmountZero zero = AmountZero::Allowed);

#endif
