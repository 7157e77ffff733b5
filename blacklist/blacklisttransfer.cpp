#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// Transfer of the blacklist to list file 5 and its read-back: to be built.

void MainWindow::on_BTN_BlackListWriteToSupport_clicked() {}
void MainWindow::on_BTN_BlackListReadFromSupport_clicked() {}

void MainWindow::BlackListClearResultProcess()
{
    bool ok = false;
    char status = 0;
    Protocole.CmdAnswer(ok, status);
}

void MainWindow::BlackListAddResultProcess()
{
    BlackListClearResultProcess();
}

void MainWindow::BlackListGetResultProcess()
{
    BlackListClearResultProcess();
}
