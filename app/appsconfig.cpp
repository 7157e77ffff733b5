#include <QDebug>
#include <QTreeWidget>

#include "app/mainwindow.h"
#include "ui_mainwindow.h"

namespace {
constexpr int ColValue = 1;
constexpr int ColKey = 2;
}

void MainWindow::AppsConfigPrepare()
{
    QTreeWidget *tree = ui->TREE_AppsConfig;
    for (int column = ColKey; column < tree->columnCount(); ++column)
        tree->hideColumn(column);
    tree->setColumnWidth(0, 200);
    tree->setColumnWidth(1, 150);
    tree->setAlternatingRowColors(true);
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        TreeSetEditable(tree->topLevelItem(i), ColKey);
    // What "Valeurs par défaut" brings back.
    AppsConfigDefaultsKeep();
}

QString MainWindow::AppsConfigReadString(const QString &key, const QString &defaultValue)
{
    const QList<QTreeWidgetItem *> found = ui->TREE_AppsConfig->findItems(
        key, Qt::MatchExactly | Qt::MatchCaseSensitive | Qt::MatchRecursive, ColKey);
    if (found.isEmpty()) {
        qDebug("AppsConfigReadString PAS TROUVE(%s)) => DEFAUT", qUtf8Printable(key));
        return defaultValue;
    }
    const QString value = found.first()->text(ColValue);
    qDebug("AppsConfigReadString %s", qUtf8Printable(value));
    return value;
}

int MainWindow::AppsConfigReadInt(const QString &key, int defaultValue)
{
    bool converted = false;
    const int value = AppsConfigReadString(key, QString::number(defaultValue)).toInt(&converted);
    return converted ? value : defaultValue;
}

void MainWindow::AppsConfigWriteString(const QString &key, const QString &value)
{
    const QList<QTreeWidgetItem *> found = ui->TREE_AppsConfig->findItems(
        key, Qt::MatchExactly | Qt::MatchCaseSensitive | Qt::MatchRecursive, ColKey);
    if (!found.isEmpty())
        found.first()->setText(ColValue, value);
}

void MainWindow::TreeSetEditable(QTreeWidgetItem *item, int column)
{
    if (!item->text(column).isEmpty())
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    for (int i = 0; i < item->childCount(); ++i)
        TreeSetEditable(item->child(i), column);
}
