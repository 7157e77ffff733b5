#include "ledger/ledgerbadgerecorder.h"

#include "ledger/ledger.h"

namespace {
QString KindOf(BadgeOperation::Kind kind)
{
    switch (kind) {
    case BadgeOperation::Kind::Debit:
        return LedgerKind::Debit;
    case BadgeOperation::Kind::Credit:
        return LedgerKind::Credit;
    case BadgeOperation::Kind::Creation:
        return LedgerKind::Creation;
    case BadgeOperation::Kind::Read:
        break;
    }
    return QString();
}

BadgeOperation::Kind BadgeKindOf(const QString &kind)
{
    if (kind == LedgerKind::Credit)
        return BadgeOperation::Kind::Credit;
    if (kind == LedgerKind::Creation)
        return BadgeOperation::Kind::Creation;
    return BadgeOperation::Kind::Debit;
}

std::optional<qint64> Balance(qint64 cents)
{
    return cents == BadgeOperation::NoBalance ? std::nullopt : std::optional<qint64>(cents);
}

QString OutcomeOf(BadgeOperation::Outcome outcome)
{
    switch (outcome) {
    case BadgeOperation::Outcome::Done:
        return LedgerOutcome::Done;
    case BadgeOperation::Outcome::Refused:
        return LedgerOutcome::Refused;
    case BadgeOperation::Outcome::NotSent:
        return LedgerOutcome::NotSent;
    case BadgeOperation::Outcome::Unknown:
    case BadgeOperation::Outcome::None:
        break;
    }
    return LedgerOutcome::Unknown;
}

QString SettlementOf(BadgeOperation::Resolution resolution)
{
    switch (resolution) {
    case BadgeOperation::Resolution::Applied:
        return LedgerOutcome::Applied;
    case BadgeOperation::Resolution::NotApplied:
        return LedgerOutcome::NotApplied;
    case BadgeOperation::Resolution::Abandoned:
        return LedgerOutcome::Abandoned;
    case BadgeOperation::Resolution::Undetermined:
    case BadgeOperation::Resolution::None:
        break;
    }
    return LedgerOutcome::Undetermined;
}
}

LedgerBadgeRecorder::LedgerBadgeRecorder(Ledger &ledger, BadgeOperations &operations, QObject *parent)
    : QObject(parent), m_ledger(ledger), m_operations(operations)
{
    operations.setSendGuard([this](const BadgeOperation &operation, QString *reason) {
        return guard(operation, reason);
    });
    connect(&operations, &BadgeOperations::changed, this, &LedgerBadgeRecorder::changed);
}

bool LedgerBadgeRecorder::guard(const BadgeOperation &operation, QString *reason)
{
    const QString kind = KindOf(operation.kind);
    if (kind.isEmpty())
        return true;
    LedgerMoneyOperation money;
    money.kind = kind;
    money.uid = operation.targetUid;
    money.user = operation.user;
    money.amountCents = operation.cents;
    money.balanceBeforeCents = Balance(operation.balanceBefore);
    const LedgerResult planned = m_ledger.recordPlanned(money);
    if (!planned.ok()) {
        *reason = planned.error;  // the page says the operation was not sent
        return false;
    }
    m_rows.insert(operation.id, Row{planned.id, false});
    emit recorded();
    return true;
}

void LedgerBadgeRecorder::changed(const BadgeOperation &operation)
{
    const auto found = m_rows.find(operation.id);
    if (found == m_rows.end())
        return;
    if (operation.settled() && !found->outcome) {
        found->outcome = true;
        const LedgerResult result = m_ledger.recordOutcome(found->seq, OutcomeOf(operation.outcome),
                                                           Balance(operation.balanceAfter), operation.detail);
        if (!result.ok())
            failed(operation, tr("son résultat"), result.error);
    }
    if (operation.resolution != BadgeOperation::Resolution::None) {
        const LedgerResult result = m_ledger.recordSettlement(found->seq, SettlementOf(operation.resolution),
                                                              Balance(operation.balanceAfter), operation.detail);
        if (!result.ok())
            failed(operation, tr("son règlement"), result.error);
        m_rows.erase(found);
    } else if (operation.settled() && !operation.pending()) {
        m_rows.erase(found);
    }
    emit recorded();
}

void LedgerBadgeRecorder::failed(const BadgeOperation &operation, const QString &what, const QString &error)
{
    emit journal(tr("Historique inaccessible : %1 de l'opération « %2 » non inscrit (%3)")
                     .arg(what, operation.title(), error));
}

int LedgerBadgeRecorder::restore()
{
    int restored = 0;
    for (const LedgerEntry &row : m_ledger.unsettled()) {
        BadgeOperation operation;
        operation.kind = BadgeKindOf(row.kind);
        operation.targetUid = row.uid;
        operation.cents = row.amountCents;
        operation.balanceBefore = row.balanceBeforeCents.value_or(BadgeOperation::NoBalance);
        operation.user = row.user;
        operation.plannedAt = row.at.toLocalTime();
        const quint64 id = m_operations.restore(operation);
        m_rows.insert(id, Row{row.seq, true});
        ++restored;
    }
    return restored;
}
