#include "sim/simlistfile.h"

// To be built: list file 5.

SimListFile::SimListFile() = default;

SimAnswer SimListFile::handle(char, const QString &, QStringList *)
{
    return SimAnswer();
}

bool SimListFile::control(const QString &, const QString &, QString *)
{
    return false;
}

QString SimListFile::controlHelp()
{
    return QString();
}
