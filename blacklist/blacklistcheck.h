#ifndef BLACKLISTCHECK_H
#define BLACKLISTCHECK_H

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// What a blacklist row must be before it reaches the reader: a UID the
// reader can match, numbers that are numbers, and no entry twice. Rows are
// the table's cells (BlackList::Column*).

// A UID as the reader sees it: blanks, ":" and "-" between bytes removed,
// letters upper-cased. Whatever else it holds is kept for the check to name.
QString BlackListUidNormalise(const QString &uid);
// One cell as the row normalisation leaves it.
QString BlackListCellNormalise(const QString &text, int column);
// The row with its UID normalised, its date in the file's form dd/MM/yy and
// the blanks around its numbers dropped; the reason is kept as typed, and
// so is a date that is none (for the check to name).
QStringList BlackListRowNormalise(const QStringList &cells);
QList<QStringList> BlackListRowsNormalise(const QList<QStringList> &rows);

// No UID, no user, no group and no reason: a date alone (or nothing) is an
// empty row. A cell that is no date is no empty row: it is named.
bool BlackListRowIsEmpty(const QStringList &cells);

struct BlackListCellFault
{
    int column;
    QString reason;
};
// Why a (normalised) row cannot be sent, a fault per faulty cell; none for
// a valid row and for an empty one.
QList<BlackListCellFault> BlackListRowFaults(const QStringList &cells);

// For each row, the index of the first earlier row naming the same badge
// (same UID), or, where there is no UID, the same user, else the same
// group; -1 for a row that repeats none. Empty rows repeat nothing.
QVector<int> BlackListDuplicateOf(const QList<QStringList> &rows);

// What a transfer sends for these rows: each row once, in order, empty rows
// and repeats left out and counted; nothing when a row breaks a rule.
struct BlackListTransfer
{
    QStringList entries;
    QVector<int> rows;     // the row (from 0) of each entry, as the table shows it
    QStringList labels;    // who each entry names, for the operator (BlackListRowLabel)
    int skipped = 0;       // empty rows and repeats, not sent
    QVector<int> invalid;  // rows that break a rule; entries then empty
};
BlackListTransfer BlackListTransferPlan(const QList<QStringList> &rows);
// The same, entries only. False, with *invalidRow the index of the first
// row that breaks a rule, when one does.
bool BlackListTransferEntries(const QList<QStringList> &rows, QStringList *entries,
                              int *invalidRow);
// Who a row names, as a message shows it: its UID, else "utilisateur 12",
// else "groupe 3".
QString BlackListRowLabel(const QStringList &cells);

// Order of the rows when sorted by `column`: dates as dates, numbers as
// numbers, other text case-insensitively.
bool BlackListRowLess(const QStringList &a, const QStringList &b, int column);

#endif
