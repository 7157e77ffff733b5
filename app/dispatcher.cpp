#include <QDebug>

#include "app/mainwindow.h"
#include "badge/badgepage.h"
#include "link/commands.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

bool MainWindow::CommandSend(char c1, char c2, const QString &payload, unsigned int arg,
                             unsigned int timeoutMs)
{
    if (!Protocole.Cmd.IsFree.load(std::memory_order_acquire))
        return false;
    return Protocole.CmdRequest(c1, c2, payload, arg, timeoutMs) != QProtocole::REQ_BUSY;
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
    // The badge branches fetch the answer and hand it to the page.
    bool ok = false;
    char status = 0;
    QString answer;
    switch (code) {
    case ARG_POLLING_EVENT:
        Badge->pollEvent(text);
        break;
    case ARG_POLLING_NO_SUPPORT:
        Badge->pollNoSupport();
        break;
    case ARG_BADGE_CREATE_RESULT:
        if (Protocole.CmdAnswer(ok, status))
            Badge->createAnswer(ok, status);
        break;
    case ARG_BADGE_READ_RESULT:
        if (Protocole.CmdAnswer(ok, status, answer))
            Badge->readAnswer(ok, status, answer);
        break;
    case ARG_TRANSACTION_RESULT:
        if (Protocole.CmdAnswer(ok, status))
            Badge->transactionAnswer(ok, status);
        break;
    case ARG_CONFIG_GET_RESULT:
        ConfigGetResultProcess();
        break;
    case ARG_CONFIG_PUT_RESULT:
        ConfigPutResultProcess();
        break;
    case ARG_CONFIG_PUT_SAVE_RESULT:
        ConfigCommitResultProcess();
        break;
    case ARG_FILE_LN_CLEAR_RESULT:
        BlackListClearResultProcess();
        break;
    case ARG_FILE_LN_ADD_RESULT:
        BlackListAddResultProcess();
        break;
    case ARG_FILE_LN_GET_RESULT:
        BlackListGetResultProcess();
        break;
    case ARG_COUPLEUR_BLOCK_RESULT:
        CoupleurBlockResultProcess();
        break;
    case ARG_COUPLEUR_TRAILER_WRITE_RESULT:
        TrailerWriteResultProcess();
        break;
    case ARG_COUPLEUR_TRAILER_READ_RESULT:
        TrailerReadResultProcess();
        break;
    case ARG_BADGE_FORMAT_RESULT:
        BadgeFormatResultProcess();
        break;
    case ARG_TEST_RESULT:
        TestResultProcess();
        break;
    case ARG_STATUS_TIMEOUT:
        Badge->pollTimeout();
        break;
    case ARG_PORT_STATE:
        if (Protocole.ComIsOpen.load(std::memory_order_acquire)) {
            ReaderButtonsEnable();
        } else {
            ReaderButtonsDisable();
            // A chain waiting for the slot would wait for ever.
            Chain.linkLost();
        }
        break;
    default:
        break;
    }
}
