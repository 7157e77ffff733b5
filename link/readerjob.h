#ifndef READERJOB_H
#define READERJOB_H

#include <QObject>
#include <QString>

#include "link/commandchain.h"

class ReaderSession;
struct ReaderAnswer;

// The chains of commands run on a reader, one at a time.
enum ChainId : int {
    CHAIN_CONFIG_LOAD = 1,
    CHAIN_CONFIG_SAVE,
    CHAIN_BLACKLIST_WRITE,
    CHAIN_BLACKLIST_READ,
    CHAIN_CLOCK,
    CHAIN_CONFIG_READ,
};

// How a job ended.
enum class JobOutcome {
    Done,
    Refused,      // the reader refused a request (or the job refused its input)
    NoAnswer,     // a request was not answered within its time-out
    LinkLost,     // the port was closed or lost
    CheckFailed,  // what was read back differs from what was written
    LocalError,   // a file of this computer could not be written
};

// One multi-command operation on a reader, run as the session's chain. It
// reports progress, its status texts and one outcome, and shows nothing:
// the window, the command-line tool and the tests each show it their way.
class ReaderJob : public QObject
{
    Q_OBJECT
public:
    ReaderJob(ReaderSession &session, ChainId chain, QObject *parent = nullptr);

    // False when another chain runs or the link is closed: nothing is sent
    // and nothing changes. Otherwise the job runs (or ends at once when its
    // input is refused) and finished() follows once.
    bool start();
    bool isRunning() const { return m_running; }
    JobOutcome outcome() const { return m_outcome; }
    QString status() const { return m_status; }

signals:
    void progress(const QString &name, int done, int total);
    // The whole status text: results are appended to the step under way.
    void statusChanged(const QString &text);
    // A result worth keeping beyond the status text (which request failed).
    void journal(const QString &text);
    void finished(JobOutcome outcome);

protected:
    virtual QString phaseName() const = 0;
    virtual int phaseTotal() const = 0;
    // Checks the input before anything is sent; false ends the job at once
    // (it has said why with endEarly()).
    virtual bool prepare() { return true; }
    virtual void begin() = 0;
    virtual void answer(unsigned int code, const ReaderAnswer &answer) = 0;
    // The link ended the chain (closed, lost, slot never freed).
    virtual void aborted() = 0;

    ReaderSession &session() { return m_session; }
    // The outcome of a request that was not accepted: refused, unanswered,
    // or cut off by the lost link.
    JobOutcome failureOf(const ReaderAnswer &answer) const;
    void send(const ChainRequest &request);
    void setStatus(const QString &text);
    void appendStatus(const QString &text);
    void step();
    void setPhase(const QString &name, int total);
    void finish(JobOutcome outcome);
    bool endEarly(JobOutcome outcome);

private:
    void chainAnswered(unsigned int code, const ReaderAnswer &answer);
    void chainAborted();

    ReaderSession &m_session;
    ChainId m_chain;
    bool m_running = false;
    JobOutcome m_outcome = JobOutcome::Done;
    QString m_status;
    QMetaObject::Connection m_answers;
    QMetaObject::Connection m_progress;
};

#endif
