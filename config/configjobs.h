#ifndef CONFIGJOBS_H
#define CONFIGJOBS_H

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include "config/configmodel.h"
#include "link/readerjob.h"

// Reads every parameter of the catalogue from the reader. The model takes
// the values only when the load is complete: a load that stops half way
// leaves what was shown untouched.
class ConfigLoadJob : public ReaderJob
{
    Q_OBJECT
public:
    ConfigLoadJob(ReaderSession &session, ConfigModel &model, QObject *parent = nullptr);

protected:
    QString phaseName() const override;
    int phaseTotal() const override;
    void begin() override;
    void answer(unsigned int code, const ReaderAnswer &answer) override;
    void aborted() override;

private:
    void sendRead();

    ConfigModel &m_model;
    QStringList m_order;
    int m_index = 0;
    QList<ConfigRead> m_reads;
    QElapsedTimer m_timer;
};

// Writes the model's changes in the order of their marks, then has the
// reader commit each object written. A refused or unanswered write stops
// before any commit; what was written but not committed is marked again.
class ConfigSaveJob : public ReaderJob
{
    Q_OBJECT
public:
    ConfigSaveJob(ReaderSession &session, ConfigModel &model, QObject *parent = nullptr);

    // The writes of the last run that the reader accepted, in order.
    const QList<ConfigChange> &written() const { return m_written; }
    // Objects the reader committed in the last run.
    const QStringList &committed() const { return m_committed; }

protected:
    QString phaseName() const override;
    int phaseTotal() const override;
    bool prepare() override;
    void begin() override;
    void answer(unsigned int code, const ReaderAnswer &answer) override;
    void aborted() override;

private:
    void sendWrite();
    void sendCommit();
    void writeAnswered(const ReaderAnswer &answer);
    void commitAnswered(const ReaderAnswer &answer);
    void failed(JobOutcome outcome);
    void markUncommittedAgain();

    ConfigModel &m_model;
    QList<ConfigChange> m_changes;
    int m_index = 0;
    QList<ConfigChange> m_written;
    QStringList m_objects;
    QStringList m_committed;
    int m_objectIndex = 0;
};

#endif
