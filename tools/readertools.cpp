#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// Reader clock, output tests and firmware file: to be built.

void MainWindow::on_BTN_DateHeureMAJ_clicked() {}
void MainWindow::on_BTN_TestC1_clicked() {}
void MainWindow::on_BTN_TestC2_clicked() {}
void MainWindow::on_BTN_FirmwareFile_clicked() {}

void MainWindow::TestResultProcess()
{
    bool ok = false;
    char status = 0;
    Protocole.CmdAnswer(ok, status);
}
