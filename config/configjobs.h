#ifndef CONFIGJOBS_H
#define CONFIGJOBS_H

#include <QElapsedTimer>
#include <QHash>
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
// reader commit each object written; with the check, every parameter
// written is read back after the last commit, and a difference keeps its
// mark. Before its first write it reads the reader's identity and every
// value it replaces that the model does not know: another reader than the
// one the plan was made for stops it there. With a backup folder, the
// values the write replaces are kept in a file first (no file, no write).
// All or nothing: a write that stops after the reader accepted a write
// (refused, unanswered, asked to stop) writes back what it replaced,
// commits again and reads back; when that fails, partial() names every
// parameter the reader was left holding otherwise.
class ConfigSaveJob : public ReaderJob
{
    Q_OBJECT
public:
    ConfigSaveJob(ReaderSession &session, ConfigModel &model, QObject *parent = nullptr);

    // The changes to write; all the model's changes when not given.
    void setChanges(const QList<ConfigChange> &changes);
    void setBackupFolder(const QString &folder) { m_backupFolder = folder; }
    void setCheck(bool check) { m_check = check; }
    // The reader the plan was made for; the model's when not given.
    void setIdentity(const ReaderIdentity &identity);
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
    int writtenCount() const { return m_written.size(); }
    int committedCount() const { return m_committed.size(); }
    int checkedCount() const;
    // Parameters put back to their previous value and read back so.
    int restoredCount() const { return m_restored.size(); }

protected:
    QString phaseName() const override;
    int phaseTotal() const override;
    bool prepare() override;
    void begin() override;
    void answer(unsigned int code, const ReaderAnswer &answer) override;
    void aborted() override;
    QString outcomeText(JobOutcome outcome) const override;
    void stopRequested() override;

private:
    enum class Phase { Before, Write, Commit, Check, UndoWrite, UndoCommit, UndoCheck, Ended };
    bool sendStep(const ChainRequest &request, const QString &stepName);
    void sendBefore();
    void beforeAnswered(const ReaderAnswer &answer);
    void beforeEnded();
    bool backup();
    void sendWrite();
    void sendCommit();
    void writeAnswered(const ReaderAnswer &answer);
    void commitAnswered(const ReaderAnswer &answer);
    void checkNext();
    void checkAnswered(const ReaderAnswer &answer);
    void checkEnded();
    // The write stopped after the reader accepted something: put it back.
    void undo(JobOutcome outcome, bool inFlightMayHaveLanded);
    void collectUndo(bool inFlightMayHaveLanded);
    void sendUndoWrite();
    void undoWriteAnswered(const ReaderAnswer &answer);
    void sendUndoCommit();
    void undoCommitAnswered(const ReaderAnswer &answer);
    void sendUndoCheck();
    void undoCheckAnswered(const ReaderAnswer &answer);
    void undoEnded();
    void endPartial();
    QString partialText() const;
    bool undoing() const { return m_phase >= Phase::UndoWrite; }

    ConfigModel &m_model;
    Phase m_phase = Phase::Ended;
    QList<ConfigChange> m_changes;
    bool m_changesGiven = false;
    ReaderIdentity m_identity;
    bool m_identityGiven = false;
    ReaderIdentity m_readIdentity;
    QString m_identityChanged;
    QStringList m_before;
    QList<ConfigRead> m_beforeReads;
    QHash<QString, QString> m_original;  // the values replaced, where known
    QString m_backupFolder;
    QString m_backupPath;
    bool m_check = false;
    QList<Check> m_checks;
    int m_index = 0;
    QList<ConfigChange> m_written;
    QStringList m_objects;
    QStringList m_committed;
    int m_objectIndex = 0;
    int m_checkIndex = 0;
    // Putting back: what, how far, and why.
    JobOutcome m_failure = JobOutcome::Done;
    bool m_stopped = false;
    QStringList m_undo;
    QStringList m_undoObjects;
    QStringList m_undoWritten;
    QStringList m_undoCommitted;
    QStringList m_restored;
    int m_undoIndex = 0;
    ChainRequest m_lastRequest;
    QString m_lastStep;
};

#endif
