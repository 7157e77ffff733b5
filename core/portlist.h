#ifndef PORTLIST_H
#define PORTLIST_H

#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

// Port names for the port choice: the preferred one first (when given),
// then the enumerated ones in enumeration order, without repeating it.
QStringList PortListMerge(const QString &preferred, const QStringList &enumerated);
QStringList SerialPortNames(const QString &preferred);

// An enumerated port as the system describes it.
struct SerialPortEntry {
    QString name;
    QString description;
    QString manufacturer;
    QString location;  // device path
};
QList<SerialPortEntry> SerialPortEntries();

// Where the ports come from: the system's, listed from its device folder.
// A test gives its own list and the folder whose changes announce another.
using SerialPortLister = std::function<QList<SerialPortEntry>()>;
void SerialPortSourceUse(const SerialPortLister &lister = {}, const QString &folder = QString());
QString SerialPortFolder();

// Tooltip of a port in the list: its description and maker, the known ones.
QString PortToolTip(const QString &description, const QString &manufacturer);

// The port saved at the last run is opened at start only when the system
// lists it as a serial port (by name or device path). A path that merely
// still exists may now be another device, or a reused pseudo-terminal.
bool SavedPortUsable(const QString &saved, const QStringList &enumerated);
// Names and device paths of the serial ports the system lists.
QStringList SerialPortNamesAndLocations();

// Says when the serial ports may have changed (an adapter plugged in or
// pulled out), a moment later so that the system has described the new
// one. A watch on the device folder costs nothing between changes; where
// the folder cannot be watched, a look every 1.5 s.
class SerialPortWatch : public QObject
{
    Q_OBJECT
public:
    explicit SerialPortWatch(QObject *parent = nullptr);

signals:
    void maybeChanged();

private:
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_look;
};

#endif
