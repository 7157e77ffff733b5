#ifndef BLACKLISTJOBS_H
#define BLACKLISTJOBS_H

#include <QList>
#include <QStringList>
#include <QVector>

#include "blacklist/blacklistcheck.h"
#include "blacklist/blacklisttext.h"
#include "link/readerjob.h"

// The reader keeps its blacklist in list file 5.
namespace BlackListReader {
extern const QString ListFile;  // "Fil=5"
// As many as a write may send: a longer list is not taken, it would be cut
// short silently.
constexpr int ReadMaxEntries = BlackList::MaxFileRows;
}

// The first difference between the entries sent and those read back, in
// order, in the operator's words; empty when they are the same.
QString BlackListFirstDifference(const QStringList &sent, const QStringList &read);

// Replaces the reader's list by the entries of a transfer, keeping the old
// one: it reads the reader's identity (3.0.0, 3.0.2) and its list (the end
// of every list read confirmed by a second ask), keeps
// that list in a backup file, reads the identity again (another reader
// stops it there), then clears the list, adds the entries one by one in
// order and reads the list back. Once the clear is sent, any failure (a
// refusal, a silence, a difference read back, a requested stop) puts the
// old list back the same way (clear, adds, read-back). The outcome says
// which list the reader holds, or how many lines of which when neither
// could be reached (JobOutcome::Partial, partial() the entries it holds).
class BlackListWriteJob : public ReaderJob
{
    Q_OBJECT
public:
    explicit BlackListWriteJob(ReaderSession &session, QObject *parent = nullptr);
    void setTransfer(const BlackListTransfer &transfer);
    // Entries alone: rows numbered in order, none left out.
    void setEntries(const QStringList &entries);
    const QStringList &entries() const { return m_transfer.entries; }
    // No folder: no backup file (the old list is still read and restored).
    void setBackupFolder(const QString &folder) { m_backupFolder = folder; }
    QString backupPath() const { return m_backupPath; }
    // The list the reader held before the write, as it gave it.
    const QStringList &oldEntries() const { return m_old; }
    // "1204/1001": the reader's 3.0.0 and 3.0.2 as read first.
    QString readerIdentity() const;

    int sentCount() const { return m_sent; }        // new entries the reader accepted
    int skippedCount() const { return m_transfer.skipped; }  // rows left out: empty or repeated
    int restoredCount() const { return m_restored; }  // old entries put back
    int checkedCount() const { return m_checked; }    // entries read back as sent

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
    enum class Stage { Identity, Saving, Recheck, Clearing, Adding, Checking,
                       RestoreClearing, RestoreAdding, RestoreChecking };
    // What the reader holds as the job ends.
    enum class End { Running, Done, Unchanged, Restored, NewUnchecked, OldUnchecked, Partial };

    bool restoring() const { return m_stage >= Stage::RestoreClearing; }
    void sendStep(const ChainRequest &request, const QString &name);
    void sendIdentityRead();
    void sendGet(int position, const QString &phase);
    void sendClear(const QString &name);
    void sendAdd(const QString &entry, const QString &name);
    bool listEnds(int position, const QString &phase);

    void identityAnswered(const ReaderAnswer &answer);
    void savingAnswered(const ReaderAnswer &answer);
    void oldListRead();
    void startClear();
    void clearAnswered(const ReaderAnswer &answer);
    void addAnswered(const ReaderAnswer &answer);
    void startCheck();
    void checkAnswered(const ReaderAnswer &answer);
    void restore(JobOutcome why);
    void restoreAnswered(unsigned int code, const ReaderAnswer &answer);
    void restoreFailed();
    void linkGone(JobOutcome outcome);
    void endUnchanged(JobOutcome outcome, const QString &status);
    void endPartial(int held, const QStringList &list, const QString &which);

    BlackListTransfer m_transfer;
    QString m_backupFolder;
    QString m_backupPath;
    Stage m_stage = Stage::Identity;
    End m_end = End::Running;
    JobOutcome m_failure = JobOutcome::Done;  // what a restore answers for
    QStringList m_identity;
    QStringList m_identityRead;
    QStringList m_old;
    QList<QStringList> m_oldRows;
    QStringList m_readBack;
    bool m_clearSent = false;
    bool m_endSeen = false;
    int m_sent = 0;
    int m_restored = 0;
    int m_checked = 0;
    int m_held = 0;  // lines held, for a partial end
    int m_of = 0;
    ChainRequest m_pending;
    QString m_pendingName;
};

// Reads the reader's list one position at a time until it has no entry
// there (asked twice). The rows (cells of the table) are kept only when the list was
// read whole. As the check after a write, it compares the list with what
// was sent: a difference ends it as CheckFailed.
class BlackListReadJob : public ReaderJob
{
    Q_OBJECT
public:
    explicit BlackListReadJob(ReaderSession &session, QObject *parent = nullptr);
    // The next runs are the check of `sent` ("LN Vérification").
    void checkAgainst(const QStringList &sent);
    const QList<QStringList> &rows() const { return m_rows; }
    // The entries as the reader sent them, for a comparison.
    const QStringList &entries() const { return m_entries; }

protected:
    QString phaseName() const override;
    int phaseTotal() const override;
    void begin() override;
    void answer(unsigned int code, const ReaderAnswer &answer) override;
    void aborted() override;
    QString outcomeText(JobOutcome outcome) const override;

private:
    void sendGet();
    void listEnded();
    void failed(JobOutcome outcome);

    QString m_phaseName;
    bool m_checking = false;
    QStringList m_sent;
    QList<QStringList> m_rows;
    QStringList m_entries;
    int m_readCount = 0;  // entries read, kept for the outcome when the rows are dropped
    bool m_endSeen = false;
};

#endif
