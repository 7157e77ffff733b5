#include "blacklist/blacklistjobs.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <utility>

#include "blacklist/blacklisttext.h"
#include "link/commands.h"
#include "link/readeridentity.h"
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

namespace {
// The identity as read, a refused part empty: a reader that does not know
// its identity still has a list to keep, and stays itself while it answers
// the same.
ReaderIdentity IdentityOf(const QStringList &values)
{
    ReaderIdentity identity;
    const QStringList ids = ReaderIdentity::Identifiers();
    for (int i = 0; i < ids.size(); ++i)
        identity.take(ids.at(i), !values.value(i).isEmpty(), values.value(i));
    return identity;
}

// Who an entry names, for an entry given without its row.
QString EntryLabel(const QString &entry)
{
    QStringList cells;
    return BlackListEntryToCells(entry, &cells) ? BlackListRowLabel(cells) : QString();
}
}

void BlackListWriteJob::setTransfer(const BlackListTransfer &transfer)
{
    m_transfer = transfer;
}

void BlackListWriteJob::setEntries(const QStringList &entries)
{
    BlackListTransfer transfer;
    transfer.entries = entries;
    for (int i = 0; i < entries.size(); ++i) {
        transfer.rows << i;
        transfer.labels << EntryLabel(entries.at(i));
    }
    m_transfer = transfer;
}

QString BlackListWriteJob::readerIdentity() const
{
    return IdentityOf(m_identity).text();
}

QString BlackListWriteJob::phaseName() const
{
    return tr("LN Sauvegarde");
}

int BlackListWriteJob::phaseTotal() const
{
    return BlackListReader::ReadMaxEntries;
}

bool BlackListWriteJob::prepare()
{
    m_stage = Stage::Identity;
    m_end = End::Running;
    m_failure = JobOutcome::Done;
    m_identity.clear();
    m_identityRead.clear();
    m_old.clear();
    m_oldRows.clear();
    m_readBack.clear();
    m_backupPath.clear();
    m_clearSent = false;
    m_endSeen = false;
    m_sent = m_restored = m_checked = m_held = m_of = 0;
    const QStringList &entries = m_transfer.entries;
    // Checked before anything is sent: the reader keeps its list rather
    // than get part of this one.
    if (entries.size() > BlackListReader::ReadMaxEntries) {
        failure(tr("LN Ecriture : plus de %1 entrées").arg(BlackListReader::ReadMaxEntries));
        m_end = End::Unchanged;
        setStatus(tr("LN Put->ECHEC : plus de %1 entrées").arg(BlackListReader::ReadMaxEntries));
        return endEarly(JobOutcome::Refused);
    }
    for (int i = 0; i < entries.size(); ++i) {
        if (!PayloadFits(AddPayload(entries.at(i)))) {
            const int row = m_transfer.rows.value(i, i) + 1;
            setStatus(tr("LN Put->ECHEC : ligne %1 trop longue").arg(row));
            failure(tr("LN Ecriture de la ligne %1 refusée : ligne trop longue").arg(row));
            m_end = End::Unchanged;
            return endEarly(JobOutcome::Refused);
        }
    }
    return true;
}

// Every request goes through here: a stop asked for while the old list is
// being put back must not lose the step it held up.
void BlackListWriteJob::sendStep(const ChainRequest &request, const QString &name)
{
    m_pending = request;
    m_pendingName = name;
    send(request, name);
}

void BlackListWriteJob::sendIdentityRead()
{
    const QString identifier = ReaderIdentity::Identifiers().at(m_identityRead.size());
    sendStep(ReaderIdentity::ReadRequest(identifier), tr("Lecture de %1").arg(identifier));
}

void BlackListWriteJob::sendGet(int position, const QString &phase)
{
    sendStep(ChainRequest{Cmd::FamilyFile, Cmd::FileGet,
                          BlackListReader::ListFile + QStringLiteral(";Pos=") + QString::number(position),
                          ARG_FILE_LN_GET_RESULT, CmdTimeout::File},
             tr("%1 de la ligne %2").arg(phase).arg(position + 1));
}

void BlackListWriteJob::sendClear(const QString &name)
{
    sendStep(ChainRequest{Cmd::FamilyFile, Cmd::FileClear, BlackListReader::ListFile,
                          ARG_FILE_LN_CLEAR_RESULT, CmdTimeout::File},
             name);
}

void BlackListWriteJob::sendAdd(const QString &entry, const QString &name)
{
    sendStep(ChainRequest{Cmd::FamilyFile, Cmd::FileAdd, AddPayload(entry), ARG_FILE_LN_ADD_RESULT,
                          CmdTimeout::File},
             name);
}

void BlackListWriteJob::begin()
{
    setStatus(tr("LN Sauvegarde ..."));
    m_stage = Stage::Identity;
    sendIdentityRead();
}

void BlackListWriteJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    switch (m_stage) {
    case Stage::Identity:
    case Stage::Recheck:
        if (code == ARG_CONFIG_GET_RESULT)
            identityAnswered(answer);
        return;
    case Stage::Saving:
        if (code == ARG_FILE_LN_GET_RESULT)
            savingAnswered(answer);
        return;
    case Stage::Clearing:
        if (code == ARG_FILE_LN_CLEAR_RESULT)
            clearAnswered(answer);
        return;
    case Stage::Adding:
        if (code == ARG_FILE_LN_ADD_RESULT)
            addAnswered(answer);
        return;
    case Stage::Checking:
        if (code == ARG_FILE_LN_GET_RESULT)
            checkAnswered(answer);
        return;
    case Stage::RestoreClearing:
    case Stage::RestoreAdding:
    case Stage::RestoreChecking:
        restoreAnswered(code, answer);
        return;
    }
}

void BlackListWriteJob::identityAnswered(const ReaderAnswer &answer)
{
    if (!answer.answered) {
        stepFailed(answer);
        endUnchanged(failureOf(answer), tr("LN Sauvegarde->ECHEC"));
        return;
    }
    m_identityRead << (answer.accepted() ? answer.text : QString());
    if (m_identityRead.size() < ReaderIdentity::Identifiers().size()) {
        sendIdentityRead();
        return;
    }
    if (m_stage == Stage::Identity) {
        m_identity = m_identityRead;
        m_stage = Stage::Saving;
        sendGet(0, tr("LN Sauvegarde"));
        return;
    }
    if (m_identityRead != m_identity) {
        const QString changed = ReaderChangedText(IdentityOf(m_identity), IdentityOf(m_identityRead));
        failure(changed);
        endUnchanged(JobOutcome::Refused, changed);
        return;
    }
    startClear();
}

// The reader says "no entry here" as it refuses: the position is asked
// twice, so that one refusal cannot cut a list short.
bool BlackListWriteJob::listEnds(int position, const QString &phase)
{
    if (std::exchange(m_endSeen, false))
        return true;
    m_endSeen = true;
    sendGet(position, phase);
    return false;
}

void BlackListWriteJob::savingAnswered(const ReaderAnswer &answer)
{
    if (answer.answered && !answer.accepted()) {
        if (listEnds(m_old.size(), tr("LN Sauvegarde")))
            oldListRead();
        return;
    }
    m_endSeen = false;
    if (!answer.answered) {
        stepFailed(answer);
        endUnchanged(failureOf(answer), tr("LN Sauvegarde->ECHEC"));
        return;
    }
    QStringList cells;
    if (!BlackListEntryToCells(answer.text, &cells)) {
        failure(tr("LN Sauvegarde : entrée %1 illisible").arg(m_old.size() + 1));
        endUnchanged(JobOutcome::Refused, tr("LN Sauvegarde->ECHEC"));
        return;
    }
    if (m_old.size() >= BlackListReader::ReadMaxEntries) {
        failure(tr("LN Sauvegarde : plus de %1 entrées").arg(BlackListReader::ReadMaxEntries));
        endUnchanged(JobOutcome::Refused, tr("LN Sauvegarde->ECHEC"));
        return;
    }
    m_old << answer.text;
    m_oldRows << cells;
    step();
    sendGet(m_old.size(), tr("LN Sauvegarde"));
}

// The old list is whole: it is kept in a file and must be one the reader
// would take back, else nothing is cleared.
void BlackListWriteJob::oldListRead()
{
    for (int i = 0; i < m_old.size(); ++i) {
        if (!PayloadFits(AddPayload(m_old.at(i)))) {
            failure(tr("LN Sauvegarde : l'entrée %1 du lecteur ne pourrait pas lui être rendue").arg(i + 1));
            endUnchanged(JobOutcome::Refused, tr("LN Sauvegarde->ECHEC"));
            return;
        }
    }
    if (!m_backupFolder.isEmpty()) {
        QString error;
        m_backupPath = BlackListBackupWrite(m_backupFolder, m_identity.value(0), m_identity.value(1),
                                            m_oldRows, QDateTime::currentDateTime(), &error);
        if (m_backupPath.isEmpty()) {
            failure(tr("LN Sauvegarde : %1").arg(error));
            endUnchanged(JobOutcome::LocalError, tr("LN Sauvegarde->ECHEC"));
            return;
        }
        emit journal(tr("Liste noire du lecteur sauvegardée dans %1 (%2)")
                         .arg(QDir::toNativeSeparators(m_backupPath),
                              Counted(m_old.size(), tr("ligne"), tr("lignes"))));
    }
    m_stage = Stage::Recheck;
    m_identityRead.clear();
    sendIdentityRead();
}

void BlackListWriteJob::startClear()
{
    m_stage = Stage::Clearing;
    setPhase(tr("LN Ecriture"), m_transfer.entries.size());
    setStatus(tr("LN Put"));
    sendClear(tr("LN Suppression de la liste"));
    // A stop held the clear back: it never left.
    m_clearSent = m_stage == Stage::Clearing && isRunning();
}

void BlackListWriteJob::clearAnswered(const ReaderAnswer &answer)
{
    if (!answer.accepted()) {
        setStatus(tr("LN effacement->échec"));
        stepFailed(answer);
        restore(failureOf(answer));
        return;
    }
    setStatus(tr("LN effacement->OK"));
    if (m_transfer.entries.isEmpty()) {
        setStatus(tr("LN Aucun liste à envoyer11"));
        startCheck();
        return;
    }
    m_stage = Stage::Adding;
    sendAdd(m_transfer.entries.first(), tr("LN Ecriture de la ligne %1 (%2)")
                                            .arg(m_transfer.rows.value(0) + 1)
                                            .arg(m_transfer.labels.value(0)));
}

void BlackListWriteJob::addAnswered(const ReaderAnswer &answer)
{
    if (!answer.accepted()) {
        setStatus(tr("LN Add->ECHEC"));
        stepFailed(answer);
        restore(failureOf(answer));
        return;
    }
    setStatus(tr("LN Add->OK"));
    step();
    if (++m_sent < m_transfer.entries.size()) {
        sendAdd(m_transfer.entries.at(m_sent), tr("LN Ecriture de la ligne %1 (%2)")
                                                   .arg(m_transfer.rows.value(m_sent) + 1)
                                                   .arg(m_transfer.labels.value(m_sent)));
        return;
    }
    setStatus(tr("LN Add->FIN"));
    startCheck();
}

void BlackListWriteJob::startCheck()
{
    m_stage = Stage::Checking;
    m_readBack.clear();
    m_checked = 0;
    setPhase(tr("LN Vérification"), m_transfer.entries.size());
    setStatus(tr("LN Vérification ..."));
    sendGet(0, tr("LN Vérification"));
}

// Read back until the reader has no entry, or one more than was sent.
void BlackListWriteJob::checkAnswered(const ReaderAnswer &answer)
{
    const QStringList &sent = m_transfer.entries;
    if (!answer.answered) {
        stepFailed(answer);
        setStatus(tr("LN Vérification->ECHEC"));
        restore(failureOf(answer));
        return;
    }
    if (!answer.accepted() && !listEnds(m_readBack.size(), tr("LN Vérification")))
        return;
    if (answer.accepted()) {
        m_endSeen = false;
        m_readBack << answer.text;
        if (m_readBack.size() <= sent.size() && answer.text == sent.at(m_readBack.size() - 1))
            ++m_checked;
        step();
        if (m_readBack.size() <= sent.size()) {
            sendGet(m_readBack.size(), tr("LN Vérification"));
            return;
        }
    }
    const QString difference = BlackListFirstDifference(sent, m_readBack);
    if (!difference.isEmpty()) {
        failure(tr("LN Vérification : %1").arg(difference));
        setStatus(tr("LN Vérification->ECHEC"));
        restore(JobOutcome::CheckFailed);
        return;
    }
    setStatus(tr("LN Vérification->OK"));
    m_end = End::Done;
    finish(JobOutcome::Done);
}

void BlackListWriteJob::restore(JobOutcome why)
{
    // Nothing goes out on a lost link: what the reader holds is named.
    if (!session().isOpen()) {
        linkGone(why);
        return;
    }
    m_failure = why;
    m_restored = 0;
    m_readBack.clear();
    m_stage = Stage::RestoreClearing;
    setPhase(tr("LN Rétablissement"), m_old.size());
    setStatus(tr("LN Rétablissement ..."));
    sendClear(tr("LN Rétablissement : suppression de la liste"));
}

void BlackListWriteJob::restoreAnswered(unsigned int code, const ReaderAnswer &answer)
{
    const unsigned int expected = m_stage == Stage::RestoreClearing ? ARG_FILE_LN_CLEAR_RESULT
                                  : m_stage == Stage::RestoreAdding ? ARG_FILE_LN_ADD_RESULT
                                                                    : ARG_FILE_LN_GET_RESULT;
    if (code != expected)
        return;
    if (!answer.answered && m_stage == Stage::RestoreChecking) {
        // Every line went back, but the reader no longer says what it holds.
        stepFailed(answer);
        setStatus(tr("LN Rétablissement->ECHEC"));
        m_end = End::OldUnchecked;
        finish(failureOf(answer));
        return;
    }
    if (!answer.answered && !session().isOpen()) {
        stepFailed(answer);
        linkGone(JobOutcome::LinkLost);
        return;
    }
    if (!answer.answered || (!answer.accepted() && m_stage != Stage::RestoreChecking)) {
        stepFailed(answer);
        restoreFailed();
        return;
    }
    if (m_stage == Stage::RestoreAdding)
        ++m_restored;
    if (m_stage != Stage::RestoreChecking && m_restored < m_old.size()) {
        if (m_stage == Stage::RestoreAdding)
            step();
        m_stage = Stage::RestoreAdding;
        sendAdd(m_old.at(m_restored), tr("LN Rétablissement de la ligne %1").arg(m_restored + 1));
        return;
    }
    if (m_stage == Stage::RestoreAdding)
        step();
    if (m_stage != Stage::RestoreChecking) {
        m_stage = Stage::RestoreChecking;
        sendGet(0, tr("LN Rétablissement : vérification"));
        return;
    }
    if (!answer.accepted() && !listEnds(m_readBack.size(), tr("LN Rétablissement : vérification")))
        return;
    if (answer.accepted()) {
        m_endSeen = false;
        m_readBack << answer.text;
        if (m_readBack.size() <= m_old.size()) {
            sendGet(m_readBack.size(), tr("LN Rétablissement : vérification"));
            return;
        }
    }
    const QString difference = BlackListFirstDifference(m_old, m_readBack);
    if (!difference.isEmpty()) {
        failure(tr("LN Rétablissement : %1").arg(difference));
        setStatus(tr("LN Rétablissement->ECHEC"));
        int same = 0;
        while (same < m_readBack.size() && same < m_old.size() && m_readBack.at(same) == m_old.at(same))
            ++same;
        endPartial(same, m_old, tr("de la liste d'origine"));
        return;
    }
    setStatus(tr("LN Rétablissement->OK"));
    m_end = End::Restored;
    finish(m_failure);
}

// The reader would not take back its list: a clear it did not take leaves
// what was written of the new one.
void BlackListWriteJob::restoreFailed()
{
    setStatus(tr("LN Rétablissement->ECHEC"));
    if (m_stage == Stage::RestoreClearing) {
        failure(tr("LN Ecriture : effacement refusé, la liste d'origine n'a pas pu être rétablie"));
        endPartial(m_sent, m_transfer.entries, tr("de la nouvelle liste"));
        return;
    }
    endPartial(m_restored, m_old, tr("de la liste d'origine"));
}

void BlackListWriteJob::endUnchanged(JobOutcome outcome, const QString &status)
{
    setStatus(status);
    m_end = End::Unchanged;
    finish(outcome);
}

// Neither list could be reached: what the reader holds is named, with
// where the old list is kept.
void BlackListWriteJob::endPartial(int held, const QStringList &list, const QString &which)
{
    m_end = End::Partial;
    m_held = held;
    m_of = list.size();
    setPartial(list.mid(0, held));
    failure(tr("LN Ecriture : le lecteur tient %1 %2").arg(Counted(held, tr("ligne"), tr("lignes")), which));
    if (!m_backupPath.isEmpty())
        failure(tr("LN Ecriture : liste d'origine dans %1").arg(QDir::toNativeSeparators(m_backupPath)));
    finish(JobOutcome::Partial);
}

void BlackListWriteJob::aborted()
{
    linkGone(session().isOpen() ? JobOutcome::NoAnswer : JobOutcome::LinkLost);
}

// Nothing more can be sent: what the reader holds follows from the stage the
// write was at, and the request that went unanswered may have been done.
void BlackListWriteJob::linkGone(JobOutcome outcome)
{
    switch (m_stage) {
    case Stage::Identity:
    case Stage::Saving:
    case Stage::Recheck:
        endUnchanged(outcome, tr("LN Sauvegarde->ECHEC"));
        return;
    case Stage::Clearing:
        setStatus(tr("LN effacement->échec"));
        // Cleared or not, an empty list stays what it was.
        if (m_old.isEmpty()) {
            endUnchanged(outcome, tr("LN effacement->échec"));
            return;
        }
        failure(tr("LN Ecriture : effacement sans réponse, la liste d'origine est peut-être encore là"));
        endPartial(0, m_old, tr("de la liste d'origine"));
        return;
    case Stage::Adding:
        setStatus(tr("LN Add->ECHEC"));
        failure(tr("LN Ecriture : la ligne %1, envoyée sans réponse, y est peut-être aussi")
                    .arg(m_transfer.rows.value(m_sent) + 1));
        endPartial(m_sent, m_transfer.entries, tr("de la nouvelle liste"));
        return;
    case Stage::Checking:
        setStatus(tr("LN Vérification->ECHEC"));
        m_end = End::NewUnchecked;
        finish(outcome);
        return;
    case Stage::RestoreClearing:
        setStatus(tr("LN Rétablissement->ECHEC"));
        failure(tr("LN Ecriture : effacement sans réponse, la liste est peut-être déjà vide"));
        endPartial(m_sent, m_transfer.entries, tr("de la nouvelle liste"));
        return;
    case Stage::RestoreAdding:
        setStatus(tr("LN Rétablissement->ECHEC"));
        failure(tr("LN Ecriture : la ligne %1, envoyée sans réponse, y est peut-être aussi").arg(m_restored + 1));
        endPartial(m_restored, m_old, tr("de la liste d'origine"));
        return;
    case Stage::RestoreChecking:
        setStatus(tr("LN Rétablissement->ECHEC"));
        m_end = End::OldUnchecked;
        finish(outcome);
        return;
    }
}

// A stop before the clear leaves the reader as it was; after it, the old
// list is put back. A stop while it is put back changes nothing: the step
// it held up goes out.
void BlackListWriteJob::stopRequested()
{
    if (restoring()) {
        send(m_pending, m_pendingName);
        return;
    }
    if (!m_clearSent) {
        endUnchanged(JobOutcome::Interrupted, tr("LN Ecriture->interrompue"));
        return;
    }
    restore(JobOutcome::Interrupted);
}

QString BlackListWriteJob::outcomeText(JobOutcome outcome) const
{
    const QString name = tr("LN Ecriture");
    switch (m_end) {
    case End::Done: {
        QString text = OutcomeHead(name, outcome) + QStringLiteral(" : ")
                       + Counted(m_sent, tr("ligne écrite et relue"), tr("lignes écrites et relues"));
        if (m_transfer.skipped > 0)
            text += QStringLiteral(", ")
                    + Counted(m_transfer.skipped, tr("ligne vide ou en double non envoyée"),
                              tr("lignes vides ou en double non envoyées"));
        return text;
    }
    case End::Restored:
        return OutcomeHead(name, outcome == JobOutcome::Interrupted ? outcome : JobOutcome::Refused)
               + tr(" : liste d'origine rétablie (%1)").arg(Counted(m_old.size(), tr("ligne"), tr("lignes")));
    case End::NewUnchecked:
        return OutcomeHead(name, outcome) + tr(" : %1, non relues")
                                                .arg(Counted(m_sent, tr("ligne écrite"), tr("lignes écrites")));
    case End::OldUnchecked:
        return OutcomeHead(name, outcome)
               + tr(" : liste d'origine rétablie (%1), non relue")
                     .arg(Counted(m_old.size(), tr("ligne"), tr("lignes")));
    case End::Partial:
        return OutcomeHead(name, outcome) + tr(" : le lecteur ne tient que %1 sur %2")
                                                .arg(Counted(m_held, tr("ligne"), tr("lignes")))
                                                .arg(m_of);
    case End::Unchanged:
    case End::Running:
        break;
    }
    return OutcomeHead(name, outcome) + tr(" : liste du lecteur inchangée");
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
    m_endSeen = false;
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
    // "No entry here" is a refusal: asked twice, so that one refusal
    // cannot cut the list short.
    if (answer.answered && !answer.accepted()) {
        if (std::exchange(m_endSeen, false)) {
            listEnded();
            return;
        }
        m_endSeen = true;
        sendGet();
        return;
    }
    m_endSeen = false;
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
