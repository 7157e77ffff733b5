#ifndef READERJOB_H
#define READERJOB_H

#include <QObject>
#include <QString>
#include <QStringList>

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
    Interrupted,  // stopped on request (a signal): the exchange in flight was let finish
    Partial,      // stopped half-way and the reader could not be put back: partial() names what
};

// One multi-command operation on a reader, run as the session's chain. It
// reports progress, its status texts, each step, and one outcome with its
// line of counts and a line per failure, and shows nothing: the window,
// the command-line tool and the tests each show it their way.
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
    // What the reader was left holding that is neither its old state nor
    // the new one (parameter identifiers, or blacklist lines), when the job
    // ended Partial; empty otherwise.
    QStringList partial() const { return m_partial; }

    // Asks the job to stop cooperatively: the request in flight gets its
    // answer, then, instead of the next step, stopRequested() runs (a
    // writing job puts the reader back there). Nothing when not running.
    void requestStop();
    bool isStopRequested() const { return m_stopRequested; }

signals:
    void progress(const QString &name, int done, int total);
    // The whole status text: results are appended to the step under way.
    void statusChanged(const QString &text);
    // Each request's result as it comes ("Lecture de 3.0.1->OK"): a load
    // makes 143 of them, for a debug view rather than a journal.
    void stepLine(const QString &text);
    // Once per run, as it ends: how it ended, with its counts
    // ("Lecture Ok : 143 paramètres, 2 refusés (3.7.7, 9.0.2)").
    void outcomeLine(const QString &text);
    // A result worth keeping beyond the status text: what failed, one line
    // each, right after the outcome line; or where a backup went.
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
    // The link ended the chain (closed, lost, slot never freed); the step
    // under way is already reported as failed.
    virtual void aborted() = 0;
    // The outcome line of the run that ends with `outcome`.
    virtual QString outcomeText(JobOutcome outcome) const = 0;
    // A stop was requested and the answer in flight has been handled: the
    // job was about to send its next step. By default it ends Interrupted;
    // a job that has changed the reader overrides it to restore (its sends
    // then go out as usual).
    virtual void stopRequested() { finish(JobOutcome::Interrupted); }

    // "Lecture->TIMEOUT": an operation's name and how it ended.
    static QString OutcomeHead(const QString &operation, JobOutcome outcome);
    // "1 paramètre", "143 paramètres".
    static QString Counted(int count, const QString &one, const QString &many);
    // "143 paramètres lus" when all were done, else "57 / 143 paramètres lus".
    static QString CountedOf(int done, int total, const QString &one, const QString &many);

    ReaderSession &session() { return m_session; }
    // The outcome of a request that was not accepted: refused, unanswered,
    // or cut off by the lost link.
    JobOutcome failureOf(const ReaderAnswer &answer) const;
    // Sends the step named `stepName` ("Ecriture de 13.6"): its answer makes
    // a step line, and a failure line when the job ends on it.
    // While a requested stop is pending, nothing is sent: stopRequested()
    // runs instead, once, and false is returned.
    bool send(const ChainRequest &request, const QString &stepName);
    // The last step sent failed with this answer and the job ends on it:
    // "Ecriture de 13.6 refusée par le lecteur".
    void stepFailed(const ReaderAnswer &answer);
    // A failure line, reported after the outcome line.
    void failure(const QString &text);
    void setStatus(const QString &text);
    void appendStatus(const QString &text);
    void step();
    void setPhase(const QString &name, int total);
    void finish(JobOutcome outcome);
    bool endEarly(JobOutcome outcome);
    void setPartial(const QStringList &left) { m_partial = left; }

private:
    void chainAnswered(unsigned int code, const ReaderAnswer &answer);
    void chainAborted();
    void reportEnd(JobOutcome outcome);
    QString unansweredText() const;

    ReaderSession &m_session;
    ChainId m_chain;
    bool m_running = false;
    JobOutcome m_outcome = JobOutcome::Done;
    QString m_status;
    QString m_step;
    QStringList m_failures;
    QStringList m_partial;
    bool m_stopRequested = false;
    bool m_stopHandled = false;
    QMetaObject::Connection m_answers;
    QMetaObject::Connection m_progress;
};

#endif
