#ifndef BLACKLISTCSV_H
#define BLACKLISTCSV_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A spreadsheet's view of the blacklist: one header row, then one row per entry.
namespace BlackListCsv {
// The header the export writes; the import finds its columns by these names.
constexpr const char *Header = "Date;Uid;Utilisateur;Groupe;Raison";
}

// The CSV text of these rows (BlackList::ColumnCount cells each, in table
// column order): UTF-8 with a byte order mark, ";" separator, the header row
// first, CR LF line ends, a field quoted when it holds ";", a quote, CR or LF
// (quotes doubled). Cells are written as they are (no cleaning).
QByteArray BlackListCsvContent(const QList<QStringList> &rows);

// The rows of a CSV file in table column order, BlackList::ColumnCount cells
// each, cells as read (the caller checks and normalises them). The separator
// is ";", "," or a tab, taken from the header line (the one occurring most
// outside quotes in the header line); columns are found by their header
// names (Date, Uid, Utilisateur, Groupe, Raison) in any order and any case,
// surrounding blanks ignored; unknown columns are ignored, missing ones left
// empty; quoted fields (with doubled quotes, separators and line breaks
// inside); UTF-8 with or without the byte order mark, else Latin-1 when the
// bytes are not valid UTF-8; lines end with LF, CR LF or CR; blank lines
// skipped. False, with `rows` untouched and *reason saying why in the
// operator's French words, when the file is refused: binary (NUL or other
// control bytes than tab, CR, LF), over BlackList::MaxFileBytes, over
// BlackList::MaxFileRows data rows, a physical line over
// BlackList::MaxLineBytes, an unterminated quote, or a header naming none of
// the five columns (or no header at all).
bool BlackListCsvParse(const QByteArray &content, QList<QStringList> *rows,
                       QString *reason);

// Reads and parses the file at path (bounded read); false with *reason
// (empty when the file cannot be opened).
bool BlackListCsvRead(const QString &path, QList<QStringList> *rows, QString *reason);

// Writes BlackListCsvContent whole or not at all; false with *error, also
// when the import would refuse what would be written (a cell too long).
bool BlackListCsvWrite(const QString &path, const QList<QStringList> &rows, QString *error);

#endif
