#ifndef SIMLISTFILE_H
#define SIMLISTFILE_H

#include <QStringList>

#include "sim/simmodule.h"

// The reader's list file 5 (the blacklist): 'F','C' clears it, 'F','A'
// appends an entry, 'F','G' reads one back. Entries are kept as the pairs
// Cda, UID, Usr, Grp in this order.
class SimListFile
{
public:
    static constexpr int MaxEntries = 10000;
    static constexpr int MaxEntryBytes = 256;

    SimListFile();
    SimAnswer handle(char c2, const QString &payload, QStringList *notices);
    bool control(const QString &command, const QString &argument, QString *reply);
    static QString controlHelp();

    QStringList entries() const { return m_entries; }

private:
    SimAnswer clear(const QString &payload, QStringList *notices);
    SimAnswer add(const QString &payload, QStringList *notices);
    SimAnswer get(const QString &payload) const;
    QString listing() const;

    QStringList m_entries;
};

#endif
