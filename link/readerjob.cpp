#include "link/readerjob.h"

#include "link/readersession.h"

#include <utility>

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
    m_step.clear();
    m_failures.clear();
    m_partial.clear();
    m_stopRequested = false;
    m_stopHandled = false;
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
    if (!m_running || !m_session.chain().isRunning(m_chain))
        return;
    // Not "->ECHEC": a refusal may mean the end of a list, the job knows.
    emit stepLine(answer.accepted()   ? OutcomeHead(m_step, JobOutcome::Done)
                  : answer.answered ? m_step + QStringLiteral("->REFUS")
                                    : OutcomeHead(m_step, failureOf(answer)));
    this->answer(code, answer);
}

void ReaderJob::chainAborted()
{
    if (!m_running)
        return;
    const JobOutcome outcome = m_session.isOpen() ? JobOutcome::NoAnswer : JobOutcome::LinkLost;
    emit stepLine(OutcomeHead(m_step, outcome));
    failure(m_step + QLatin1Char(' ') + unansweredText());
    aborted();
    finish(outcome);
}

JobOutcome ReaderJob::failureOf(const ReaderAnswer &answer) const
{
    if (answer.answered)
        return JobOutcome::Refused;
    return m_session.isOpen() ? JobOutcome::NoAnswer : JobOutcome::LinkLost;
}

void ReaderJob::requestStop()
{
    if (m_running)
        m_stopRequested = true;
}

bool ReaderJob::send(const ChainRequest &request, const QString &stepName)
{
    if (m_stopRequested && !m_stopHandled) {
        m_stopHandled = true;
        stopRequested();
        return false;
    }
    m_step = stepName;
    m_session.chain().send(request);
    return true;
}

QString ReaderJob::unansweredText() const
{
    return m_session.isOpen() ? tr("sans réponse du lecteur") : tr("sans réponse : liaison perdue");
}

void ReaderJob::stepFailed(const ReaderAnswer &answer)
{
    failure(m_step + (answer.answered ? tr(" refusée par le lecteur")
                      : answer.damaged ? tr(" : réponse illisible (parasites sur la ligne)")
                                       : QLatin1Char(' ') + unansweredText()));
}

void ReaderJob::failure(const QString &text)
{
    m_failures.append(text);
}

QString ReaderJob::OutcomeHead(const QString &operation, JobOutcome outcome)
{
    switch (outcome) {
    case JobOutcome::Done:
        return operation + QStringLiteral("->OK");
    case JobOutcome::NoAnswer:
        return operation + QStringLiteral("->TIMEOUT");
    case JobOutcome::LinkLost:
        return operation + tr("->ECHEC (liaison perdue)");
    case JobOutcome::Interrupted:
        return operation + tr("->INTERROMPU");
    case JobOutcome::Partial:
    case JobOutcome::Refused:
    case JobOutcome::CheckFailed:
    case JobOutcome::LocalError:
        break;
    }
    return operation + QStringLiteral("->ECHEC");
}

QString ReaderJob::Counted(int count, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(count).arg(count > 1 ? many : one);
}

QString ReaderJob::CountedOf(int done, int total, const QString &one, const QString &many)
{
    if (done == total)
        return Counted(done, one, many);
    return QStringLiteral("%1 / %2").arg(done).arg(Counted(total, one, many));
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
    reportEnd(outcome);
    emit finished(outcome);
}

bool ReaderJob::endEarly(JobOutcome outcome)
{
    m_running = false;
    m_outcome = outcome;
    reportEnd(outcome);
    emit finished(outcome);
    return false;
}

// The outcome first, then what failed: a reader of the journal (or the
// status bar, which shows the last line) sees the failure named.
void ReaderJob::reportEnd(JobOutcome outcome)
{
    emit outcomeLine(outcomeText(outcome));
    const QStringList failures = std::exchange(m_failures, QStringList());
    for (const QString &line : failures)
        emit journal(line);
}
