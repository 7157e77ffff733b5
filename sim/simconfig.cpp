#include "sim/simconfig.h"

// To be built: the parameter store.

SimConfig::SimConfig() = default;

SimAnswer SimConfig::handle(char, const QString &, QStringList *)
{
    return SimAnswer();
}

bool SimConfig::control(const QString &, const QString &, QString *)
{
    return false;
}

QString SimConfig::controlHelp()
{
    return QString();
}
