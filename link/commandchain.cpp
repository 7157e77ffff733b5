#include "link/commandchain.h"

#include <QDebug>

#include "link/Protocole.h"

CommandChain::CommandChain(ChainLink &link, QObject *parent) : QObject(parent), m_link(link)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &CommandChain::trySend);
    m_readAgain.setSingleShot(true);
    m_readAgain.setInterval(ReadAgainPauseMs);
    connect(&m_readAgain, &QTimer::timeout, this, &CommandChain::trySend);
}

bool CommandChain::start(int id, const QString &name, int total, std::function<void()> onAbort)
{
    if (isRunning() || id == 0 || !m_link.isOpen())
        return false;
    m_id = id;
    m_onAbort = std::move(onAbort);
    setPhase(name, total);
    return true;
}

void CommandChain::send(const ChainRequest &request)
{
    if (!isRunning())
        return;
    m_pending = request;
    m_hasPending = true;
    m_readRetried = false;
    m_waitingSince.start();
    trySend();
}

bool CommandChain::retryRead(bool damaged)
{
    if (!isRunning() || m_hasPending || m_readRetried || !Cmd::IsRead(m_pending.c1, m_pending.c2))
        return false;
    qDebug("Chaîne %s : lecture demandée une seconde fois (%s)", qUtf8Printable(m_name),
           damaged ? "réponse illisible" : "sans réponse");
    m_readRetried = true;
    m_hasPending = true;
    m_waitingSince.start();
    if (damaged)
        trySend();
    else
        m_readAgain.start();
    return true;
}

void CommandChain::trySend()
{
    if (!isRunning() || !m_hasPending)
        return;
    if (!m_link.isOpen()) {
        qDebug("Chaîne %s : liaison fermée", qUtf8Printable(m_name));
        abort();
        return;
    }
    if (m_link.request(m_pending) == QProtocole::REQ_BUSY) {
        if (m_waitingSince.elapsed() > m_slotWaitMs) {
            qDebug("Chaîne %s : commande jamais libérée", qUtf8Printable(m_name));
            abort();
        } else {
            m_retry.start();
        }
        return;
    }
    // Queued, or refused as too long: either way the link reports its end.
    m_hasPending = false;
}

void CommandChain::setPhase(const QString &name, int total)
{
    m_name = name;
    m_total = total;
    m_done = 0;
    emit progress(m_name, m_done, m_total);
}

void CommandChain::step(int count)
{
    if (!isRunning())
        return;
    m_done += count;
    emit progress(m_name, m_done, m_total);
}

void CommandChain::linkLost()
{
    if (isRunning())
        abort();
}

void CommandChain::abort()
{
    const std::function<void()> onAbort = m_onAbort;
    finish(false);
    if (onAbort)
        onAbort();
}

void CommandChain::finish(bool succeeded)
{
    if (!isRunning())
        return;
    const int id = m_id;
    m_id = 0;
    m_hasPending = false;
    m_onAbort = nullptr;
    m_retry.stop();
    m_readAgain.stop();
    emit finished(id, succeeded);
}
