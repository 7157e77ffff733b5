#ifndef SIMCONFIG_H
#define SIMCONFIG_H

#include "sim/simmodule.h"

// The reader's parameters: 'V','G' reads one, 'V','P' writes one (pending
// until its object is committed) or runs a command identifier.
class SimConfig
{
public:
    SimConfig();
    // notices receives what an operator of the simulator should see.
    SimAnswer handle(char c2, const QString &payload, QStringList *notices);
    // Control lines of this part; false when the command is not its own.
    bool control(const QString &command, const QString &argument, QString *reply);
    static QString controlHelp();
};

#endif
