#include <QDebug>

#include "app/mainwindow.h"
#include "app/pollanswer.h"
#include "link/commands.h"
#include "tools/toolspage.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

namespace {
struct SupportState {
    const char *debugLine;
    const char *text;
};

// Texts of the support status codes 1 to 9; code 6 appends its detail.
const SupportState SupportStates[] = {
    {"Polling => Support Inséré Liste Noire", "En Liste Noire"},
    {"Polling => Support Inséré Crédit erreur", "Crédit En Erreur"},
    {"Polling => Support Inséré Validité erreur", "Date Validité Erreur"},
    {"Polling => Support dernière écriture erreur", "Dernière écriture erreur"},
    {"Polling => Support Intégrité erreur", "Intégrité erreur"},
    {"Polling => Support lecture donnée erreur", "Lecture erreur("},
    {"Polling => Support Inséré Inconnu", "Support Inconnu"},
    {"Polling => Support Inséré sécurité inconnue", "Sécurité inconnue"},
    {"Polling => Support Inséré erreur de protocole", "Erreur protocole"},
};
constexpr quint32 StatusReadError = 6;
}

bool MainWindow::CommandSend(char c1, char c2, const QString &payload, unsigned int arg,
                             unsigned int timeoutMs)
{
    return Session.send({c1, c2, payload, arg, timeoutMs});
}

void MainWindow::ComDataProcess(unsigned int kind, unsigned int code, const QString &text)
{
    if (kind == EVT_STATUS_TEXT) {
        if (code == 0)
            ui->SAI_ProtocoleStatus->setText(text);
        return;
    }
    if (kind != EVT_DATA)
        return;
    switch (code) {
    case ARG_POLLING_EVENT:
        PollingEventProcess(text);
        break;
    case ARG_POLLING_NO_SUPPORT:
        ui->SAI_SupportStatus->setText(tr("Aucun Support"));
        qDebug("Support Retiré");
        break;
    case ARG_STATUS_TIMEOUT:
        ui->BTN_BadgeCreate->setChecked(false);
        ui->BTN_BadgeRead->setChecked(false);
        ui->SAI_ProtocoleStatus->setText(tr("Statut timeout"));
        break;
    case ARG_PORT_STATE:
        // The session has ended a chain that the link took away.
        if (Protocole.ComIsOpen.load(std::memory_order_acquire))
            ReaderButtonsEnable();
        else
            ReaderButtonsDisable();
        break;
    default:
        break;
    }
}

void MainWindow::AnswerProcess(unsigned int code, const ReaderAnswer &answer)
{
    switch (code) {
    case ARG_BADGE_CREATE_RESULT:
        BadgeCreateResultProcess(answer);
        break;
    case ARG_BADGE_READ_RESULT:
        BadgeReadResultProcess(answer);
        break;
    case ARG_TRANSACTION_RESULT:
        TransactionResultProcess(answer);
        break;
    case ARG_COUPLEUR_BLOCK_RESULT:
        Tools->CoupleurBlockResultProcess(answer);
        break;
    case ARG_COUPLEUR_TRAILER_WRITE_RESULT:
        Tools->TrailerWriteResultProcess(answer);
        break;
    case ARG_COUPLEUR_TRAILER_READ_RESULT:
        Tools->TrailerReadResultProcess(answer);
        break;
    case ARG_BADGE_FORMAT_RESULT:
        Tools->BadgeFormatResultProcess(answer);
        break;
    case ARG_TEST_RESULT:
        Tools->TestResultProcess(answer);
        break;
    default:
        break;
    }
}

void MainWindow::PollingEventProcess(const QString &answer)
{
    BadgeRecordToForm(answer);
    const PollAnswer poll = PollAnswerParse(answer);
    if (!poll.support)
        return;

    const bool supportOk = poll.supportOk;
    const quint32 status = poll.status;
    bool creationAllowed = false;
    if (supportOk) {
        qDebug("Polling => Support Inséré OK");
        ui->SAI_SupportStatus->setText(tr("Support OK"));
    } else if (status >= 1 && status <= 9) {
        const SupportState &state = SupportStates[status - 1];
        qDebug("%s", state.debugLine);
        QString shown = tr(state.text);
        if (status == StatusReadError)
            shown += poll.detail + ")";
        ui->SAI_SupportStatus->setText(shown);
        creationAllowed = status == 5 || status == 7;
    }

    if (BadgeMode == 0) {
        if (supportOk || status <= 5) {
            BadgeFormClear();
            BadgeReadRequest(CmdTimeout::BadgeReadAfterPoll);
        }
    } else if (BadgeMode == 1) {
        if (ui->CKB_CreationForce->isChecked() || creationAllowed) {
            QString record;
            BadgeRecordFromForm(record);
            // Long texts in the form: the link would refuse the record, say so.
            if (!PayloadFits(record)) {
                ui->SAI_ProtocoleStatus->setText(tr("Création->ECHEC : enregistrement trop long"));
            } else if (CommandSend(Cmd::FamilyBadge, Cmd::BadgeCreate, record,
                                   ARG_BADGE_CREATE_RESULT, CmdTimeout::BadgeCreate)) {
                qDebug("COMDATAPROCESS: Demande de créer le badge");
                ui->SAI_ProtocoleStatus->setText(tr("Création ..."));
            }
        } else {
            BadgeFormClear();
            BadgeReadRequest(CmdTimeout::BadgeReadShort);
        }
    }
}

void MainWindow::BadgeReadRequest(unsigned int timeoutMs)
{
    if (CommandSend(Cmd::FamilyBadge, Cmd::BadgeRead, QString(), ARG_BADGE_READ_RESULT, timeoutMs)) {
        qDebug("LECTURE DU BADGE ...");
        ui->SAI_ProtocoleStatus->setText(tr("Lecture ..."));
    }
}

void MainWindow::BadgeCreateResultProcess(const ReaderAnswer &answer)
{
    if (!answer.answered) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->CMD ERREUR"));
    } else if (!answer.accepted()) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->ECHEC"));
    } else {
        ui->SAI_ProtocoleStatus->setText(tr("Création->OK"));
        if (ui->CKB_CreationForce->isChecked())
            UserNumberIncrement();
    }
}

void MainWindow::UserNumberIncrement()
{
    bool converted = false;
    const qulonglong user = ui->SAI_Usr->text().toULongLong(&converted);
    if (converted)
        ui->SAI_Usr->setText(QString::number(user + 1));
}

void MainWindow::BadgeReadResultProcess(const ReaderAnswer &answer)
{
    if (!answer.answered) {
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->CMD ERREUR"));
    } else if (!answer.accepted()) {
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->ECHEC"));
    } else {
        qDebug("Lecture:***%s***", qUtf8Printable(answer.text));
        BadgeRecordToForm(answer.text);
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->OK"));
    }
}

void MainWindow::TransactionResultProcess(const ReaderAnswer &answer)
{
    qDebug("ARG_TRANSACTION_RESULT");
    if (!answer.accepted()) {
        ui->SAI_ProtocoleStatus->setText(tr("Transaction->Echec"));
        return;
    }
    ui->SAI_ProtocoleStatus->setText(tr("Transaction->OK"));
    if (CommandSend(Cmd::FamilyBadge, Cmd::BadgeRead, QString(), ARG_BADGE_READ_RESULT,
                    CmdTimeout::BadgeReadShort))
        qDebug("LECTURE DU BADGE");
}
