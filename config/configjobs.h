#ifndef CONFIGJOBS_H
#define CONFIGJOBS_H

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include "config/configmodel.h"
#include "link/readerjob.h"

// Reads the given parameters, one after the other; a read not answered
// stops the job. What the values mean is the caller's business.
class ConfigReadJob : public ReaderJob
{
    Q_OBJECT
public:
    ConfigReadJob(ReaderSession &session, QObject *parent = nullptr);
    void setIdentifiers(const QStringList &identifiers, const QString &phaseName);
    const QList<ConfigRead> &reads() const { return m_reads; }

protected:
    ConfigReadJob(ReaderSession &session, ChainId chain, QObject *parent);
    QString phaseName() const override { return m_phaseName; }
    int phaseTotal() const override { return m_identifiers.size(); }
    bool prepare() override;
    void begin() override;
    void answer(unsigned int code, const ReaderAnswer &answer) override;
    void aborted() override {}
    QString outcomeText(JobOutcome outcome) const override;
    // How the outcome line of a complete read starts.
    virtual QString doneHead() const;

    // Steps a reading job may show its own way.
    virtual void readsStarting() {}
    virtual void readAnswered(const ConfigRead &read) { Q_UNUSED(read) }
    virtual void nextRead(const QString &identifier) { Q_UNUSED(identifier) }
    virtual void unanswered() {}
    virtual void allRead() { finish(JobOutcome::Done); }

private:
    void sendRead();

    QStringList m_identifiers;
    QString m_phaseName;
    QList<ConfigRead> m_reads;
};

// Reads every parameter of the catalogue from the reader. The model takes
// the values only when the load is complete: a load that stops half way
// leaves what was shown untouched.
class ConfigLoadJob : public ConfigReadJob
{
    Q_OBJECT
public:
    ConfigLoadJob(ReaderSession &session, ConfigModel &model, QObject *parent = nullptr);

protected:
    bool prepare() override;
    QString doneHead() const override;
    void readsStarting() override;
    void readAnswered(const ConfigRead &read) override;
    void nextRead(const QString &identifier) override;
    void unanswered() override;
    void allRead() override;
    void aborted() override;

private:
    ConfigModel &m_model;
    QElapsedTimer m_timer;
};

// Writes the model's changes in the order of their marks, then has the
// reader commit each object written. A refused or unanswered write stops
// before any commit; what was written but not committed is marked again.
// With a backup folder, the values the write replaces are kept in a file
// first (no file, no write); with the check, every parameter written is
// read back after the last commit, and a difference keeps its mark.
class ConfigSaveJob : public ReaderJob
{
    Q_OBJECT
public:
    ConfigSaveJob(ReaderSession &session, ConfigModel &model, QObject *parent = nullptr);

    // The changes to write; all the model's changes when not given.
    void setChanges(const QList<ConfigChange> &changes);
    void setBackupFolder(const QString &folder) { m_backupFolder = folder; }
    void setCheck(bool check) { m_check = check; }
    QString backupPath() const { return m_backupPath; }
    // What the check read back, one entry per parameter written.
    struct Check {
        QString identifier;
        QString written;
        bool answered = false;  // read with the reader's "OK"
        bool refused = false;   // the reader answered, but refused the read
        QString read;
        bool equal() const { return answered && read == written; }
    };
    const QList<Check> &checks() const { return m_checks; }

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
    QString outcomeText(JobOutcome outcome) const override;

private:
    void sendWrite();
    void sendCommit();
    void writeAnswered(const ReaderAnswer &answer);
    void commitAnswered(const ReaderAnswer &answer);
    void failed(JobOutcome outcome);
    void markUncommittedAgain();
    bool backup();
    void checkNext();
    void checkAnswered(const ReaderAnswer &answer);
    void checkEnded();

    ConfigModel &m_model;
    QList<ConfigChange> m_changes;
    bool m_changesGiven = false;
    QString m_backupFolder;
    QString m_backupPath;
    bool m_check = false;
    bool m_checking = false;
    QList<Check> m_checks;
    int m_index = 0;
    QList<ConfigChange> m_written;
    QStringList m_objects;
    QStringList m_committed;
    int m_objectIndex = 0;
    int m_checkIndex = 0;
};

#endif
