#include <QDebug>

#include "app/mainwindow.h"
#include "badge/badgepage.h"
#include "link/commands.h"
#include "tools/toolspage.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

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
        Badge->pollEvent(text);
        break;
    case ARG_POLLING_NO_SUPPORT:
        Badge->pollNoSupport();
        break;
    case ARG_STATUS_TIMEOUT:
        Badge->pollTimeout();
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
        Badge->createAnswer(answer.answered, answer.status);
        break;
    case ARG_BADGE_READ_RESULT:
        Badge->readAnswer(answer.answered, answer.status, answer.text);
        break;
    case ARG_TRANSACTION_RESULT:
        Badge->transactionAnswer(answer.answered, answer.status, answer.text);
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
