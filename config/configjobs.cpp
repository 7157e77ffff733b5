#include "config/configjobs.h"

#include <QDebug>

#include "link/commands.h"
#include "link/readersession.h"
#include "util/textutil.h"

ConfigLoadJob::ConfigLoadJob(ReaderSession &session, ConfigModel &model, QObject *parent)
    : ReaderJob(session, CHAIN_CONFIG_LOAD, parent), m_model(model)
{
}

QString ConfigLoadJob::phaseName() const
{
    return tr("Lecture");
}

int ConfigLoadJob::phaseTotal() const
{
    return m_model.itemOrder().size();
}

void ConfigLoadJob::begin()
{
    m_order = m_model.itemOrder();
    m_index = 0;
    m_reads.clear();
    m_timer.start();
    setStatus(tr("GetValue->"));
    sendRead();
}

void ConfigLoadJob::sendRead()
{
    send(ChainRequest{Cmd::FamilyValue, Cmd::ValueGet, m_order.at(m_index), ARG_CONFIG_GET_RESULT,
                      CmdTimeout::ValueGet});
}

void ConfigLoadJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    if (code != ARG_CONFIG_GET_RESULT)
        return;
    if (!answer.answered) {
        appendStatus(QStringLiteral("->TIMEOUT"));
        finish(failureOf(answer));
        return;
    }
    m_reads.append({m_order.at(m_index), answer.accepted(), answer.text});
    appendStatus(answer.accepted() ? QStringLiteral("->OK") : QStringLiteral("->UNKNOWN"));
    step();
    if (++m_index < m_order.size()) {
        setStatus(tr("Get value (%1)").arg(m_order.at(m_index)));
        sendRead();
        return;
    }
    qDebug("Durée du chargement %ld", long(m_timer.elapsed()));
    m_model.applyReaderLoad(m_reads);
    setStatus(tr("Lecture Ok"));
    finish(JobOutcome::Done);
}

void ConfigLoadJob::aborted()
{
    appendStatus(QStringLiteral("->TIMEOUT"));
}

ConfigSaveJob::ConfigSaveJob(ReaderSession &session, ConfigModel &model, QObject *parent)
    : ReaderJob(session, CHAIN_CONFIG_SAVE, parent), m_model(model)
{
}

QString ConfigSaveJob::phaseName() const
{
    return tr("Ecriture");
}

int ConfigSaveJob::phaseTotal() const
{
    return m_changes.size();
}

bool ConfigSaveJob::prepare()
{
    m_changes = m_model.changes();
    m_written.clear();
    m_objects.clear();
    m_committed.clear();
    if (m_changes.isEmpty()) {
        setStatus(tr("Aucune modification"));
        return endEarly(JobOutcome::Done);
    }
    // Checked before the first write: the reader gets all of it or nothing.
    for (const ConfigChange &change : qAsConst(m_changes)) {
        if (!PayloadFits(ValuePutPayload(change.identifier, change.value))) {
            setStatus(tr("Save: ->Echec (%1 : valeur trop longue)").arg(change.identifier));
            return endEarly(JobOutcome::Refused);
        }
    }
    return true;
}

void ConfigSaveJob::begin()
{
    m_index = 0;
    m_objectIndex = 0;
    sendWrite();
}

void ConfigSaveJob::sendWrite()
{
    const ConfigChange &change = m_changes.at(m_index);
    send(ChainRequest{Cmd::FamilyValue, Cmd::ValuePut,
                      ValuePutPayload(change.identifier, change.value), ARG_CONFIG_PUT_RESULT,
                      CmdTimeout::ValuePut});
}

void ConfigSaveJob::sendCommit()
{
    const QString &object = m_objects.at(m_objectIndex);
    setStatus(tr("Save(%1) :").arg(object));
    send(ChainRequest{Cmd::FamilyValue, Cmd::ValuePut, CommitPayload(object),
                      ARG_CONFIG_PUT_SAVE_RESULT, CmdTimeout::ValuePut});
}

void ConfigSaveJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    if (code == ARG_CONFIG_PUT_RESULT)
        writeAnswered(answer);
    else if (code == ARG_CONFIG_PUT_SAVE_RESULT)
        commitAnswered(answer);
}

void ConfigSaveJob::writeAnswered(const ReaderAnswer &answer)
{
    const ConfigChange &change = m_changes.at(m_index);
    if (!answer.answered) {
        appendStatus(QStringLiteral("->TIMEOUT"));
        emit journal(tr("Ecriture de %1 sans réponse du lecteur").arg(change.identifier));
        failed(failureOf(answer));
        return;
    }
    if (!answer.accepted()) {
        setStatus(tr("Save: ->Echec"));
        emit journal(tr("Ecriture de %1 refusée par le lecteur").arg(change.identifier));
        failed(JobOutcome::Refused);
        return;
    }
    m_model.writeAccepted(change);
    m_written.append(change);
    const QString object = ObjectNumber(change.identifier);
    qDebug("OBJET TO SAVE:%s", qUtf8Printable(object));
    if (!object.isEmpty() && !m_objects.contains(object))
        m_objects.append(object);
    setStatus(tr("Save:%1->OK").arg(change.identifier));
    step();
    if (++m_index < m_changes.size()) {
        sendWrite();
        return;
    }
    if (m_objects.isEmpty()) {
        finish(JobOutcome::Done);
        return;
    }
    qDebug("IL Y A %d A SAUVEGARDER", int(m_objects.size()));
    setPhase(tr("Validation"), m_objects.size());
    sendCommit();
}

void ConfigSaveJob::commitAnswered(const ReaderAnswer &answer)
{
    const QString object = m_objects.at(m_objectIndex);
    if (!answer.answered) {
        appendStatus(QStringLiteral("->TIMEOUT"));
        emit journal(tr("Validation de l'objet %1 sans réponse du lecteur").arg(object));
        failed(failureOf(answer));
        return;
    }
    if (!answer.accepted()) {
        appendStatus(QStringLiteral("->FAILED"));
        emit journal(tr("Validation de l'objet %1 refusée par le lecteur").arg(object));
        failed(JobOutcome::Refused);
        return;
    }
    appendStatus(QStringLiteral("->OK"));
    m_model.objectCommitted(object, m_written);
    m_committed.append(object);
    step();
    if (++m_objectIndex < m_objects.size())
        sendCommit();
    else
        finish(JobOutcome::Done);
}

void ConfigSaveJob::aborted()
{
    appendStatus(QStringLiteral("->TIMEOUT"));
    markUncommittedAgain();
}

void ConfigSaveJob::failed(JobOutcome outcome)
{
    markUncommittedAgain();
    finish(outcome);
}

// Values written to objects that were not committed may be dropped by the
// reader: they are marked again, so that the next save writes them again.
void ConfigSaveJob::markUncommittedAgain()
{
    QList<ConfigChange> uncommitted;
    for (const ConfigChange &change : qAsConst(m_written)) {
        if (!m_committed.contains(ObjectNumber(change.identifier)))
            uncommitted.append(change);
    }
    m_model.markAgain(uncommitted);
}
