#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// Raw block and sector-trailer access, badge format: to be built.

void MainWindow::on_BTN_ReaderRead_clicked() {}
void MainWindow::on_BTN_ReaderWrite_clicked() {}
void MainWindow::on_BTN_ReaderIncrement_clicked() {}
void MainWindow::on_BTN_ReaderDecrement_clicked() {}
void MainWindow::on_BTN_TraillerRead_clicked() {}
void MainWindow::on_BTN_TraillerWrite_clicked() {}
void MainWindow::on_BTN_TraillerDefault_clicked() {}
void MainWindow::on_BTN_BadgeFormat_clicked() {}

void MainWindow::CoupleurBlockResultProcess()
{
    bool ok = false;
    char status = 0;
    Protocole.CmdAnswer(ok, status);
}

void MainWindow::TrailerWriteResultProcess()
{
    CoupleurBlockResultProcess();
}

void MainWindow::TrailerReadResultProcess()
{
    CoupleurBlockResultProcess();
}

void MainWindow::BadgeFormatResultProcess()
{
    CoupleurBlockResultProcess();
}
