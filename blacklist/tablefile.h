#ifndef TABLEFILE_H
#define TABLEFILE_H

#include <QList>
#include <QString>
#include <QStringList>

class QTableWidget;

// Builds the text of one row into out; returns 0 when there is no row.
using RowFunction = int (*)(QTableWidget *table, int row, QString *out);

// A table kept in a text file, one line per row, and a cursor over its rows.
class TTableFile
{
public:
    // Writes every row, whole or not at all: false when the file could not
    // be written, the previous file then stays as it was.
    bool TableSave(QTableWidget *table, const QString &fileName);
    // Replaces the rows by the lines of the file; false, table untouched,
    // when the file cannot be read or is no blacklist text (LoadError then
    // says why, empty when the file could not be opened).
    bool TableLoad(QTableWidget *table, const QString &fileName);

    int TableFirst(QTableWidget *table, RowFunction fn, QString *out);
    int TableNext(QTableWidget *table, RowFunction fn, QString *out);

    int CurrentRow = 0;
    QString LoadError;
};

int TableRowAppend(QTableWidget *table);
void TableClear(QTableWidget *table);
bool TableRowToLine(QTableWidget *table, int row, QString *out);
void TableLineToRow(QTableWidget *table, const QString &line);
int TableRowRemoveSelected(QTableWidget *table);
int BlackListRowToEntry(QTableWidget *table, int row, QString *out);

// Replaces every row by the given cells, one list per row.
void TableRowsReplace(QTableWidget *table, const QList<QStringList> &rows);

// The cells of every row, in table order.
QList<QStringList> TableRows(QTableWidget *table);

// Display text of a cell, empty when the cell holds no item.
QString TableCellText(QTableWidget *table, int row, int column);

#endif
