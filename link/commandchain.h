#ifndef COMMANDCHAIN_H
#define COMMANDCHAIN_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "link/commands.h"

class QProtocole;

// One command of a chain, as CmdRequest takes it.
struct ChainRequest {
    char c1 = 0;
    char c2 = 0;
    QString payload;
    unsigned int arg = 0;
    unsigned int timeoutMs = 0;
};

// What a chain needs of the link. The reader session adapts its engine;
// tests may put anything else in its place.
class ChainLink
{
public:
    virtual ~ChainLink() = default;
    virtual bool isOpen() const = 0;
    // As QProtocole::CmdRequest: queued, busy (slot taken) or refused.
    virtual quint8 request(const ChainRequest &request) = 0;
};

// Drives a chain of commands (a command, its answer, the next command) on
// the one command slot of the link. The answer handlers decide what comes
// next and call send(), succeed() or fail(); the chain sends as soon as the
// slot is free (the engine's polling may hold it for one poll), counts the
// progress and ends every chain with exactly one outcome. It needs no
// window: whoever handles the answers can drive it.
class CommandChain : public QObject
{
    Q_OBJECT
public:
    // A next command waits at most this long for the slot: as long as any
    // request may hold it (a badge read started by polling, say), and the
    // time its end takes to free the slot.
    static constexpr int SlotWaitMarginMs = 1000;
    static constexpr int SlotWaitMs = int(CmdTimeout::Longest) + SlotWaitMarginMs;
    static constexpr int RetryMs = 2;
    // Before a read is asked again after a silence: its late answer, if it
    // comes, falls in this pause, where nothing is taken as an answer.
    static constexpr int ReadAgainPauseMs = 500;

    explicit CommandChain(ChainLink &link, QObject *parent = nullptr);
    void setSlotWaitMs(int ms) { m_slotWaitMs = ms; }

    // Starts chain `id` with a first phase of `total` steps. onAbort runs
    // when the chain ends by itself (link closed, slot never freed), so that
    // its owner shows its own failure text. False when a chain runs already
    // or the link is closed; nothing changes then.
    bool start(int id, const QString &name, int total, std::function<void()> onAbort = {});
    bool isRunning() const { return m_id != 0; }
    bool isRunning(int id) const { return m_id != 0 && m_id == id; }
    int id() const { return m_id; }

    // Sends the request now if the slot is free, else as soon as it is.
    // Its answer comes back through the reader session.
    void send(const ChainRequest &request);

    // Progress: a new phase starts counting from 0 of its own total.
    void setPhase(const QString &name, int total);
    void step(int count = 1);
    QString name() const { return m_name; }
    int done() const { return m_done; }
    int total() const { return m_total; }

    // The last request went unanswered (or its answer was damaged): a read
    // asked for the first time is sent once more, after a pause unless the
    // answer came damaged, and true is returned; anything else is the
    // job's to judge. Writes are never repeated blindly.
    bool retryRead(bool damaged);

    void succeed() { finish(true); }
    void fail() { finish(false); }
    // The link was closed or lost: a running chain ends as failed.
    void linkLost();

signals:
    void progress(const QString &name, int done, int total);
    void finished(int id, bool succeeded);

private:
    void trySend();
    void abort();
    void finish(bool succeeded);

    ChainLink &m_link;
    int m_slotWaitMs = SlotWaitMs;
    int m_id = 0;
    QString m_name;
    int m_done = 0;
    int m_total = 0;
    std::function<void()> m_onAbort;

    ChainRequest m_pending;
    bool m_hasPending = false;
    bool m_readRetried = false;
    QTimer m_readAgain;
    QElapsedTimer m_waitingSince;
    QTimer m_retry;
};

#endif
