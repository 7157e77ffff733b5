#ifndef BLACKLISTJOBS_H
#define BLACKLISTJOBS_H

#include <QList>
#include <QStringList>

#include "link/readerjob.h"

// The reader keeps its blacklist in list file 5.
namespace BlackListReader {
extern const QString ListFile;  // "Fil=5"
// A list longer than this is not taken: it would be cut short silently.
constexpr int ReadMaxEntries = 1000;
}

// The first difference between the entries sent and those read back, in
// order, in the operator's words; empty when they are the same.
QString BlackListFirstDifference(const QStringList &sent, const QStringList &read);

// Replaces the reader's list by `entries` ("Cda=..;UID=..;Usr=..;Grp=.."):
// one clear, then one add per entry, in order.
class BlackListWriteJob : public ReaderJob
{
    Q_OBJECT
public:
    explicit BlackListWriteJob(ReaderSession &session, QObject *parent = nullptr);
    void setEntries(const QStringList &entries) { m_entries = entries; }
    const QStringList &entries() const { return m_entries; }
    // Entries the reader accepted in the last run.
    int added() const { return m_added; }

protected:
    QString phaseName() const override;
    int phaseTotal() const override;
    bool prepare() override;
    void begin() override;
    void answer(unsigned int code, const ReaderAnswer &answer) override;
    void aborted() override;
    QString outcomeText(JobOutcome outcome) const override;

private:
    void sendAdd();
    void failedStatus();

    QStringList m_entries;
    bool m_clearing = false;
    int m_added = 0;
};

// Reads the reader's list one position at a time until it has no entry
// there. The rows (cells of the table) are kept only when the list was
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
};

#endif
