#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// Load and save of the configuration with the reader: to be built.

void MainWindow::on_BTN_ReaderConfigLoad_clicked() {}
void MainWindow::on_BTN_ReaderConfigSave_clicked() {}
void MainWindow::on_BTN_ReaderConfigAll_clicked() {}
void MainWindow::on_treeWidget_itemChanged(QTreeWidgetItem *, int) {}

void MainWindow::ConfigGetResultProcess()
{
    bool ok = false;
    char status = 0;
    Protocole.CmdAnswer(ok, status);
}

void MainWindow::ConfigPutResultProcess()
{
    ConfigGetResultProcess();
}

void MainWindow::ConfigCommitResultProcess()
{
    ConfigGetResultProcess();
}
