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
                      ARG_FILE_LN_CLEAR_RESULT, CmdTimeout::File});
}

void BlackListWriteJob::sendAdd()
{
    send(ChainRequest{Cmd::FamilyFile, Cmd::FileAdd, AddPayload(m_entries.at(m_added)),
                      ARG_FILE_LN_ADD_RESULT, CmdTimeout::File});
}

void BlackListWriteJob::failedStatus()
{
    if (m_clearing) {
        setStatus(tr("LN effacement->échec"));
        return;
    }
    qDebug("LN Add->ECHEC ligne %d", m_added);
    setStatus(tr("LN Add->ECHEC"));
    emit journal(tr("LN Add->ECHEC à la ligne %1").arg(m_added + 1));
}

void BlackListWriteJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    const bool clearAnswer = code == ARG_FILE_LN_CLEAR_RESULT;
    if ((clearAnswer != m_clearing) || (!clearAnswer && code != ARG_FILE_LN_ADD_RESULT))
        return;
    if (!answer.accepted()) {
        failedStatus();
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

void BlackListReadJob::setPhase(const QString &name, int expected)
{
    m_phaseName = name;
    m_expected = expected;
}

QString BlackListReadJob::phaseName() const
{
    return m_phaseName;
}

int BlackListReadJob::phaseTotal() const
{
    return m_expected;
}

void BlackListReadJob::begin()
{
    m_rows.clear();
    m_entries.clear();
    setStatus(m_phaseName + QStringLiteral(" ..."));
    sendGet();
}

void BlackListReadJob::sendGet()
{
    send(ChainRequest{Cmd::FamilyFile, Cmd::FileGet,
                      BlackListReader::ListFile + QStringLiteral(";Pos=")
                          + QString::number(m_rows.size()),
                      ARG_FILE_LN_GET_RESULT, CmdTimeout::File});
}

void BlackListReadJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    if (code != ARG_FILE_LN_GET_RESULT)
        return;
    if (answer.answered && !answer.accepted()) {
        // No entry at this position: the list is complete. Whoever asked
        // says what becomes of it.
        finish(JobOutcome::Done);
        return;
    }
    if (!answer.answered) {
        failed(failureOf(answer));
        return;
    }
    QStringList cells;
    if (!BlackListEntryToCells(answer.text, &cells)) {
        qDebug("LN Lecture : entrée %d illisible ***%s***", int(m_rows.size()),
               qUtf8Printable(answer.text));
        emit journal(tr("LN Lecture : entrée %1 illisible").arg(m_rows.size() + 1));
        failed(JobOutcome::Refused);
        return;
    }
    if (m_rows.size() >= BlackListReader::ReadMaxEntries) {
        qDebug("LN Lecture : plus de %d entrées", BlackListReader::ReadMaxEntries);
        emit journal(tr("LN Lecture : plus de %1 entrées").arg(BlackListReader::ReadMaxEntries));
        failed(JobOutcome::Refused);
        return;
    }
    m_rows.append(cells);
    m_entries.append(answer.text);
    step();
    sendGet();
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
