#include "blacklist/tablefile.h"

#include <QStringList>
#include <QTableWidget>

#include "blacklist/blacklistcheck.h"
#include "blacklist/blacklisttext.h"

using namespace BlackList;

namespace {
QStringList RowCells(QTableWidget *table, int row)
{
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column)
        cells << TableCellText(table, row, column);
    return cells;
}

void RowAppendCells(QTableWidget *table, const QStringList &cells)
{
    TableRowAppend(table);
    const int row = table->rowCount() - 1;
    for (int column = 0; column < table->columnCount() && column < cells.size(); ++column)
        table->item(row, column)->setText(cells.at(column));
}
}

QList<QStringList> TableRows(QTableWidget *table)
{
    QList<QStringList> rows;
    rows.reserve(table->rowCount());
    for (int row = 0; row < table->rowCount(); ++row)
        rows.append(RowCells(table, row));
    return rows;
}

QString TableCellText(QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

int TableRowAppend(QTableWidget *table)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < table->columnCount(); ++column)
        table->setItem(row, column, new QTableWidgetItem(QString()));
    return table->columnCount();
}

void TableClear(QTableWidget *table)
{
    for (int count = table->rowCount(); count > 0; --count)
        table->removeRow(0);
}

bool TableRowToLine(QTableWidget *table, int row, QString *out)
{
    out->clear();
    if (row < 0 || row >= table->rowCount())
        return false;
    *out = BlackListCellsToLine(RowCells(table, row));
    return true;
}

void TableLineToRow(QTableWidget *table, const QString &line)
{
    RowAppendCells(table, BlackListLineToCells(line));
}

void TableRowsReplace(QTableWidget *table, const QList<QStringList> &rows)
{
    TableClear(table);
    for (const QStringList &cells : rows)
        RowAppendCells(table, cells);
}

int TableRowRemoveSelected(QTableWidget *table)
{
    const QList<QTableWidgetItem *> selected = table->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int row = selected.first()->row();
    table->removeRow(row);
    return row;
}

int BlackListRowToEntry(QTableWidget *table, int row, QString *out)
{
    out->clear();
    if (row < 0 || row >= table->rowCount())
        return 0;
    *out = BlackListCellsToEntry(RowCells(table, row));
    return 1;
}

bool TTableFile::TableSave(QTableWidget *table, const QString &fileName)
{
    qDebug("Sauvegarde liste noire dans %s", qUtf8Printable(fileName));
    QString error;
    return BlackListFileWrite(fileName, TableRows(table), &error);
}

bool TTableFile::TableLoad(QTableWidget *table, const QString &fileName)
{
    qDebug("load liste noire dans %s", qUtf8Printable(fileName));
    // Read whole, within its bound, before touching the table: a file that
    // turns out unreadable must not cost the rows shown.
    QList<QStringList> rows;
    if (!BlackListFileRead(fileName, &rows, &LoadError)) {
        if (!LoadError.isEmpty())
            qDebug("load liste noire : %s", qUtf8Printable(LoadError));
        return false;
    }
    TableRowsReplace(table, BlackListRowsNormalise(rows));
    return true;
}

int TTableFile::TableFirst(QTableWidget *table, RowFunction fn, QString *out)
{
    CurrentRow = 0;
    if (table->rowCount() == 0)
        return 0;
    return fn(table, 0, out);
}

int TTableFile::TableNext(QTableWidget *table, RowFunction fn, QString *out)
{
    ++CurrentRow;
    if (CurrentRow < table->rowCount())
        return fn(table, CurrentRow, out);
    return 0;
}
