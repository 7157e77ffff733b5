#include "util/amount.h"

#include <QCoreApplication>

namespace {

QString Refused(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool IsBlank(QChar c)
{
    // Typed or pasted from a spreadsheet: plain, no-break and narrow no-break.
    return c == QLatin1Char(' ') || c == QChar(0x00A0) || c == QChar(0x202F);
}

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Whole part with optional blanks between thousands: "1 000" yes, "10 00" no.
bool ThousandsWellPlaced(const QString &whole)
{
    const QStringList groups = whole.split(QLatin1Char(' '));
    if (groups.size() == 1)
        return true;
    if (groups.first().isEmpty() || groups.first().size() > 3)
        return false;
    for (int i = 1; i < groups.size(); ++i)
        if (groups.at(i).size() != 3)
            return false;
    return true;
}

} // namespace

AmountReading AmountRead(const QString &typed, AmountZero zero)
{
    AmountReading reading;
    QString text = typed.trimmed();
    for (QChar &c : text)
        if (IsBlank(c))
            c = QLatin1Char(' ');
    if (text.isEmpty()) {
        reading.refusal = Refused("Montant vide");
        return reading;
    }
    if (text.startsWith(QLatin1Char('-'))) {
        reading.refusal = Refused("Montant négatif refusé");
        return reading;
    }
    int separator = -1;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(',') || c == QLatin1Char('.')) {
            if (separator >= 0) {
                reading.refusal = Refused("Un seul séparateur décimal (« , » ou « . »)");
                return reading;
            }
            separator = i;
        } else if (!IsDigit(c) && c != QLatin1Char(' ')) {
            reading.refusal = Refused("Caractère non permis : « %1 »").arg(c);
            return reading;
        }
    }
    const QString whole = separator < 0 ? text : text.left(separator).trimmed();
    const QString decimals = separator < 0 ? QString() : text.mid(separator + 1).trimmed();
    if (whole.isEmpty()) {
        reading.refusal = Refused("Chiffre attendu avant la virgule");
        return reading;
    }
    if (decimals.contains(QLatin1Char(' ')) || !ThousandsWellPlaced(whole)) {
        reading.refusal = Refused("Espace mal placé : seulement entre les milliers");
        return reading;
    }
    if (decimals.size() > 2) {
        reading.refusal = Refused("Deux décimales au plus");
        return reading;
    }

    qint64 cents = 0;
    for (const QChar c : whole) {
        if (c == QLatin1Char(' '))
            continue;
        cents = cents * 10 + (c.unicode() - '0');
        if (cents * 100 > AmountMaxCents) {
            reading.refusal = Refused("Montant trop grand (21 474 836,47 au plus)");
            return reading;
        }
    }
    // "0,5" is fifty hundredths: the decimals are read as a fraction.
    const QString hundredths = (decimals + QStringLiteral("00")).left(2);
    cents = cents * 100 + hundredths.toInt();
    if (cents > AmountMaxCents) {
        reading.refusal = Refused("Montant trop grand (21 474 836,47 au plus)");
        return reading;
    }
    if (cents == 0 && zero == AmountZero::Refused) {
        reading.refusal = Refused("Montant nul");
        return reading;
    }
    reading.ok = true;
    reading.cents = cents;
    return reading;
}
