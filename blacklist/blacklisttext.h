#ifndef BLACKLISTTEXT_H
#define BLACKLISTTEXT_H

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Text forms of a blacklist row: the line of "listenoire.txt" (five cells,
// each followed by ";") and the entry pairs that the reader's list file
// holds (Cda, UID, Usr, Grp). Column 4, the reason, stays in the file.
namespace BlackList {
constexpr int ColumnDate = 0;
constexpr int ColumnUid = 1;
constexpr int ColumnUser = 2;
constexpr int ColumnGroup = 3;
constexpr int ColumnReason = 4;
constexpr int ColumnCount = 5;

// Date as shown in the table and as the reader stores it.
constexpr const char *TableDateFormat = "dd/MM/yy";

// A line longer than this (line end excluded) is no blacklist line.
constexpr int MaxLineBytes = 64 * 1024;
// A file with more lines is no blacklist either; the reader's list file is
// far smaller.
constexpr int MaxFileRows = 10000;
// Nor is a larger file: it is refused before it is read whole.
constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;
}

// A cell's text with what would break its line or its entry dropped: ";" in
// every column, "=" in the first four, and control characters.
QString BlackListCellClean(const QString &text, int column);

// One line of the file, line end removed; UTF-8, or Latin-1 when the bytes
// are not valid UTF-8 (files written by earlier versions).
QString BlackListLineDecode(const QByteArray &bytes);

// The cells of a line: split at ";", empty parts kept, parts beyond the last
// column dropped, missing ones empty. Always ColumnCount cells.
QStringList BlackListLineToCells(const QString &line);
// Why a line cannot be split into its cells (date, UID, user, group and
// reason; the reason alone may be missing); empty when it can. A blank
// line is an empty row, not a faulty one.
QString BlackListLineFault(const QString &line);

// Why the blacklist's file readers refuse this content whatever its layout:
// too large, binary (control bytes), or a line too long (lines as the file's
// line ends cut them); empty when it is not refused.
QString BlackListContentRefusal(const QByteArray &content);
// Why they refuse a file of this many rows; empty when they do not.
QString BlackListRowCountRefusal(int rows);

// The rows of a whole file, ColumnCount cells each. Lines end with LF,
// CR LF or CR alone. False, with `rows` untouched and *reason saying why in
// the operator's words, for a file that is too large, binary (control
// bytes), has too many lines, a line that is too long, or lines that do not
// split into cells ("ligne 3 : ..."): a row read wrong would be sent wrong.
bool BlackListFileParse(const QByteArray &content, QList<QStringList> *rows,
                        QString *reason = nullptr);

// The line of a row: each cell cleaned, then ";".
QString BlackListCellsToLine(const QStringList &cells);
// The file of these rows, one UTF-8 line each. False when a line would be
// longer than the file read accepts: the file must read back.
bool BlackListFileContent(const QList<QStringList> &rows, QByteArray *content);
// The rows of the file at `path`. False when it cannot be opened (*reason
// empty) or is no blacklist text (*reason says why).
bool BlackListFileRead(const QString &path, QList<QStringList> *rows, QString *reason);
// Written aside and put in place only when complete: a failure leaves the
// previous file as it was. *error says why.
bool BlackListFileWrite(const QString &path, const QList<QStringList> &rows, QString *error);

// Keeps `rows` as a blacklist file in `folder`, named after the reader they
// were read from (its 3.0.0 and 3.0.2) and the moment:
// "listenoire-1204-1001-20261208-134500.txt", a number added when that name
// is taken (a backup never replaces another). Flushed and checked before it
// is put in place. The path, or empty with *error saying why.
QString BlackListBackupWrite(const QString &folder, const QString &model, const QString &serial,
                             const QList<QStringList> &rows, const QDateTime &when, QString *error);

// A date as an operator gives it (dd/MM/yy, dd/MM/yyyy, d/M/yy or
// yyyy-MM-dd) in the file's form dd/MM/yy; empty when it is none of these
// or no day of the calendar (31/02/26).
QString BlackListDateNormalise(const QString &text);
// Why a date cell cannot be sent; empty for a date and for an empty cell.
QString BlackListDateFault(const QString &text);

// A date (any form BlackListDateNormalise takes) to the reader's "yyMMdd";
// empty when the text is no date.
QString BlackListDateToEntry(const QString &date);
// The reader's "yyMMdd" to "dd/MM/yy"; any other text is kept as it is.
QString BlackListDateFromEntry(const QString &date);

// "Cda=..;UID=..;Usr=..;Grp=.." from the cells of a row.
QString BlackListCellsToEntry(const QStringList &cells);
// The cells of a row from an entry as the reader sends it back; false when
// the text is not pairs (key "=" value, joined by ";").
bool BlackListEntryToCells(const QString &entry, QStringList *cells);

#endif
