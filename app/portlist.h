#ifndef PORTLIST_H
#define PORTLIST_H

#include <QStringList>

// Port names for the port choice: the preferred one first (when given),
// then the enumerated ones in enumeration order, without repeating it.
QStringList PortListMerge(const QString &preferred, const QStringList &enumerated);
QStringList SerialPortNames(const QString &preferred);

#endif
