#include "core/portlist.h"

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
constexpr int SettleMs = 500;
constexpr int LookMs = 1500;

struct SerialPortSource {
    SerialPortLister lister;
    QString folder;
};

SerialPortSource &Source()
{
    static SerialPortSource source;
    return source;
}

QList<SerialPortEntry> SystemPortEntries()
{
    QList<SerialPortEntry> entries;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        entries.append({info.portName(), info.description().trimmed(), info.manufacturer().trimmed(),
                        info.systemLocation()});
    return entries;
}
}

void SerialPortSourceUse(const SerialPortLister &lister, const QString &folder)
{
    Source() = {lister, folder};
}

QString SerialPortFolder()
{
    return Source().lister ? Source().folder : QStringLiteral("/dev");
}

QList<SerialPortEntry> SerialPortEntries()
{
    return Source().lister ? Source().lister() : SystemPortEntries();
}

QStringList SerialPortNames(const QString &preferred)
{
    QStringList enumerated;
    for (const SerialPortEntry &entry : SerialPortEntries())
        enumerated << entry.name;
    return PortListMerge(preferred, enumerated);
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

bool SavedPortUsable(const QString &saved, const QStringList &enumerated)
{
    return !saved.isEmpty() && enumerated.contains(saved);
}

QStringList SerialPortNamesAndLocations()
{
    QStringList names;
    for (const SerialPortEntry &entry : SerialPortEntries())
        names << entry.name << entry.location;
    return names;
}

SerialPortWatch::SerialPortWatch(QObject *parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &SerialPortWatch::maybeChanged);
    if (m_watcher.addPath(SerialPortFolder())) {
        // Not restarted by each change: a busy folder still gets its look.
        connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
            if (!m_settle.isActive())
                m_settle.start();
        });
        return;
    }
    m_look.setInterval(LookMs);
    connect(&m_look, &QTimer::timeout, this, &SerialPortWatch::maybeChanged);
    m_look.start();
}
