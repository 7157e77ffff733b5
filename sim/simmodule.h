#ifndef SIMMODULE_H
#define SIMMODULE_H

#include <QString>
#include <QStringList>

// Status of a refused or unknown request.
constexpr char SimRefused = '1';
constexpr char SimAccepted = '0';

// What a part of the simulator answers to one request.
struct SimAnswer {
    char status = '1';   // '0' accepted, anything else refused
    QString body;
    bool silent = false; // no answer at all (time-out tests)
};

inline SimAnswer SimReply(char status, const QString &body = QString())
{
    SimAnswer answer;
    answer.status = status;
    answer.body = body;
    return answer;
}
inline SimAnswer SimAccept(const QString &body = QString()) { return SimReply(SimAccepted, body); }
inline SimAnswer SimRefuse(const QString &why = QString()) { return SimReply(SimRefused, why); }


#endif
