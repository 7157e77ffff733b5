#ifndef LEDGERCLOSING_H
#define LEDGERCLOSING_H

#include <QDateTime>
#include <QList>
#include <QString>

#include "ledger/ledgerentry.h"

class Ledger;

// One line of a closing's totals: a kind of operation, or an operator.
struct LedgerClosingLine {
    QString name;
    int count = 0;
    qint64 creditsCents = 0;  // done or applied
    qint64 debitsCents = 0;
};

// The money operations since the last closing, as the shift's closing
// shows them, writes them in its row and prints them.
struct LedgerClosingSummary {
    qint64 afterSeq = 0;  // the rows after this one...
    qint64 lastSeq = 0;   // ...up to this one
    QDateTime from;
    QDateTime to;
    LedgerTotals totals;
    QList<LedgerClosingLine> byKind;
    QList<LedgerClosingLine> byOperator;
    int unsettled = 0;  // in the whole ledger, not only the period
    QList<LedgerEntry> operations;  // oldest first
    // Operations of earlier shifts settled in this one: an applied one
    // counts in this shift's money, where it became known.
    QList<LedgerEntry> settledEarlier;

    // What the closing row keeps (JSON, one line).
    QString detail() const;
};

LedgerClosingSummary LedgerClosingPrepare(Ledger &ledger);
// Writes the closing row; false with *error when the ledger refused it.
LedgerResult LedgerClosingRecord(Ledger &ledger, const LedgerClosingSummary &summary);

// What a closing's printed report shows.
struct LedgerClosingReport {
    QString site;
    QString reader;
    QString operatorName;
    LedgerClosingSummary summary;
    LedgerEntry closing;  // its row: number, time, hash
};
// The report as a document (HTML for a text document of the window).
QString LedgerClosingHtml(const LedgerClosingReport &report);
// The question asked before a closing: its totals, and that it is final.
QString LedgerClosingQuestion(const LedgerClosingSummary &summary);

// Where a closing's report goes: clotures/ of the operator's folder, the
// file named by its time and row ("cloture-20261208-174500-812.pdf").
QString LedgerClosingFolder();
QString LedgerClosingPdfPath(const LedgerEntry &closing);

#endif
