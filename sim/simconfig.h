#ifndef SIMCONFIG_H
#define SIMCONFIG_H

#include <QHash>
#include <QSet>
#include <QStringList>

#include "sim/simmodule.h"

// The reader's parameters: 'V','G' reads one, 'V','P' writes one (pending
// until its object is committed with "N.255.1=") or runs a command
// identifier (clock, output tests).
class SimConfig
{
public:
    SimConfig();
    // notices receives what an operator of the simulator should see.
    SimAnswer handle(char c2, const QString &payload, QStringList *notices);
    // Control lines of this part; false when the command is not its own.
    bool control(const QString &command, const QString &argument, QString *reply);
    static QString controlHelp();

    QStringList identifiers() const { return m_order; }
    bool has(const QString &identifier) const { return m_values.contains(identifier); }
    // The committed value; the working value (what a read answers) is the
    // pending one while a write waits for its commit.
    QString value(const QString &identifier) const { return m_values.value(identifier); }
    QString workingValue(const QString &identifier) const;
    bool isPending(const QString &identifier) const { return m_pending.contains(identifier); }
    void setValue(const QString &identifier, const QString &value);
    void refuseReads(const QString &identifier, bool refuse);
    void refuseWrites(const QString &identifier, bool refuse);
    // The reader's clock this many minutes ahead of the PC's (behind when
    // negative), until the next date or time it is given.
    void setClockDrift(int minutes) { m_clockOffsetMs = qint64(minutes) * 60000; }
    // The last value received for a command identifier ("12.255.8", ...).
    QString lastCommand(const QString &identifier) const { return m_commands.value(identifier); }

private:
    SimAnswer read(const QString &identifier) const;
    SimAnswer write(const QString &identifier, const QString &value, QStringList *notices);
    SimAnswer commit(const QString &object, QStringList *notices);
    SimAnswer command(const QString &identifier, const QString &value, QStringList *notices);
    QString clockValue(const QString &identifier) const;
    QString controlValue(const QString &argument);
    QString controlRefuse(const QStringList &words);
    QString controlClock(const QStringList &words);

    QStringList m_order;
    QHash<QString, QString> m_values;
    QHash<QString, QString> m_pending;
    QSet<QString> m_readsRefused;
    QSet<QString> m_writesRefused;
    QHash<QString, QString> m_commands;
    qint64 m_clockOffsetMs = 0;  // in ms: whole seconds would lose the fraction
};

#endif
