#ifndef PORTLIST_H
#define PORTLIST_H

#include <QHash>
#include <QList>
#include <QStringList>

// Port names for the port choice: the preferred one first (when given),
// then the enumerated ones in enumeration order, without repeating it.
QStringList PortListMerge(const QString &preferred, const QStringList &enumerated);
QStringList SerialPortNames(const QString &preferred);

// An enumerated port as the system describes it.
struct SerialPortEntry {
    QString name;
    QString description;
    QString manufacturer;
};
QList<SerialPortEntry> SerialPortEntries();

// Tooltip of a port in the list: its description and maker, the known ones.
QString PortToolTip(const QString &description, const QString &manufacturer);
// Tooltips of the enumerated ports, by port name.
QHash<QString, QString> SerialPortToolTips();

// The port saved at the last run is opened at start only when the system
// lists it as a serial port (by name or device path). A path that merely
// still exists may now be another device, or a reused pseudo-terminal.
bool SavedPortUsable(const QString &saved, const QStringList &enumerated);
// Names and device paths of the serial ports the system lists.
QStringList SerialPortNamesAndLocations();

#endif
