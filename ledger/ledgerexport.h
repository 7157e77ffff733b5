#ifndef LEDGEREXPORT_H
#define LEDGEREXPORT_H

#include <QByteArray>
#include <QList>
#include <QString>

#include "ledger/ledgerentry.h"

// The ledger for a spreadsheet: UTF-8 with a byte order mark, ";" between
// fields, CR LF line ends, a field quoted when it holds ";", a quote or a
// line end (quotes doubled), as the blacklist's CSV. Amounts in euros with
// a decimal comma, times local. A text that a spreadsheet would take for a
// formula ("=", "+", "-", "@" first) is written after a quote mark.
QByteArray LedgerCsvContent(const QList<LedgerEntry> &rows);
// One JSON object per row and per line, for a script.
QByteArray LedgerJsonLines(const QList<LedgerEntry> &rows);

// The columns of the CSV and of the page, in order.
QStringList LedgerColumnTitles();
// A row's cells as the page and the CSV show them.
QStringList LedgerRowCells(const LedgerEntry &row);

#endif
