#ifndef SIMCARD_H
#define SIMCARD_H

#include "sim/simmodule.h"

// The memory of the badges (MIFARE Classic 1K): raw block access with the
// 'R' family and the format 'B','F'. badge names the badge on the reader,
// empty when there is none.
class SimCard
{
public:
    SimCard();
    SimAnswer handle(char c1, char c2, const QString &payload, const QString &badge,
                     QStringList *notices);
    bool control(const QString &command, const QString &argument, const QString &badge,
                 QString *reply);
    static QString controlHelp();
};

#endif
