#include "config/configjobs.h"

#include <QDebug>
#include <QFileInfo>
#include <algorithm>

#include "config/configstore.h"
#include "link/commands.h"
#include "link/readersession.h"
#include "util/textutil.h"

ConfigReadJob::ConfigReadJob(ReaderSession &session, QObject *parent)
    : ConfigReadJob(session, CHAIN_CONFIG_READ, parent)
{
}

ConfigReadJob::ConfigReadJob(ReaderSession &session, ChainId chain, QObject *parent)
    : ReaderJob(session, chain, parent)
{
}

void ConfigReadJob::setIdentifiers(const QStringList &identifiers, const QString &phaseName)
{
    m_identifiers = identifiers;
    m_phaseName = phaseName;
}

bool ConfigReadJob::prepare()
{
    m_reads.clear();
    return !m_identifiers.isEmpty() || endEarly(JobOutcome::Done);
}

void ConfigReadJob::begin()
{
    readsStarting();
    sendRead();
}

void ConfigReadJob::sendRead()
{
    const QString &identifier = m_identifiers.at(m_reads.size());
    send(ChainRequest{Cmd::FamilyValue, Cmd::ValueGet, identifier, ARG_CONFIG_GET_RESULT,
                      CmdTimeout::ValueGet},
         tr("Lecture de %1").arg(identifier));
}

void ConfigReadJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    if (code != ARG_CONFIG_GET_RESULT)
        return;
    const QString &identifier = m_identifiers.at(m_reads.size());
    if (!answer.answered) {
        stepFailed(answer);
        unanswered();
        finish(failureOf(answer));
        return;
    }
    m_reads.append({identifier, answer.accepted(), answer.text});
    readAnswered(m_reads.last());
    step();
    if (m_reads.size() < m_identifiers.size()) {
        nextRead(m_identifiers.at(m_reads.size()));
        sendRead();
    } else {
        allRead();
    }
}

QString ConfigReadJob::doneHead() const
{
    return OutcomeHead(m_phaseName, JobOutcome::Done);
}

// A refused parameter has no value: the reader may not know it. Named,
// since a file of this load will lack it.
QString ConfigReadJob::outcomeText(JobOutcome outcome) const
{
    if (outcome != JobOutcome::Done)
        return OutcomeHead(m_phaseName, outcome) + QStringLiteral(" : ")
               + CountedOf(m_reads.size(), m_identifiers.size(), tr("paramètre lu"), tr("paramètres lus"));
    QStringList refused;
    for (const ConfigRead &read : m_reads)
        if (!read.accepted)
            refused << read.identifier;
    // A parameter shown twice in the tree is read twice.
    refused.removeDuplicates();
    QString text = doneHead() + QStringLiteral(" : ")
                   + Counted(m_reads.size(), tr("paramètre"), tr("paramètres"));
    if (!refused.isEmpty())
        text += QStringLiteral(", %1 (%2)").arg(Counted(refused.size(), tr("refusé"), tr("refusés")),
                                                refused.join(QStringLiteral(", ")));
    return text;
}

ConfigLoadJob::ConfigLoadJob(ReaderSession &session, ConfigModel &model, QObject *parent)
    : ConfigReadJob(session, CHAIN_CONFIG_LOAD, parent), m_model(model)
{
}

bool ConfigLoadJob::prepare()
{
    setIdentifiers(m_model.itemOrder(), tr("Lecture"));
    return ConfigReadJob::prepare();
}

void ConfigLoadJob::readsStarting()
{
    m_timer.start();
    setStatus(tr("GetValue->"));
}

void ConfigLoadJob::readAnswered(const ConfigRead &read)
{
    appendStatus(read.accepted ? QStringLiteral("->OK") : QStringLiteral("->UNKNOWN"));
}

void ConfigLoadJob::nextRead(const QString &identifier)
{
    setStatus(tr("Get value (%1)").arg(identifier));
}

QString ConfigLoadJob::doneHead() const
{
    return tr("Lecture Ok");
}

void ConfigLoadJob::unanswered()
{
    appendStatus(QStringLiteral("->TIMEOUT"));
}

void ConfigLoadJob::allRead()
{
    qDebug("Durée du chargement %ld", long(m_timer.elapsed()));
    m_model.applyReaderLoad(reads());
    setStatus(doneHead());
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

void ConfigSaveJob::setChanges(const QList<ConfigChange> &changes)
{
    m_changes = changes;
    m_changesGiven = true;
}

bool ConfigSaveJob::prepare()
{
    if (!m_changesGiven)
        m_changes = m_model.changes();
    m_changesGiven = false;
    m_written.clear();
    m_objects.clear();
    m_committed.clear();
    m_checks.clear();
    m_checking = false;
    m_backupPath.clear();
    if (m_changes.isEmpty()) {
        setStatus(tr("Aucune modification"));
        return endEarly(JobOutcome::Done);
    }
    // Checked before the first write: the reader gets all of it or nothing.
    for (const ConfigChange &change : qAsConst(m_changes)) {
        if (!PayloadFits(ValuePutPayload(change.identifier, change.value))) {
            setStatus(tr("Save: ->Echec (%1 : valeur trop longue)").arg(change.identifier));
            failure(tr("Ecriture de %1 refusée : valeur trop longue").arg(change.identifier));
            return endEarly(JobOutcome::Refused);
        }
    }
    return m_backupFolder.isEmpty() || backup();
}

// No copy of what the write replaces, no write.
bool ConfigSaveJob::backup()
{
    QString error;
    m_backupPath = ConfigBackupWrite(m_backupFolder, m_model, QDateTime::currentDateTime(), &error);
    if (m_backupPath.isEmpty()) {
        setStatus(tr("Save: ->Echec"));
        failure(tr("Sauvegarde avant écriture impossible : %1").arg(error));
        return endEarly(JobOutcome::LocalError);
    }
    emit journal(tr("Sauvegarde avant écriture : ") + QFileInfo(m_backupPath).fileName());
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
                      CmdTimeout::ValuePut},
         tr("Ecriture de %1").arg(change.identifier));
}

void ConfigSaveJob::sendCommit()
{
    const QString &object = m_objects.at(m_objectIndex);
    setStatus(tr("Save(%1) :").arg(object));
    send(ChainRequest{Cmd::FamilyValue, Cmd::ValuePut, CommitPayload(object),
                      ARG_CONFIG_PUT_SAVE_RESULT, CmdTimeout::ValuePut},
         tr("Validation de l'objet %1").arg(object));
}

void ConfigSaveJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    if (m_checking) {
        if (code == ARG_CONFIG_GET_RESULT)
            checkAnswered(answer);
        return;
    }
    if (code == ARG_CONFIG_PUT_RESULT)
        writeAnswered(answer);
    else if (code == ARG_CONFIG_PUT_SAVE_RESULT)
        commitAnswered(answer);
}

void ConfigSaveJob::writeAnswered(const ReaderAnswer &answer)
{
    const ConfigChange &change = m_changes.at(m_index);
    if (!answer.accepted()) {
        if (answer.answered)
            setStatus(tr("Save: ->Echec"));
        else
            appendStatus(QStringLiteral("->TIMEOUT"));
        stepFailed(answer);
        failed(failureOf(answer));
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
    if (!answer.accepted()) {
        appendStatus(answer.answered ? QStringLiteral("->FAILED") : QStringLiteral("->TIMEOUT"));
        stepFailed(answer);
        failed(failureOf(answer));
        return;
    }
    appendStatus(QStringLiteral("->OK"));
    m_model.objectCommitted(object, m_written);
    m_committed.append(object);
    step();
    if (++m_objectIndex < m_objects.size())
        sendCommit();
    else if (m_check)
        checkNext();
    else
        finish(JobOutcome::Done);
}

// The reader said it accepted and committed: what it kept is read back,
// one parameter at a time, in write order.
void ConfigSaveJob::checkNext()
{
    if (!m_checking) {
        m_checking = true;
        for (const ConfigChange &change : qAsConst(m_written)) {
            const auto same = [&](const Check &check) { return check.identifier == change.identifier; };
            const auto it = std::find_if(m_checks.begin(), m_checks.end(), same);
            if (it == m_checks.end())
                m_checks.append({change.identifier, change.value, false, false, QString()});
            else
                it->written = change.value;  // the last write counts
        }
        m_checkIndex = 0;
        setPhase(tr("Vérification"), m_checks.size());
        setStatus(tr("Vérification->"));
    }
    if (m_checkIndex >= m_checks.size()) {
        checkEnded();
        return;
    }
    const QString &identifier = m_checks.at(m_checkIndex).identifier;
    send(ChainRequest{Cmd::FamilyValue, Cmd::ValueGet, identifier, ARG_CONFIG_GET_RESULT,
                      CmdTimeout::ValueGet},
         tr("Vérification de %1").arg(identifier));
}

void ConfigSaveJob::checkAnswered(const ReaderAnswer &answer)
{
    Check &check = m_checks[m_checkIndex];
    check.answered = answer.accepted();
    check.refused = answer.answered && !answer.accepted();
    const ConfigParameter *parameter = m_model.find(check.identifier);
    // Compared as the editor shows them: "1" and "01" check the same box.
    check.read = check.answered && parameter
                     ? ConfigModel::EditorValue(*parameter, answer.text, answer.text)
                     : answer.text;
    step();
    ++m_checkIndex;
    checkNext();
}

void ConfigSaveJob::checkEnded()
{
    bool allEqual = true;
    for (const Check &check : qAsConst(m_checks)) {
        if (check.equal())
            continue;
        allEqual = false;
        m_model.checkFailed(check.identifier, check.read, check.answered);
        if (check.answered)
            failure(tr("Vérification : %1 lu %2, écrit %3")
                        .arg(check.identifier, check.read, check.written));
        else if (check.refused)
            failure(tr("Vérification : %1 refusée par le lecteur, écrit %2")
                        .arg(check.identifier, check.written));
        else
            failure(tr("Vérification : %1 sans réponse, écrit %2").arg(check.identifier, check.written));
    }
    m_checking = false;
    setStatus(allEqual ? tr("Vérification->OK") : tr("Vérification->ECHEC"));
    finish(allEqual ? JobOutcome::Done : JobOutcome::CheckFailed);
}

void ConfigSaveJob::aborted()
{
    appendStatus(QStringLiteral("->TIMEOUT"));
    markUncommittedAgain();
    m_checking = false;
}

QString ConfigSaveJob::outcomeText(JobOutcome outcome) const
{
    const QString head = OutcomeHead(tr("Save"), outcome) + QStringLiteral(" : ");
    if (m_changes.isEmpty())
        return head + tr("aucune modification");
    QStringList counts{
        CountedOf(m_written.size(), m_changes.size(), tr("paramètre écrit"), tr("paramètres écrits"))};
    if (!m_objects.isEmpty())
        counts << CountedOf(m_committed.size(), m_objects.size(), tr("objet validé"), tr("objets validés"));
    if (!m_checks.isEmpty()) {
        const int equal = int(std::count_if(m_checks.cbegin(), m_checks.cend(),
                                            [](const Check &check) { return check.equal(); }));
        counts << CountedOf(equal, m_checks.size(), tr("vérifié"), tr("vérifiés"));
    }
    return head + counts.join(QStringLiteral(", "));
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
