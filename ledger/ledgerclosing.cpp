#include "ledger/ledgerclosing.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include "core/appsettings.h"
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

namespace {
QString Escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString LocalTime(const QDateTime &when)
{
    return when.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString LinesTable(const QString &title, const QList<LedgerClosingLine> &lines)
{
    QString html = QStringLiteral("<h3>%1</h3><table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">"
                                  "<tr><th></th><th>Opérations</th><th>Crédits</th><th>Débits</th></tr>")
                       .arg(title);
    for (const LedgerClosingLine &line : lines)
        html += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td><td align=\"right\">%3</td>"
                               "<td align=\"right\">%4</td></tr>")
                    .arg(Escaped(line.name))
                    .arg(line.count)
                    .arg(LedgerAmountText(line.creditsCents), LedgerAmountText(line.debitsCents));
    return html + QStringLiteral("</table>");
}
}

QString LedgerClosingQuestion(const LedgerClosingSummary &summary)
{
    QString text = QStringLiteral("Clôturer la caisse du %1 au %2 ?\n\n"
                                  "Opérations : %3\nCrédits : %4\nDébits : %5\nNet : %6\n")
                       .arg(LocalTime(summary.from), LocalTime(summary.to))
                       .arg(summary.totals.count)
                       .arg(LedgerAmountText(summary.totals.creditsCents),
                            LedgerAmountText(summary.totals.debitsCents),
                            LedgerAmountText(summary.totals.netCents()));
    for (const LedgerClosingLine &line : summary.byOperator)
        text += QStringLiteral("  %1 : %2 opération(s), crédits %3, débits %4\n")
                    .arg(line.name)
                    .arg(line.count)
                    .arg(LedgerAmountText(line.creditsCents), LedgerAmountText(line.debitsCents));
    if (summary.unsettled > 0)
        text += QStringLiteral("\nOpérations à régler : %1 (résultat inconnu)\n").arg(summary.unsettled);
    return text + QStringLiteral("\nLa clôture est définitive : elle ne peut pas être annulée.");
}

QString LedgerClosingHtml(const LedgerClosingReport &report)
{
    const LedgerClosingSummary &summary = report.summary;
    QString html = QStringLiteral("<html><body><h1>Clôture de caisse</h1><p>");
    html += QStringLiteral("Site : %1<br>").arg(Escaped(report.site.isEmpty() ? QStringLiteral("(inconnu)") : report.site));
    html += QStringLiteral("Lecteur : %1<br>")
                .arg(Escaped(report.reader.isEmpty() ? QStringLiteral("(inconnu)") : report.reader));
    html += QStringLiteral("Opérateur : %1<br>").arg(Escaped(report.operatorName));
    html += QStringLiteral("Période : du %1 au %2<br>").arg(LocalTime(summary.from), LocalTime(summary.to));
    html += QStringLiteral("Clôture n° %1 du %2</p>").arg(report.closing.seq).arg(LocalTime(report.closing.at));
    html += QStringLiteral("<h2>Totaux</h2><p>Opérations : %1<br>Crédits : %2<br>Débits : %3<br>Net : %4<br>"
                           "Résultats inconnus : %5<br>Opérations à régler : %6</p>")
                .arg(summary.totals.count)
                .arg(LedgerAmountText(summary.totals.creditsCents), LedgerAmountText(summary.totals.debitsCents),
                     LedgerAmountText(summary.totals.netCents()))
                .arg(summary.totals.unknown)
                .arg(summary.unsettled);
    html += LinesTable(QStringLiteral("Par type"), summary.byKind);
    html += LinesTable(QStringLiteral("Par opérateur"), summary.byOperator);
    html += QStringLiteral("<h2>Opérations</h2><table border=\"1\" cellspacing=\"0\" cellpadding=\"2\">"
                           "<tr><th>N°</th><th>Date</th><th>Type</th><th>UID</th><th>Utilisateur</th>"
                           "<th>Montant</th><th>Résultat</th><th>Opérateur</th></tr>");
    const QList<LedgerEntry> rows = summary.operations + summary.settledEarlier;
    for (const LedgerEntry &row : rows)
        html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td>"
                               "<td align=\"right\">%6</td><td>%7</td><td>%8</td></tr>")
                    .arg(row.seq)
                    .arg(LocalTime(row.at), Escaped(row.event == LedgerEvent::Settlement
                                                        ? row.kind + QStringLiteral(" (règlement de %1)").arg(row.ref)
                                                        : row.kind),
                         Escaped(row.uid), Escaped(row.user), LedgerAmountText(row.amountCents),
                         Escaped(row.status), Escaped(row.operatorName));
    html += QStringLiteral("</table><p>Empreinte de la clôture (SHA-256) :<br><tt>%1</tt></p></body></html>")
                .arg(QString::fromLatin1(report.closing.hash));
    return html;
}
