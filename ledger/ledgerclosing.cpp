#include "ledger/ledgerclosing.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include "app/appsettings.h"
#include "ledger/ledger.h"

namespace {
QJsonArray LinesJson(const QList<LedgerClosingLine> &lines)
{
    QJsonArray array;
    for (const LedgerClosingLine &line : lines)
        array.append(QJsonObject{{"nom", line.name},
                                 {"nombre", line.count},
                                 {"credits", LedgerAmountText(line.creditsCents)},
                                 {"debits", LedgerAmountText(line.debitsCents)}});
    return array;
}

bool MoneyMoved(const LedgerEntry &row)
{
    return row.status == LedgerOutcome::Done || row.status == LedgerOutcome::Applied;
}

void Count(QMap<QString, LedgerClosingLine> &lines, const QString &name, const LedgerEntry &operation,
           bool counted = true)
{
    LedgerClosingLine &line = lines[name];
    line.name = name;
    line.count += counted ? 1 : 0;
    if (!MoneyMoved(operation))
        return;
    if (operation.kind == LedgerKind::Debit)
        line.debitsCents += operation.amountCents;
    else
        line.creditsCents += operation.amountCents;
}
}

QString LedgerClosingSummary::detail() const
{
    const QJsonObject object{
        {"de", from.toUTC().toString(Qt::ISODate)},
        {"a", to.toUTC().toString(Qt::ISODate)},
        {"lignes", QStringLiteral("%1-%2").arg(afterSeq + 1).arg(lastSeq)},
        {"operations", totals.count},
        {"credits", LedgerAmountText(totals.creditsCents)},
        {"debits", LedgerAmountText(totals.debitsCents)},
        {"net", LedgerAmountText(totals.netCents())},
        {"inconnus", totals.unknown},
        {"reglees_d_avant", settledEarlier.size()},
        {"a_regler", unsettled},
        {"par_type", LinesJson(byKind)},
        {"par_operateur", LinesJson(byOperator)},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

LedgerClosingSummary LedgerClosingPrepare(Ledger &ledger)
{
    LedgerClosingSummary summary;
    summary.afterSeq = ledger.lastClosingSeq();
    summary.to = QDateTime::currentDateTimeUtc();
    LedgerFilter filter;
    filter.afterSeq = summary.afterSeq;
    const QList<LedgerEntry> rows = ledger.entries(filter);
    summary.lastSeq = rows.isEmpty() ? summary.afterSeq : rows.first().seq;
    summary.from = rows.isEmpty() ? summary.to : rows.last().at;
    if (summary.afterSeq > 0)
        if (const std::optional<LedgerEntry> closed = ledger.entry(summary.afterSeq))
            summary.from = closed->at;
    QMap<QString, LedgerClosingLine> byKind;
    QMap<QString, LedgerClosingLine> byOperator;
    qint64 lateCredits = 0;
    qint64 lateDebits = 0;
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (row->event == LedgerEvent::Settlement && row->ref <= summary.afterSeq) {
            summary.settledEarlier << *row;
            Count(byKind, row->kind, *row, false);
            Count(byOperator, row->operatorName, *row, false);
            if (MoneyMoved(*row))
                (row->kind == LedgerKind::Debit ? lateDebits : lateCredits) += row->amountCents;
        }
        if (row->event != LedgerEvent::Operation)
            continue;
        summary.operations << *row;
        Count(byKind, row->kind, *row);
        Count(byOperator, row->operatorName, *row);
    }
    summary.byKind = byKind.values();
    summary.byOperator = byOperator.values();
    summary.totals = ledger.totals(filter);
    summary.totals.creditsCents += lateCredits;
    summary.totals.debitsCents += lateDebits;
    summary.unsettled = ledger.unsettled().size();
    return summary;
}

LedgerResult LedgerClosingRecord(Ledger &ledger, const LedgerClosingSummary &summary)
{
    return ledger.recordClosing(summary.lastSeq, summary.detail());
}

QString LedgerClosingFolder()
{
    return QDir(OperatorFolder()).filePath(QStringLiteral("clotures"));
}

QString LedgerClosingPdfPath(const LedgerEntry &closing)
{
    return QDir(LedgerClosingFolder())
        .filePath(QStringLiteral("cloture-%1-%2.pdf")
                      .arg(closing.at.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
                      .arg(closing.seq));
}
