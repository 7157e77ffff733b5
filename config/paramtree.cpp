#include <QTreeWidget>

#include "app/mainwindow.h"
#include "ui_mainwindow.h"

namespace {
constexpr int ColIdentifier = 3;
}

void MainWindow::ParamTreePrepare()
{
    QTreeWidget *tree = ui->treeWidget;
    for (int column = 2; column < tree->columnCount(); ++column)
        tree->hideColumn(column);
    tree->setColumnWidth(0, 250);
    tree->setColumnWidth(1, 150);
    tree->setAlternatingRowColors(true);
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        TreeSetEditable(tree->topLevelItem(i), ColIdentifier);
    // The cell editors (check and combo boxes of kinds "10" and "20") are
    // placed here, after editability, once the editor classes exist.

    // Nothing to save before a configuration has been read or loaded.
    ui->BTN_ReaderConfigSave->setEnabled(false);
    ui->BTN_ReaderFileSave->setEnabled(false);
}

void MainWindow::TreeSetEditable(QTreeWidgetItem *item, int column)
{
    if (!item->text(column).isEmpty())
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    for (int i = 0; i < item->childCount(); ++i)
        TreeSetEditable(item->child(i), column);
}
