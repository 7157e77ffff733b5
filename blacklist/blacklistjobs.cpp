#include "blacklist/blacklistjobs.h"

#include <QDebug>

#include "blacklist/blacklisttext.h"
#include "link/commands.h"
#include "link/readersession.h"
#include "util/textutil.h"

const QString BlackListReader::ListFile = QStringLiteral("Fil=5");

namespace {
QString AddPayload(const QString &entry)
{
    return BlackListReader::ListFile + QLatin1Char(';') + entry;
}
}

QString BlackListFirstDifference(const QStringList &sent, const QStringList &read)
{
    for (int i = 0; i < qMin(sent.size(), read.size()); ++i) {
        if (sent.at(i) != read.at(i))
            return QObject::tr("ligne %1 : envoyée %2, relue %3").arg(i + 1).arg(sent.at(i), read.at(i));
    }
    if (sent.size() != read.size())
        return QObject::tr("%1 lignes envoyées, %2 relues").arg(sent.size()).arg(read.size());
    return QString();
}

BlackListWriteJob::BlackListWriteJob(ReaderSession &session, QObject *parent)
    : ReaderJob(session, CHAIN_BLACKLIST_WRITE, parent)
{
}

QString BlackListWriteJob::phaseName() const
{
    return tr("LN Ecriture");
}

int BlackListWriteJob::phaseTotal() const
{
    return m_entries.size();
}

bool BlackListWriteJob::prepare()
{
    m_added = 0;
    // Checked before anything is cleared: the reader keeps its list rather
    // than get part of this one.
    for (int i = 0; i < m_entries.size(); ++i) {
        if (!PayloadFits(AddPayload(m_entries.at(i)))) {
            setStatus(tr("LN Put->ECHEC : ligne %1 trop longue").arg(i + 1));
            failure(tr("LN Ecriture de la ligne %1 refusée : ligne trop longue").arg(i + 1));
            return endEarly(JobOutcome::Refused);
        }
    }
    return true;
}

void BlackListWriteJob::begin()
{
    m_clearing = true;
    setStatus(tr("LN Put"));
    send(ChainRequest{Cmd::FamilyFile, Cmd::FileClear, BlackListReader::ListFile,
                      ARG_FILE_LN_CLEAR_RESULT, CmdTimeout::File},
         tr("LN Suppression de la liste"));
}

void BlackListWriteJob::sendAdd()
{
    send(ChainRequest{Cmd::FamilyFile, Cmd::FileAdd, AddPayload(m_entries.at(m_added)),
                      ARG_FILE_LN_ADD_RESULT, CmdTimeout::File},
         tr("LN Ecriture de la ligne %1").arg(m_added + 1));
}

void BlackListWriteJob::failedStatus()
{
    if (m_clearing) {
        setStatus(tr("LN effacement->échec"));
        return;
    }
    qDebug("LN Add->ECHEC ligne %d", m_added);
    setStatus(tr("LN Add->ECHEC"));
}

QString BlackListWriteJob::outcomeText(JobOutcome outcome) const
{
    return OutcomeHead(tr("LN Ecriture"), outcome) + QStringLiteral(" : ")
           + CountedOf(m_added, m_entries.size(), tr("ligne écrite"), tr("lignes écrites"));
}

void BlackListWriteJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    const bool clearAnswer = code == ARG_FILE_LN_CLEAR_RESULT;
    if ((clearAnswer != m_clearing) || (!clearAnswer && code != ARG_FILE_LN_ADD_RESULT))
        return;
    if (!answer.accepted()) {
        failedStatus();
        stepFailed(answer);
        finish(failureOf(answer));
        return;
    }
    if (m_clearing) {
        setStatus(tr("LN effacement->OK"));
        m_clearing = false;
        if (m_entries.isEmpty()) {
            setStatus(tr("LN Aucun liste à envoyer11"));
            finish(JobOutcome::Done);
            return;
        }
        sendAdd();
        return;
    }
    setStatus(tr("LN Add->OK"));
    step();
    if (++m_added < m_entries.size()) {
        sendAdd();
        return;
    }
    setStatus(tr("LN Add->FIN"));
    finish(JobOutcome::Done);
}

void BlackListWriteJob::aborted()
{
    failedStatus();
}

BlackListReadJob::BlackListReadJob(ReaderSession &session, QObject *parent)
    : ReaderJob(session, CHAIN_BLACKLIST_READ, parent), m_phaseName(tr("LN Lecture"))
{
}

void BlackListReadJob::checkAgainst(const QStringList &sent)
{
    m_phaseName = tr("LN Vérification");
    m_checking = true;
    m_sent = sent;
}

QString BlackListReadJob::phaseName() const
{
    return m_phaseName;
}

int BlackListReadJob::phaseTotal() const
{
    return m_checking ? m_sent.size() : BlackListReader::ReadMaxEntries;
}

void BlackListReadJob::begin()
{
    m_rows.clear();
    m_entries.clear();
    m_readCount = 0;
    setStatus(m_phaseName + QStringLiteral(" ..."));
    sendGet();
}

void BlackListReadJob::sendGet()
{
    send(ChainRequest{Cmd::FamilyFile, Cmd::FileGet,
                      BlackListReader::ListFile + QStringLiteral(";Pos=")
                          + QString::number(m_rows.size()),
                      ARG_FILE_LN_GET_RESULT, CmdTimeout::File},
         tr("%1 de la ligne %2").arg(m_phaseName).arg(m_rows.size() + 1));
}

void BlackListReadJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    if (code != ARG_FILE_LN_GET_RESULT)
        return;
    if (answer.answered && !answer.accepted()) {
        listEnded();
        return;
    }
    if (!answer.answered) {
        stepFailed(answer);
        failed(failureOf(answer));
        return;
    }
    QStringList cells;
    if (!BlackListEntryToCells(answer.text, &cells)) {
        qDebug("LN Lecture : entrée %d illisible ***%s***", int(m_rows.size()),
               qUtf8Printable(answer.text));
        failure(tr("%1 : entrée %2 illisible").arg(m_phaseName).arg(m_rows.size() + 1));
        failed(JobOutcome::Refused);
        return;
    }
    if (m_rows.size() >= BlackListReader::ReadMaxEntries) {
        qDebug("LN Lecture : plus de %d entrées", BlackListReader::ReadMaxEntries);
        failure(tr("%1 : plus de %2 entrées").arg(m_phaseName).arg(BlackListReader::ReadMaxEntries));
        failed(JobOutcome::Refused);
        return;
    }
    m_rows.append(cells);
    m_entries.append(answer.text);
    ++m_readCount;
    step();
    sendGet();
}

// No entry at this position: the list is complete. A plain read leaves
// to whoever asked what becomes of it; a check says whether it is the
// list sent.
void BlackListReadJob::listEnded()
{
    if (!m_checking) {
        finish(JobOutcome::Done);
        return;
    }
    const QString difference = BlackListFirstDifference(m_sent, m_entries);
    if (!difference.isEmpty())
        failure(tr("LN Vérification : %1").arg(difference));
    setStatus(difference.isEmpty() ? tr("LN Vérification->OK") : tr("LN Vérification->ECHEC"));
    finish(difference.isEmpty() ? JobOutcome::Done : JobOutcome::CheckFailed);
}

QString BlackListReadJob::outcomeText(JobOutcome outcome) const
{
    const QString head = OutcomeHead(m_phaseName, outcome) + QStringLiteral(" : ");
    if (!m_checking)
        return head + Counted(m_readCount, tr("ligne lue"), tr("lignes lues"));
    if (outcome == JobOutcome::Done)
        return head + Counted(m_readCount, tr("ligne"), tr("lignes"));
    if (outcome == JobOutcome::CheckFailed)
        return head + Counted(m_readCount, tr("ligne relue"), tr("lignes relues")) + QStringLiteral(", ")
               + Counted(m_sent.size(), tr("envoyée"), tr("envoyées"));
    return head + CountedOf(m_readCount, m_sent.size(), tr("ligne relue"), tr("lignes relues"));
}

void BlackListReadJob::aborted()
{
    m_rows.clear();
    m_entries.clear();
    setStatus(m_phaseName + QStringLiteral("->ECHEC"));
}

void BlackListReadJob::failed(JobOutcome outcome)
{
    aborted();
    finish(outcome);
}
