#include "link/readerjob.h"

#include "link/readersession.h"

ReaderJob::ReaderJob(ReaderSession &session, ChainId chain, QObject *parent)
    : QObject(parent), m_session(session), m_chain(chain)
{
}

bool ReaderJob::start()
{
    CommandChain &chain = m_session.chain();
    if (m_running || chain.isRunning() || !m_session.isOpen())
        return false;
    m_running = true;
    m_outcome = JobOutcome::Done;
    if (!prepare())
        return true;
    if (!chain.start(m_chain, phaseName(), phaseTotal(), [this] { chainAborted(); })) {
        m_running = false;
        return false;
    }
    m_answers = connect(&m_session, &ReaderSession::chainAnswered, this, &ReaderJob::chainAnswered);
    m_progress = connect(&chain, &CommandChain::progress, this, &ReaderJob::progress);
    emit progress(chain.name(), chain.done(), chain.total());
    begin();
    return true;
}

void ReaderJob::chainAnswered(unsigned int code, const ReaderAnswer &answer)
{
    if (m_running && m_session.chain().isRunning(m_chain))
        this->answer(code, answer);
}

void ReaderJob::chainAborted()
{
    if (!m_running)
        return;
    aborted();
    finish(m_session.isOpen() ? JobOutcome::NoAnswer : JobOutcome::LinkLost);
}

JobOutcome ReaderJob::failureOf(const ReaderAnswer &answer) const
{
    if (answer.answered)
        return JobOutcome::Refused;
    return m_session.isOpen() ? JobOutcome::NoAnswer : JobOutcome::LinkLost;
}

void ReaderJob::send(const ChainRequest &request)
{
    m_session.chain().send(request);
}

void ReaderJob::setStatus(const QString &text)
{
    m_status = text;
    emit statusChanged(m_status);
}

void ReaderJob::appendStatus(const QString &text)
{
    setStatus(m_status + text);
}

void ReaderJob::step()
{
    m_session.chain().step();
}

void ReaderJob::setPhase(const QString &name, int total)
{
    m_session.chain().setPhase(name, total);
}

void ReaderJob::finish(JobOutcome outcome)
{
    if (!m_running)
        return;
    m_running = false;
    m_outcome = outcome;
    disconnect(m_answers);
    disconnect(m_progress);
    CommandChain &chain = m_session.chain();
    if (chain.isRunning(m_chain)) {
        if (outcome == JobOutcome::Done)
            chain.succeed();
        else
            chain.fail();
    }
    emit finished(outcome);
}

bool ReaderJob::endEarly(JobOutcome outcome)
{
    m_running = false;
    m_outcome = outcome;
    emit finished(outcome);
    return false;
}
