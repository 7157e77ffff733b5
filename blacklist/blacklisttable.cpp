#include <QDate>
#include <QDir>
#include <QTableWidget>

#include "app/mainwindow.h"
#include "blacklist/blacklistdelegate.h"
#include "blacklist/blacklisttext.h"
#include "ui_mainwindow.h"

void MainWindow::BlackListTablePrepare()
{
    QTableWidget *table = ui->TABLE_BlackList;
    table->setAlternatingRowColors(true);
    table->setRowCount(0);
    table->setColumnCount(BlackList::ColumnCount);
    table->setSortingEnabled(false);
    table->setHorizontalHeaderLabels(tr("Date;Uid;Utilisateur;Groupe;Raison").split(';'));
    table->setItemDelegate(new BlackListItemDelegate(table));
}

QString MainWindow::BlackListFilePath() const
{
    return QDir(ConfigStartFolder).filePath(QStringLiteral("listenoire.txt"));
}

void MainWindow::on_BTN_BlackListNew_clicked()
{
    QTableWidget *table = ui->TABLE_BlackList;
    TableRowAppend(table);
    table->item(table->rowCount() - 1, BlackList::ColumnDate)
        ->setText(QDate::currentDate().toString(QLatin1String(BlackList::TableDateFormat)));
    ui->SAI_BlackListStatus->setText(tr("Ligne insérée, saisir le numéro de goupe ou d'utilisateur"));
}

void MainWindow::on_BTN_BlackListDelete_clicked()
{
    if (TableRowRemoveSelected(ui->TABLE_BlackList) < 0)
        ui->SAI_BlackListStatus->setText(tr("sélectionnez une ligne auparavant"));
    else
        ui->SAI_BlackListStatus->setText(tr("Ligne supprimée"));
}

void MainWindow::on_BTN_BlackListWriteToFile_clicked()
{
    ui->SAI_BlackListStatus->setText(tr("Enregistrement liste noire..."));
    if (BlackListFile.TableSave(ui->TABLE_BlackList, BlackListFilePath()))
        ui->SAI_BlackListStatus->setText(tr("Enregistrement liste noire->OK"));
    else
        ui->SAI_BlackListStatus->setText(tr("Enregistrement liste noire->ECHEC"));
}

void MainWindow::on_BTN_BlackListReadFromFile_clicked()
{
    ui->SAI_BlackListStatus->setText(tr("Chargement liste noire..."));
    // The load replaces the rows only once the whole file is read.
    if (BlackListFile.TableLoad(ui->TABLE_BlackList, BlackListFilePath()))
        ui->SAI_BlackListStatus->setText(tr("Chargement liste noire->OK"));
    else if (BlackListFile.LoadError.isEmpty())
        ui->SAI_BlackListStatus->setText(tr("Chargement liste noire->ECHEC"));
    else  // the file was read but refused: say why
        ui->SAI_BlackListStatus->setText(tr("Chargement liste noire->ECHEC : %1")
                                             .arg(BlackListFile.LoadError));
}
