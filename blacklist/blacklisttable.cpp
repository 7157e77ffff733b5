#include <QTableWidget>

#include "app/mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::BlackListTablePrepare()
{
    QTableWidget *table = ui->TABLE_BlackList;
    table->setAlternatingRowColors(true);
    table->setRowCount(0);
    table->setColumnCount(5);
    table->setSortingEnabled(false);
    table->setHorizontalHeaderLabels(tr("Date;Uid;Utilisateur;Groupe;Raison").split(';'));
}

// Table and file slots: to be built.
void MainWindow::on_BTN_BlackListNew_clicked() {}
void MainWindow::on_BTN_BlackListDelete_clicked() {}
void MainWindow::on_BTN_BlackListWriteToFile_clicked() {}
void MainWindow::on_BTN_BlackListReadFromFile_clicked() {}
