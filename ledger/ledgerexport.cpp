#include "ledger/ledgerexport.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "util/textutil.h"

namespace {
QString Euros(const std::optional<qint64> &cents)
{
    return cents ? LedgerAmountText(*cents).replace(QLatin1Char('.'), QLatin1Char(',')) : QString();
}

// A spreadsheet would run a cell starting so as a formula.
QString FormulaGuarded(QString cell)
{
    if (!cell.isEmpty() && QStringLiteral("=+-@").contains(cell.at(0)))
        cell.prepend(QLatin1Char('\''));
    return cell;
}

QJsonValue JsonCents(const std::optional<qint64> &cents)
{
    return cents ? QJsonValue(double(*cents)) : QJsonValue();
}
}

QStringList LedgerColumnTitles()
{
    return {QStringLiteral("N°"),        QStringLiteral("Date"),       QStringLiteral("Evénement"),
            QStringLiteral("Type"),      QStringLiteral("Résultat"),   QStringLiteral("UID"),
            QStringLiteral("Utilisateur"), QStringLiteral("Groupe"),   QStringLiteral("Compteur"),
            QStringLiteral("Montant"),   QStringLiteral("Solde avant"), QStringLiteral("Solde après"),
            QStringLiteral("Opérateur"), QStringLiteral("Poste"),      QStringLiteral("Port"),
            QStringLiteral("Lecteur"),   QStringLiteral("Réf."),       QStringLiteral("Détail"),
            QStringLiteral("Empreinte")};
}

QStringList LedgerRowCells(const LedgerEntry &row)
{
    const bool money = LedgerKind::IsMoney(row.kind);
    return {QString::number(row.seq),
            row.at.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
            row.event,
            row.kind,
            row.status,
            row.uid,
            row.user,
            row.group,
            row.counter,
            money ? Euros(row.amountCents) : QString(),
            Euros(row.balanceBeforeCents),
            Euros(row.balanceAfterCents),
            row.operatorName,
            row.pcName,
            row.port,
            row.reader,
            row.ref > 0 ? QString::number(row.ref) : QString(),
            row.detail,
            QString::fromLatin1(row.hash)};
}

QByteArray LedgerCsvContent(const QList<LedgerEntry> &rows)
{
    QList<QStringList> lines{LedgerColumnTitles()};
    for (const LedgerEntry &row : rows) {
        QStringList cells;
        for (const QString &cell : LedgerRowCells(row))
            cells << FormulaGuarded(cell);
        lines << cells;
    }
    return CsvContent(lines);
}

QByteArray LedgerJsonLines(const QList<LedgerEntry> &rows)
{
    QByteArray lines;
    for (const LedgerEntry &row : rows) {
        const QJsonObject object{
            {"seq", double(row.seq)},
            {"ref", row.ref > 0 ? QJsonValue(double(row.ref)) : QJsonValue()},
            {"time", row.at.toUTC().toString(Qt::ISODateWithMs)},
            {"event", row.event},
            {"kind", row.kind},
            {"status", row.status},
            {"outcome", row.outcome},
            {"uid", row.uid},
            {"user", row.user},
            {"group", row.group},
            {"counter", row.counter},
            {"amount_cents", double(row.amountCents)},
            {"balance_before_cents", JsonCents(row.balanceBeforeCents)},
            {"balance_after_cents", JsonCents(row.balanceAfterCents)},
            {"operator", row.operatorName},
            {"pc", row.pcName},
            {"port", row.port},
            {"reader", row.reader},
            {"detail", row.detail},
            {"hash", QString::fromLatin1(row.hash)},
        };
        lines += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    return lines;
}
