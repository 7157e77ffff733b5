#include <QCheckBox>
#include <QDebug>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <array>
#include <utility>

#include "tools/toolspage.h"
#include "link/readersession.h"
#include "link/commands.h"
#include "tools/cardaccess.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

// Raw block and sector-trailer access, badge format (page "Expert").

namespace {
using AccessBoxes = std::array<std::array<QCheckBox *, 4>, 3>;

AccessBoxes Boxes(Ui::MainWindow *ui)
{
    return {{{ui->CKB_C1B0, ui->CKB_C1B1, ui->CKB_C1B2, ui->CKB_C1B3},
             {ui->CKB_C2B0, ui->CKB_C2B1, ui->CKB_C2B2, ui->CKB_C2B3},
             {ui->CKB_C3B0, ui->CKB_C3B1, ui->CKB_C3B2, ui->CKB_C3B3}}};
}

// Typed data makes the payload: one that the link would refuse is not sent,
// and the page says why.
bool DataFits(const QString &payload, QLineEdit *result)
{
    if (PayloadFits(payload))
        return true;
    result->setText(ToolsPage::tr("Erreur->Donnée trop longue"));
    return false;
}

// What a block or trailer answer shows: the reader's text, or, when it
// says nothing, whether it accepted; a time-out says so too.
QString RawResultText(bool ok, char status, const QString &answer, const char *operation)
{
    if (ok && !answer.isEmpty())
        return answer;
    const char *outcome = !ok ? "->CMD ERREUR" : status == Cmd::StatusOk ? "->OK" : "->ECHEC";
    return ToolsPage::tr(operation) + QLatin1String(outcome);
}
}

ToolsPage::ToolsPage(QWidget *window, Ui::MainWindow *ui, ReaderSession &session,
                     const QString &startFolder)
    : QObject(window), m_window(window), ui(ui), m_session(session), m_startFolder(startFolder),
      m_clock(session)
{
    connect(&m_clock, &ReaderJob::finished, this, &ToolsPage::clockEnded);
    connect(&m_clock, &ReaderJob::outcomeLine, this, &ToolsPage::journal);
    connect(&m_clock, &ReaderJob::journal, this, &ToolsPage::journal);
    connect(&m_clock, &ReaderJob::stepLine, this, &ToolsPage::stepLine);
}

bool ToolsPage::CommandSend(char c1, char c2, const QString &payload, unsigned int arg,
                            unsigned int timeoutMs)
{
    return m_session.send({c1, c2, payload, arg, timeoutMs});
}

// Steps shared by the four block commands. False: nothing is to be sent,
// and the page says why (or the slot is taken, which says nothing).
bool ToolsPage::BlockCommandPrepare(const char *debugLine, int *block, QString *key,
                                     const char *blockErrorLine)
{
    ui->SAI_ReaderRcv->clear();
    ui->SAI_BlockValue->clear();
    if (!m_session.engine().Cmd.IsFree.load(std::memory_order_acquire))
        return false;
    qDebug("%s", debugLine);
    if (!BlockNumber(ui->SAI_BlockNumber->text(), block)) {
        ui->SAI_ReaderSnd->setText(tr("Erreur->Bloque non défini"));
        if (blockErrorLine)
            qDebug("%s", blockErrorLine);
        return false;
    }
    if (!KeyText(ui->SAI_KeyToUsed->text(), key)) {
        ui->SAI_ReaderRcv->setText(tr("Erreur->Clé non valide"));
        return false;
    }
    if (!SingleField(ui->SAI_ReaderSnd->text())) {
        ui->SAI_ReaderRcv->setText(tr("Erreur->Donnée non valide"));
        return false;
    }
    return true;
}

void ToolsPage::readBlock()
{
    int block = 0;
    QString key;
    if (BlockCommandPrepare("READER Cmd Read", &block, &key))
        m_blockReadPending = CommandSend(Cmd::FamilyRaw, Cmd::RawRead,
                                         BlockReadPayload(block, ui->CKB_KeyType->isChecked(), key),
                                         ARG_COUPLEUR_BLOCK_RESULT, CmdTimeout::Raw);
}

void ToolsPage::writeBlock()
{
    int block = 0;
    QString key;
    if (!BlockCommandPrepare("WRITE Cmd Read", &block, &key, "TEST ISOK OFF"))
        return;
    BlockChangeSend(Cmd::RawWrite, block, key, BlockChange::Write);
}

void ToolsPage::changeValue(bool increment)
{
    int block = 0;
    QString key;
    if (!BlockCommandPrepare(increment ? "READER Cmd Increment" : "READER Cmd Decrement", &block,
                             &key))
        return;
    BlockChangeSend(increment ? Cmd::RawIncrement : Cmd::RawDecrement, block, key,
                    increment ? BlockChange::Increment : BlockChange::Decrement);
}

// Only what the card can take goes out; anything else is named and sent
// nowhere.
void ToolsPage::BlockChangeSend(char c2, int block, const QString &key, BlockChange change)
{
    const BlockChangeCheck check = BlockChangeChecked(block, change, ui->SAI_ReaderSnd->text());
    if (!check.refusal.isEmpty()) {
        ui->SAI_ReaderRcv->setText(check.refusal);
        return;
    }
    const bool keyB = ui->CKB_KeyType->isChecked();
    const QString payload =
        change == BlockChange::Write
            ? BlockWritePayload(block, keyB, key, check.data)
            : BlockValuePayload(block, keyB, key, change == BlockChange::Increment, check.data);
    if (DataFits(payload, ui->SAI_ReaderRcv)
        && CommandSend(Cmd::FamilyRaw, c2, payload, ARG_COUPLEUR_BLOCK_RESULT, CmdTimeout::Raw))
        m_blockReadPending = false;
}

// Shared start of the trailer commands: false when nothing is to be sent.
bool ToolsPage::TrailerCommandPrepare(const char *debugLine, int *block, QString *key)
{
    ui->SAI_TrailerReadResult->clear();
    if (!m_session.engine().Cmd.IsFree.load(std::memory_order_acquire))
        return false;
    qDebug("%s", debugLine);
    if (!SectorTrailerBlock(ui->SAI_Sector->text(), block)) {
        ui->SAI_TrailerReadResult->setText(tr("Erreur->Sector non défini"));
        return false;
    }
    if (KeyText(ui->SAI_KeyToUsed->text(), key))
        return true;
    ui->SAI_TrailerReadResult->setText(tr("Erreur->Clé non valide"));
    return false;
}

void ToolsPage::readTrailer()
{
    int block = 0;
    QString key;
    if (TrailerCommandPrepare("READER Cmd TRAILLER Read", &block, &key))
        CommandSend(Cmd::FamilyRaw, Cmd::RawRead,
                    BlockReadPayload(block, ui->CKB_KeyType->isChecked(), key),
                    ARG_COUPLEUR_TRAILER_READ_RESULT, CmdTimeout::Raw);
}

void ToolsPage::writeTrailer()
{
    int block = 0;
    QString key;
    if (!TrailerCommandPrepare("READER Cmd TRAILLER Write", &block, &key))
        return;
    QString keyA;
    QString keyB;
    if (!KeyText(ui->SAI_KeyA->text(), &keyA)) {
        ui->SAI_TrailerReadResult->setText(tr("Erreur->Clé A non valide"));
        return;
    }
    if (!KeyText(ui->SAI_KeyB->text(), &keyB)) {
        ui->SAI_TrailerReadResult->setText(tr("Erreur->Clé B non valide"));
        return;
    }
    AccessBits bits;
    const AccessBoxes boxes = Boxes(ui);
    for (int c = 0; c < 3; ++c)
        for (int b = 0; b < 4; ++b)
            bits.bit[c][b] = boxes[c][b]->isChecked();
    if (TrailerAccessLocked(bits.bit[0][3], bits.bit[1][3], bits.bit[2][3])
        && !LockConfirmed(block / 4)) {
        ui->SAI_TrailerReadResult->setText(tr("Trailer->annulé"));
        return;
    }
    CommandSend(Cmd::FamilyRaw, Cmd::RawWrite,
                TrailerWritePayload(block, ui->CKB_KeyType->isChecked(), key, keyA, bits, keyB),
                ARG_COUPLEUR_TRAILER_WRITE_RESULT, CmdTimeout::Raw);
}

// The card takes such bits without a word and keeps them for good.
bool ToolsPage::LockConfirmed(int sector)
{
    QMessageBox box(QMessageBox::Warning, tr("Attention"),
                    tr("Ces bits d'accès rendent le secteur %1 définitivement non modifiable. "
                       "Ecrire quand même ?")
                        .arg(sector),
                    QMessageBox::NoButton, m_window);
    QPushButton *yes = box.addButton(tr("Oui"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(tr("Non"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void ToolsPage::defaultKeys()
{
    const QString key = DefaultKeyText();
    ui->SAI_KeyToUsed->setText(key);
    ui->SAI_KeyA->setText(key);
    ui->SAI_KeyB->setText(key);
}

void ToolsPage::formatBadge()
{
    if (!m_session.engine().Cmd.IsFree.load(std::memory_order_acquire) || !FormatConfirmed())
        return;
    // The slot may have been taken while the question was open.
    if (CommandSend(Cmd::FamilyBadge, Cmd::BadgeFormat, QString(), ARG_BADGE_FORMAT_RESULT,
                    CmdTimeout::BadgeFormat))
        ui->SAI_CeationSecuriteResult->setText(tr("Formatage ..."));
    else
        ui->SAI_CeationSecuriteResult->setText(tr("Lecteur occupé : réessayer"));
}

// A format wipes the badge's record and its credit for good: the operator
// is told which badge the form names and the balance read from it.
bool ToolsPage::FormatConfirmed()
{
    const QString uid = ui->SAI_UID->text().trimmed();
    const QString question =
        uid.isEmpty()
            ? tr("Formater le badge présent sur le lecteur ? Son contenu et son crédit seront effacés.")
            : tr("Formater le badge %1 ? Son contenu et son crédit seront effacés.").arg(uid);
    QMessageBox box(QMessageBox::Warning, tr("Attention"), question,
                    QMessageBox::Yes | QMessageBox::No, m_window);
    box.button(QMessageBox::Yes)->setText(tr("Oui"));
    box.button(QMessageBox::No)->setText(tr("Non"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    // In creation mode the form's credit is the one to write, not a balance.
    const QString balance = ui->SAI_Credit->text().trimmed();
    if (!uid.isEmpty() && !balance.isEmpty() && !ui->BTN_BadgeCreate->isChecked())
        box.setInformativeText(tr("Solde lu sur ce badge : %1").arg(balance));
    return box.exec() == QMessageBox::Yes;
}

void ToolsPage::CoupleurBlockResultProcess(const ReaderAnswer &reply)
{
    qDebug("ARG_COUPLEUR READ RESULT");
    const bool ok = reply.answered;
    const char status = reply.status;
    const QString &answer = reply.text;
    ui->SAI_ReaderRcv->setText(RawResultText(ok, status, answer, "Bloc"));
    const bool read = std::exchange(m_blockReadPending, false);
    BlockBytes block{};
    qint32 value = 0;
    quint8 address = 0;
    if (read && ok && status == Cmd::StatusOk && BlockFromAnswer(answer, &block)
        && ValueFromBlock(block, &value, &address))
        ui->SAI_BlockValue->setText(tr("Valeur %1, adresse %2").arg(value).arg(address));
    else
        ui->SAI_BlockValue->clear();
}

void ToolsPage::TrailerWriteResultProcess(const ReaderAnswer &reply)
{
    qDebug("ARG_COUPLEUR READ RESULT");
    const bool ok = reply.answered;
    const char status = reply.status;
    const QString &answer = reply.text;
    ui->SAI_TrailerReadResult->setText(RawResultText(ok, status, answer, "Trailer"));
}

void ToolsPage::TrailerReadResultProcess(const ReaderAnswer &reply)
{
    qDebug("ARG_COUPLEUR READ RESULT");
    const bool ok = reply.answered;
    const char status = reply.status;
    const QString &answer = reply.text;
    ui->SAI_TrailerReadResult->setText(RawResultText(ok, status, answer, "Trailer"));
    // Anything but sixteen bytes would tick boxes and fill keys from noise,
    // ready to be written back.
    TrailerBytes trailer{};
    if (!ok || status != Cmd::StatusOk || !BlockFromAnswer(answer, &trailer)) {
        TrailerFieldsClear();
        return;
    }
    qDebug("ARG_COUPLEUR READ CMD **%x %x %x****", trailer[7], trailer[8], trailer[9]);
    const AccessBits bits = AccessBitsFromTrailer(trailer);
    const AccessBoxes boxes = Boxes(ui);
    for (int c = 0; c < 3; ++c)
        for (int b = 0; b < 4; ++b)
            boxes[c][b]->setChecked(bits.bit[c][b]);
    // A card reads key A as zeros, and key B too where it is a key: written
    // back, those zeros would replace the real keys. The operator types them.
    ui->SAI_KeyA->clear();
    if (TrailerKeyBReadable(bits.bit[0][3], bits.bit[1][3], bits.bit[2][3]))
        ui->SAI_KeyB->setText(ByteText(trailer.data() + TrailerSize - KeySize, KeySize));
    else
        ui->SAI_KeyB->clear();
}

// What a failed read would have filled: left as it was, the previous
// sector's keys and bits would be ready to go to this one.
void ToolsPage::TrailerFieldsClear()
{
    ui->SAI_KeyA->clear();
    ui->SAI_KeyB->clear();
    for (const auto &row : Boxes(ui))
        for (QCheckBox *box : row)
            box->setChecked(false);
}

void ToolsPage::BadgeFormatResultProcess(const ReaderAnswer &reply)
{
    const bool ok = reply.answered;
    const char status = reply.status;
    const QString &answer = reply.text;
    if (!ok)
        ui->SAI_CeationSecuriteResult->setText(tr("Formatage->CMD ECHEC"));
    else if (status != Cmd::StatusOk)
        ui->SAI_CeationSecuriteResult->setText(tr("Formatage->ECHEC(Sector=") + answer + ")");
    else
        ui->SAI_CeationSecuriteResult->setText(tr("Formatage->OK"));
    // Even a refused or unanswered format may have wiped sectors: the
    // form no longer says what the badge holds.
    emit badgeFormatted();
}
