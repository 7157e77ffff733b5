#include "sim/simcard.h"

// To be built: card memory.

SimCard::SimCard() = default;

SimAnswer SimCard::handle(char, char, const QString &, const QString &, QStringList *)
{
    return SimAnswer();
}

bool SimCard::control(const QString &, const QString &, const QString &, QString *)
{
    return false;
}

QString SimCard::controlHelp()
{
    return QString();
}
