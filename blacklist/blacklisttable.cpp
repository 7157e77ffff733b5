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
