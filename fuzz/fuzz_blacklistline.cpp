// The blacklist file reader and the entry texts on arbitrary bytes: every
// row has the five cells and no cell holds a separator or a line end; the
// entry sent to the reader is always the four pairs, and reads back as the
// cells it was made of.
#include "blacklist/blacklisttext.h"
#include "fuzz/fuzzcheck.h"

using namespace BlackList;

namespace {
bool CellIsClean(const QString &cell, int column)
{
    return cell == BlackListCellClean(cell, column);
}

void CheckEntry(const QStringList &cells)
{
    const QString entry = BlackListCellsToEntry(cells);
    const QStringList pairs = entry.split(QLatin1Char(';'));
    check(pairs.size() == 4);
    const char *const keys[] = {"Cda=", "UID=", "Usr=", "Grp="};
    for (int i = 0; i < 4; ++i)
        check(pairs.at(i).startsWith(QLatin1String(keys[i])) && pairs.at(i).count(QLatin1Char('=')) == 1);

    QStringList back;
    check(BlackListEntryToCells(entry, &back));
    check(back.size() == ColumnCount && back.at(ColumnReason).isEmpty());
    for (int column = ColumnUid; column <= ColumnGroup; ++column)
        check(back.at(column) == BlackListCellClean(cells.value(column), column));
    const QString date = BlackListDateToEntry(cells.value(ColumnDate).trimmed());
    check(back.at(ColumnDate) == (date.isEmpty() ? QString() : BlackListDateNormalise(cells.value(ColumnDate))));
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));

    // One line as the file gives it.
    const QStringList cells = BlackListLineToCells(BlackListLineDecode(content));
    check(cells.size() == ColumnCount);
    for (const QString &cell : cells)
        check(!cell.contains(QLatin1Char(';')));
    CheckEntry(cells);

    // The whole content as a file.
    QList<QStringList> rows{QStringList{QStringLiteral("kept")}};
    QString reason;
    if (!BlackListFileParse(content, &rows, &reason)) {
        check(!reason.isEmpty() && rows.size() == 1);
    } else {
        check(rows.size() <= MaxFileRows);
        QByteArray rewritten;
        QList<QStringList> cleaned;
        for (const QStringList &row : rows) {
            check(row.size() == ColumnCount);
            QStringList clean;
            for (int column = 0; column < ColumnCount; ++column) {
                const QString &cell = row.at(column);
                check(!cell.contains(QLatin1Char('\n')) && !cell.contains(QLatin1Char('\r')));
                clean << BlackListCellClean(cell, column);
                rewritten += clean.last().toUtf8() + ';';
            }
            rewritten += '\n';
            cleaned << clean;
        }
        // What the table writes back reads back the same.
        QList<QStringList> again;
        if (BlackListFileParse(rewritten, &again))
            check(again == cleaned);
    }

    // Whatever the reader answers: five clean cells, or nothing.
    QStringList fromReader;
    if (BlackListEntryToCells(QString::fromUtf8(content), &fromReader)) {
        check(fromReader.size() == ColumnCount);
        for (int column = ColumnUid; column <= ColumnGroup; ++column)
            check(CellIsClean(fromReader.at(column), column));
    }
    return 0;
}
