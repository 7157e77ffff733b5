#include "app/portlist.h"

#include <QCoreApplication>
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

namespace {
QStringList EnumeratedPorts()
{
    QStringList enumerated;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        enumerated << info.portName();
    return enumerated;
}
}

QStringList SerialPortNames(const QString &preferred)
{
    return PortListMerge(preferred, EnumeratedPorts());
}

QString PortToolTip(const QString &description, const QString &manufacturer)
{
    QStringList lines;
    if (!description.trimmed().isEmpty())
        lines << QCoreApplication::translate("MainWindow", "Description : %1").arg(description.trimmed());
    if (!manufacturer.trimmed().isEmpty())
        lines << QCoreApplication::translate("MainWindow", "Fabricant : %1").arg(manufacturer.trimmed());
    return lines.join(QLatin1Char('\n'));
}

QList<SerialPortEntry> SerialPortEntries()
{
    QList<SerialPortEntry> entries;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        entries.append({info.portName(), info.description().trimmed(), info.manufacturer().trimmed()});
    return entries;
}

QHash<QString, QString> SerialPortToolTips()
{
    QHash<QString, QString> tips;
    for (const SerialPortEntry &entry : SerialPortEntries())
        tips.insert(entry.name, PortToolTip(entry.description, entry.manufacturer));
    return tips;
}

bool SavedPortUsable(const QString &saved, const QStringList &enumerated)
{
    return !saved.isEmpty() && enumerated.contains(saved);
}

QStringList SerialPortNamesAndLocations()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName() << info.systemLocation();
    return names;
}
