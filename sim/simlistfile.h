#ifndef SIMLISTFILE_H
#define SIMLISTFILE_H

#include "sim/simmodule.h"

// The reader's list file 5 (the blacklist): 'F','C' clears it, 'F','A'
// appends an entry, 'F','G' reads one back.
class SimListFile
{
public:
    SimListFile();
    SimAnswer handle(char c2, const QString &payload, QStringList *notices);
    bool control(const QString &command, const QString &argument, QString *reply);
    static QString controlHelp();
};

#endif
