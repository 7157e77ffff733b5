#ifndef SIMMODULE_H
#define SIMMODULE_H

#include <QString>
#include <QStringList>

// What a part of the simulator answers to one request.
struct SimAnswer {
    char status = '1';   // '0' accepted, anything else refused
    QString body;
    bool silent = false; // no answer at all (time-out tests)
};

// Status of a refused or unknown request.
constexpr char SimRefused = '1';
constexpr char SimAccepted = '0';

#endif
