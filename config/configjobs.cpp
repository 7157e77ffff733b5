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

// The first phase reads what the write will replace.
QString ConfigSaveJob::phaseName() const
{
    return tr("Lecture avant écriture");
}

int ConfigSaveJob::phaseTotal() const
{
    return m_before.size();
}

void ConfigSaveJob::setChanges(const QList<ConfigChange> &changes)
{
    m_changes = changes;
    m_changesGiven = true;
}

void ConfigSaveJob::setIdentity(const ReaderIdentity &identity)
{
    m_identity = identity;
    m_identityGiven = true;
}

int ConfigSaveJob::checkedCount() const
{
    return int(std::count_if(m_checks.cbegin(), m_checks.cend(),
                             [](const Check &check) { return check.equal(); }));
}

namespace {
ChainRequest ValueGetRequest(const QString &identifier)
{
    return ChainRequest{Cmd::FamilyValue, Cmd::ValueGet, identifier, ARG_CONFIG_GET_RESULT,
                        CmdTimeout::ValueGet};
}

ChainRequest ValuePutRequest(const QString &identifier, const QString &value)
{
    return ChainRequest{Cmd::FamilyValue, Cmd::ValuePut, ValuePutPayload(identifier, value),
                        ARG_CONFIG_PUT_RESULT, CmdTimeout::ValuePut};
}

ChainRequest CommitRequest(const QString &object)
{
    return ChainRequest{Cmd::FamilyValue, Cmd::ValuePut, CommitPayload(object),
                        ARG_CONFIG_PUT_SAVE_RESULT, CmdTimeout::ValuePut};
}
}

bool ConfigSaveJob::prepare()
{
    if (!m_changesGiven)
        m_changes = m_model.changes();
    m_changesGiven = false;
    if (!m_identityGiven)
        m_identity = m_model.readerIdentity();
    m_identityGiven = false;
    m_phase = Phase::Before;
    m_readIdentity = ReaderIdentity();
    m_identityChanged.clear();
    m_beforeReads.clear();
    m_original.clear();
    m_written.clear();
    m_objects.clear();
    m_committed.clear();
    m_checks.clear();
    m_backupPath.clear();
    m_failure = JobOutcome::Done;
    m_stopped = false;
    m_undo.clear();
    m_undoObjects.clear();
    m_undoWritten.clear();
    m_undoCommitted.clear();
    m_restored.clear();
    if (m_changes.isEmpty()) {
        m_phase = Phase::Ended;
        setStatus(tr("Aucune modification"));
        return endEarly(JobOutcome::Done);
    }
    // Checked before the first write: the reader gets all of it or nothing.
    for (const ConfigChange &change : qAsConst(m_changes)) {
        if (!PayloadFits(ValuePutPayload(change.identifier, change.value))) {
            m_phase = Phase::Ended;
            setStatus(tr("Save: ->Echec (%1 : valeur trop longue)").arg(change.identifier));
            failure(tr("Ecriture de %1 refusée : valeur trop longue").arg(change.identifier));
            return endEarly(JobOutcome::Refused);
        }
    }
    // The identity first, then every value the write replaces that is not
    // known: the backup and the way back need them.
    m_before = ReaderIdentity::Identifiers();
    QStringList identifiers;
    for (const ConfigChange &change : qAsConst(m_changes))
        identifiers << change.identifier;
    for (const QString &identifier : m_model.unknownToReader(identifiers))
        if (!m_before.contains(identifier))
            m_before << identifier;
    return true;
}

// A step sent, kept so that a stop that comes as it is due sends it all
// the same while the reader is being put back.
bool ConfigSaveJob::sendStep(const ChainRequest &request, const QString &stepName)
{
    m_lastRequest = request;
    m_lastStep = stepName;
    return send(request, stepName);
}

void ConfigSaveJob::begin()
{
    setStatus(tr("Lecture avant écriture->"));
    sendBefore();
}

void ConfigSaveJob::sendBefore()
{
    const QString &identifier = m_before.at(m_beforeReads.size());
    sendStep(ValueGetRequest(identifier), tr("Lecture de %1").arg(identifier));
}

void ConfigSaveJob::beforeAnswered(const ReaderAnswer &answer)
{
    const QString &identifier = m_before.at(m_beforeReads.size());
    // An identity the plan was made for that the reader no longer gives
    // cannot be compared: nothing is written.
    const bool identityUnconfirmed = answer.answered && !answer.accepted() && m_identity.known()
                                     && ReaderIdentity::Identifiers().contains(identifier);
    if (!answer.answered || identityUnconfirmed) {
        setStatus(tr("Save: ->Echec"));
        stepFailed(answer);
        finish(failureOf(answer));
        return;
    }
    m_beforeReads.append({identifier, answer.accepted(), answer.text});
    m_readIdentity.take(identifier, answer.accepted(), answer.text);
    step();
    if (m_beforeReads.size() < m_before.size())
        sendBefore();
    else
        beforeEnded();
}

void ConfigSaveJob::beforeEnded()
{
    // A plan made for one reader is never written into another.
    if (m_identity.known() && !m_identity.sameAs(m_readIdentity)) {
        m_identityChanged = ReaderChangedText(m_identity, m_readIdentity);
        m_model.forgetReader();
        setStatus(m_identityChanged);
        finish(JobOutcome::Refused);
        return;
    }
    m_model.applyReaderValues(m_beforeReads);
    // What the reader holds already is no write.
    QList<ConfigChange> changes;
    for (const ConfigChange &change : qAsConst(m_changes)) {
        const ConfigParameter *parameter = m_model.find(change.identifier);
        if (!parameter || !parameter->readerKnown || parameter->readerValue != change.value
            || parameter->pendingInReader)
            changes << change;
        if (parameter && parameter->readerKnown)
            m_original.insert(change.identifier, parameter->readerValue);
    }
    m_changes = changes;
    if (m_changes.isEmpty()) {
        setStatus(tr("Aucune modification"));
        finish(JobOutcome::Done);
        return;
    }
    if (!m_backupFolder.isEmpty() && !backup())
        return;
    m_phase = Phase::Write;
    m_index = 0;
    m_objectIndex = 0;
    setPhase(tr("Ecriture"), m_changes.size());
    sendWrite();
}

// No copy of what the write replaces, no write.
bool ConfigSaveJob::backup()
{
    QString error;
    m_backupPath = ConfigBackupWrite(m_backupFolder, m_model, QDateTime::currentDateTime(), &error);
    if (m_backupPath.isEmpty()) {
        setStatus(tr("Save: ->Echec"));
        failure(tr("Sauvegarde avant écriture impossible : %1").arg(error));
        finish(JobOutcome::LocalError);
        return false;
    }
    emit journal(tr("Sauvegarde avant écriture : ") + QFileInfo(m_backupPath).fileName());
    return true;
}

void ConfigSaveJob::sendWrite()
{
    const ConfigChange &change = m_changes.at(m_index);
    sendStep(ValuePutRequest(change.identifier, change.value),
             tr("Ecriture de %1").arg(change.identifier));
}

void ConfigSaveJob::sendCommit()
{
    const QString &object = m_objects.at(m_objectIndex);
    setStatus(tr("Save(%1) :").arg(object));
    sendStep(CommitRequest(object), tr("Validation de l'objet %1").arg(object));
}

void ConfigSaveJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    const bool read = code == ARG_CONFIG_GET_RESULT;
    const bool write = code == ARG_CONFIG_PUT_RESULT;
    const bool commit = code == ARG_CONFIG_PUT_SAVE_RESULT;
    switch (m_phase) {
    case Phase::Before:
        if (read)
            beforeAnswered(answer);
        break;
    case Phase::Write:
        if (write)
            writeAnswered(answer);
        break;
    case Phase::Commit:
        if (commit)
            commitAnswered(answer);
        break;
    case Phase::Check:
        if (read)
            checkAnswered(answer);
        break;
    case Phase::UndoWrite:
        if (write)
            undoWriteAnswered(answer);
        break;
    case Phase::UndoCommit:
        if (commit)
            undoCommitAnswered(answer);
        break;
    case Phase::UndoCheck:
        if (read)
            undoCheckAnswered(answer);
        break;
    case Phase::Ended:
        break;
    }
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
        // Unanswered, the write may have landed all the same.
        undo(failureOf(answer), !answer.answered);
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
        m_phase = Phase::Ended;
        finish(JobOutcome::Done);
        return;
    }
    qDebug("IL Y A %d A SAUVEGARDER", int(m_objects.size()));
    m_phase = Phase::Commit;
    setPhase(tr("Validation"), m_objects.size());
    sendCommit();
}

void ConfigSaveJob::commitAnswered(const ReaderAnswer &answer)
{
    const QString object = m_objects.at(m_objectIndex);
    if (!answer.accepted()) {
        appendStatus(answer.answered ? QStringLiteral("->FAILED") : QStringLiteral("->TIMEOUT"));
        stepFailed(answer);
        undo(failureOf(answer), false);
        return;
    }
    appendStatus(QStringLiteral("->OK"));
    m_model.objectCommitted(object, m_written);
    m_committed.append(object);
    step();
    if (++m_objectIndex < m_objects.size()) {
        sendCommit();
    } else if (m_check) {
        m_phase = Phase::Check;
        checkNext();
    } else {
        m_phase = Phase::Ended;
        finish(JobOutcome::Done);
    }
}

// The reader said it accepted and committed: what it kept is read back,
// one parameter at a time, in write order.
void ConfigSaveJob::checkNext()
{
    if (m_checks.isEmpty()) {
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
    sendStep(ValueGetRequest(identifier), tr("Vérification de %1").arg(identifier));
}

void ConfigSaveJob::checkAnswered(const ReaderAnswer &answer)
{
    Check &check = m_checks[m_checkIndex];
    check.answered = answer.accepted();
    check.refused = answer.answered && !answer.accepted();
    const ConfigParameter *parameter = m_model.find(check.identifier);
    // Compared as the editor shows them: "01" is the option "1".
    check.read = check.answered && parameter ? ConfigModel::EditorValue(*parameter, answer.text)
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
    m_phase = Phase::Ended;
    setStatus(allEqual ? tr("Vérification->OK") : tr("Vérification->ECHEC"));
    finish(allEqual ? JobOutcome::Done : JobOutcome::CheckFailed);
}

// A stop asked for before the first write ends the job there; after it,
// the reader is put back as for a failure.
void ConfigSaveJob::stopRequested()
{
    switch (m_phase) {
    case Phase::Before:
        m_phase = Phase::Ended;
        setStatus(tr("Save: ->Interrompu"));
        finish(JobOutcome::Interrupted);
        return;
    case Phase::Write:
    case Phase::Commit:
    case Phase::Check:
        m_stopped = true;
        undo(JobOutcome::Interrupted, false);
        return;
    case Phase::UndoWrite:
    case Phase::UndoCommit:
    case Phase::UndoCheck:
        // Already on its way back: the step goes out as planned.
        send(m_lastRequest, m_lastStep);
        return;
    case Phase::Ended:
        return;
    }
}

void ConfigSaveJob::undo(JobOutcome outcome, bool inFlightMayHaveLanded)
{
    m_failure = outcome;
    collectUndo(inFlightMayHaveLanded);
    if (m_undo.isEmpty()) {
        m_phase = Phase::Ended;
        finish(outcome);
        return;
    }
    if (!session().isOpen()) {
        endPartial();
        return;
    }
    m_phase = Phase::UndoWrite;
    m_undoIndex = 0;
    setPhase(tr("Remise en état"), m_undo.size());
    setStatus(tr("Remise en état->"));
    sendUndoWrite();
}

// Every parameter written, and the one in flight when it may have landed.
void ConfigSaveJob::collectUndo(bool inFlightMayHaveLanded)
{
    m_undo.clear();
    for (const ConfigChange &change : qAsConst(m_written))
        if (!m_undo.contains(change.identifier))
            m_undo << change.identifier;
    if (inFlightMayHaveLanded && m_phase == Phase::Write) {
        const QString &identifier = m_changes.at(m_index).identifier;
        if (!m_undo.contains(identifier))
            m_undo << identifier;
    }
    m_undoObjects.clear();
    for (const QString &identifier : qAsConst(m_undo)) {
        const QString object = ObjectNumber(identifier);
        if (!object.isEmpty() && !m_undoObjects.contains(object))
            m_undoObjects << object;
    }
}

void ConfigSaveJob::sendUndoWrite()
{
    // A value the reader gave nobody cannot be put back: named at the end.
    while (m_undoIndex < m_undo.size() && !m_original.contains(m_undo.at(m_undoIndex)))
        ++m_undoIndex;
    if (m_undoIndex >= m_undo.size()) {
        m_phase = Phase::UndoCommit;
        m_undoIndex = 0;
        sendUndoCommit();
        return;
    }
    const QString &identifier = m_undo.at(m_undoIndex);
    sendStep(ValuePutRequest(identifier, m_original.value(identifier)),
             tr("Remise en état de %1").arg(identifier));
}

void ConfigSaveJob::undoWriteAnswered(const ReaderAnswer &answer)
{
    if (answer.accepted()) {
        m_undoWritten << m_undo.at(m_undoIndex);
    } else {
        stepFailed(answer);
        // A reader that no longer answers is not asked again and again.
        if (!answer.answered) {
            endPartial();
            return;
        }
    }
    step();
    ++m_undoIndex;
    sendUndoWrite();
}

void ConfigSaveJob::sendUndoCommit()
{
    if (m_undoIndex >= m_undoObjects.size()) {
        m_phase = Phase::UndoCheck;
        m_undoIndex = 0;
        sendUndoCheck();
        return;
    }
    const QString &object = m_undoObjects.at(m_undoIndex);
    sendStep(CommitRequest(object), tr("Validation de l'objet %1").arg(object));
}

void ConfigSaveJob::undoCommitAnswered(const ReaderAnswer &answer)
{
    if (answer.accepted()) {
        m_undoCommitted << m_undoObjects.at(m_undoIndex);
    } else {
        stepFailed(answer);
        if (!answer.answered) {
            endPartial();
            return;
        }
    }
    ++m_undoIndex;
    sendUndoCommit();
}

void ConfigSaveJob::sendUndoCheck()
{
    while (m_undoIndex < m_undo.size() && !m_undoWritten.contains(m_undo.at(m_undoIndex)))
        ++m_undoIndex;
    if (m_undoIndex >= m_undo.size()) {
        undoEnded();
        return;
    }
    const QString &identifier = m_undo.at(m_undoIndex);
    sendStep(ValueGetRequest(identifier), tr("Vérification de %1").arg(identifier));
}

void ConfigSaveJob::undoCheckAnswered(const ReaderAnswer &answer)
{
    const QString &identifier = m_undo.at(m_undoIndex);
    const ConfigParameter *parameter = m_model.find(identifier);
    const QString original = m_original.value(identifier);
    if (answer.accepted() && parameter && ConfigModel::EditorValue(*parameter, answer.text) == original
        && m_undoCommitted.contains(ObjectNumber(identifier))) {
        m_restored << identifier;
    } else if (!answer.answered) {
        stepFailed(answer);
        endPartial();
        return;
    }
    ++m_undoIndex;
    sendUndoCheck();
}

void ConfigSaveJob::undoEnded()
{
    if (m_restored.size() < m_undo.size()) {
        endPartial();
        return;
    }
    for (const QString &identifier : qAsConst(m_undo))
        m_model.writeUndone(identifier, m_original.value(identifier));
    m_phase = Phase::Ended;
    setStatus(outcomeText(m_failure));
    finish(m_failure);
}

// What could not be put back is named, and no longer taken as known.
void ConfigSaveJob::endPartial()
{
    QStringList left;
    for (const QString &identifier : qAsConst(m_undo)) {
        if (m_restored.contains(identifier)) {
            m_model.writeUndone(identifier, m_original.value(identifier));
        } else {
            m_model.readerValueLost(identifier);
            left << identifier;
        }
    }
    setPartial(left);
    m_phase = Phase::Ended;
    setStatus(outcomeText(JobOutcome::Partial));
    finish(JobOutcome::Partial);
}

// "3.0.1, 10.1 en attente dans le lecteur" for values written and not
// committed since; "13.6 modifié dans le lecteur" for the others.
QString ConfigSaveJob::partialText() const
{
    QStringList pending;
    QStringList changed;
    for (const QString &identifier : partial()) {
        const QString object = ObjectNumber(identifier);
        const bool undoWritten = m_undoWritten.contains(identifier);
        const bool committed = undoWritten ? m_undoCommitted.contains(object)
                                           : m_committed.contains(object)
                                                 || m_undoCommitted.contains(object);
        (committed ? changed : pending) << identifier;
    }
    QStringList parts;
    if (!pending.isEmpty())
        parts << tr("%1 en attente dans le lecteur").arg(pending.join(QStringLiteral(", ")));
    if (!changed.isEmpty())
        parts << (changed.size() > 1 ? tr("%1 modifiés dans le lecteur") : tr("%1 modifié dans le lecteur"))
                     .arg(changed.join(QStringLiteral(", ")));
    return parts.join(QStringLiteral(" ; "));
}

void ConfigSaveJob::aborted()
{
    appendStatus(QStringLiteral("->TIMEOUT"));
    switch (m_phase) {
    case Phase::Write:
    case Phase::Commit:
    case Phase::UndoWrite:
    case Phase::UndoCommit:
    case Phase::UndoCheck:
        // The chain is over: nothing more can go out to put the reader back.
        if (!undoing()) {
            m_failure = session().isOpen() ? JobOutcome::NoAnswer : JobOutcome::LinkLost;
            collectUndo(m_phase == Phase::Write);
        }
        if (m_undo.isEmpty())
            m_phase = Phase::Ended;
        else
            endPartial();
        return;
    case Phase::Before:
    case Phase::Check:
    case Phase::Ended:
        m_phase = Phase::Ended;
        return;
    }
}

QString ConfigSaveJob::outcomeText(JobOutcome outcome) const
{
    const QString save = tr("Save");
    const QString failed = save + QStringLiteral("->ECHEC : ");
    if (!m_identityChanged.isEmpty())
        return failed + m_identityChanged;
    if (outcome == JobOutcome::Partial)
        return failed + partialText();
    const QString head = OutcomeHead(save, outcome) + QStringLiteral(" : ");
    if (m_changes.isEmpty())
        return head + tr("aucune modification");
    if (outcome != JobOutcome::Done && !m_undo.isEmpty() && m_restored.size() == m_undo.size())
        return (outcome == JobOutcome::Interrupted ? OutcomeHead(save, outcome) + QStringLiteral(" : ")
                                                   : failed)
               + tr("lecteur remis dans son état d'origine (%1)")
                     .arg(Counted(m_restored.size(), tr("paramètre"), tr("paramètres")));
    QStringList counts{
        CountedOf(m_written.size(), m_changes.size(), tr("paramètre écrit"), tr("paramètres écrits"))};
    if (outcome != JobOutcome::Done && m_written.isEmpty())
        return head + tr("lecteur inchangé (%1)").arg(counts.first());
    if (!m_objects.isEmpty())
        counts << CountedOf(m_committed.size(), m_objects.size(), tr("objet validé"), tr("objets validés"));
    if (!m_checks.isEmpty())
        counts << CountedOf(checkedCount(), m_checks.size(), tr("vérifié"), tr("vérifiés"));
    return head + counts.join(QStringLiteral(", "));
}
