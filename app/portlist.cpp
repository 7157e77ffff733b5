#include "app/portlist.h"

#include <QSerialPortInfo>

QStringList PortListMerge(const QString &preferred, const QStringList &enumerated)
{
    QStringList names;
    if (!preferred.isEmpty())
        names << preferred;
    for (const QString &name : enumerated)
        if (name != preferred)
            names << name;
    return names;
}

QStringList SerialPortNames(const QString &preferred)
{
    QStringList enumerated;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        enumerated << info.portName();
    return PortListMerge(preferred, enumerated);
}
