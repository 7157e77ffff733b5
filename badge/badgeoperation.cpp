#include "badge/badgeoperation.h"

#include <QCoreApplication>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("BadgeOperation", text);
}

QString userText(const QString &user)
{
    return user.isEmpty() ? QStringLiteral("?") : user;
}
}

QString CentsText(qint64 cents)
{
    const qint64 magnitude = cents < 0 ? -cents : cents;
    return (cents < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 100)
           + QLatin1Char('.') + QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

qint64 BadgeOperation::balanceIfApplied() const
{
    if (balanceBefore == NoBalance)
        return NoBalance;
    return kind == Kind::Debit ? balanceBefore - cents : balanceBefore + cents;
}

QString BadgeOperation::kindText() const
{
    switch (kind) {
    case Kind::Read:
        return tr("Lecture");
    case Kind::Creation:
        return tr("Création");
    case Kind::Debit:
        return tr("Débit");
    case Kind::Credit:
        return tr("Crédit");
    }
    return QString();
}

QString BadgeOperation::title() const
{
    switch (kind) {
    case Kind::Debit:
    case Kind::Credit:
        return tr("%1 de %2 sur %3 (utilisateur %4)")
            .arg(kindText(), CentsText(cents), targetUid, userText(user));
    case Kind::Creation:
        return tr("Création sur %1 (utilisateur %2, crédit %3)")
            .arg(targetUid, userText(user), CentsText(cents));
    case Kind::Read:
        break;
    }
    return tr("Lecture de %1").arg(targetUid);
}

QString BadgeOperation::outcomeLine() const
{
    switch (outcome) {
    case Outcome::Done:
        if (!movesMoney())
            return title() + tr(" : OK");
        if (balanceBefore == NoBalance || balanceAfter == NoBalance)
            return title() + tr(" : OK, relecture impossible");
        return title() + tr(" : OK, solde %1 -> %2").arg(CentsText(balanceBefore), CentsText(balanceAfter));
    case Outcome::Unknown:
        if (!movesMoney() || balanceBefore == NoBalance)
            return title() + tr(" : résultat inconnu");
        return title() + tr(" : résultat inconnu, solde avant %1").arg(CentsText(balanceBefore));
    case Outcome::Refused:
        return title() + tr(" : refusé") + (detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail));
    case Outcome::NotSent:
        return title() + tr(" : non envoyé") + (detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail));
    case Outcome::None:
        break;
    }
    return title();
}

QString BadgeOperation::resolutionText() const
{
    switch (resolution) {
    case Resolution::Applied:
        return tr("appliquée");
    case Resolution::NotApplied:
        return tr("non appliquée");
    case Resolution::Undetermined:
        return tr("indéterminée : vérifier");
    case Resolution::Abandoned:
        return tr("abandonnée : %1").arg(detail);
    case Resolution::None:
        break;
    }
    return QString();
}

QString BadgeOperation::resolutionLine() const
{
    return title() + tr(" : réglé, ") + resolutionText();
}

BadgeOperation::Resolution ResolutionByBalance(const BadgeOperation &operation, qint64 balanceNow)
{
    using R = BadgeOperation::Resolution;
    if (operation.balanceBefore == BadgeOperation::NoBalance || balanceNow == BadgeOperation::NoBalance)
        return R::Undetermined;
    if (balanceNow == operation.balanceBefore)
        return R::NotApplied;
    if (balanceNow == operation.balanceIfApplied())
        return R::Applied;
    return R::Undetermined;
}

BadgeOperations::BadgeOperations(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<BadgeOperation>();
}

quint64 BadgeOperations::plan(BadgeOperation::Kind kind, const QString &targetUid, const QString &payload,
                              qint64 cents, qint64 balanceBefore, const QString &user)
{
    BadgeOperation operation;
    operation.id = m_nextId++;
    operation.kind = kind;
    operation.targetUid = targetUid;
    operation.payload = payload;
    operation.cents = cents;
    operation.balanceBefore = balanceBefore;
    operation.user = user;
    operation.plannedAt = QDateTime::currentDateTime();
    m_operations.append(operation);
    emit changed(operation);
    return operation.id;
}

bool BadgeOperations::approve(quint64 id, QString *reason)
{
    const BadgeOperation *operation = find(id);
    if (!operation || operation->state != BadgeOperation::State::Planned)
        return false;
    QString refusal;
    if (!m_guard || m_guard(*operation, &refusal))
        return true;
    if (reason)
        *reason = refusal;
    notSent(id, refusal);
    return false;
}

void BadgeOperations::sent(quint64 id)
{
    BadgeOperation *operation = get(id);
    if (!operation || operation->state != BadgeOperation::State::Planned)
        return;
    operation->state = BadgeOperation::State::Sent;
    update(*operation);
}

void BadgeOperations::notSent(quint64 id, const QString &reason)
{
    BadgeOperation *operation = get(id);
    if (!operation || operation->state != BadgeOperation::State::Planned)
        return;
    operation->detail = reason;
    settle(id, BadgeOperation::Outcome::NotSent);
}

void BadgeOperations::answered(quint64 id, bool accepted, const QString &refusal)
{
    BadgeOperation *operation = get(id);
    if (!operation || operation->state != BadgeOperation::State::Sent)
        return;
    if (!accepted) {
        operation->detail = refusal;
        settle(id, BadgeOperation::Outcome::Refused);
        return;
    }
    operation->state = BadgeOperation::State::Answered;
    update(*operation);
}

void BadgeOperations::rereading(quint64 id)
{
    BadgeOperation *operation = get(id);
    if (!operation || operation->settled())
        return;
    operation->state = BadgeOperation::State::Rereading;
    update(*operation);
}

void BadgeOperations::settle(quint64 id, BadgeOperation::Outcome outcome, qint64 balanceAfter)
{
    BadgeOperation *operation = get(id);
    if (!operation || operation->settled())
        return;
    operation->state = BadgeOperation::State::Settled;
    operation->outcome = outcome;
    operation->balanceAfter = balanceAfter;
    const BadgeOperation copy = *operation;
    // Only an unknown outcome stays: it waits to be cleared up.
    if (!copy.pending())
        m_operations.removeAt(int(operation - m_operations.data()));
    emit changed(copy);
}

QVector<BadgeOperation> BadgeOperations::resolveByBalance(const QString &uid, qint64 balanceNow)
{
    QVector<BadgeOperation> resolved;
    for (const BadgeOperation &operation : pending()) {
        if (operation.targetUid != uid || !operation.movesMoney())
            continue;
        BadgeOperation *kept = get(operation.id);
        kept->balanceAfter = balanceNow;
        resolved << *kept;
        resolved.last().resolution = ResolutionByBalance(operation, balanceNow);
        resolve(*kept, resolved.last().resolution, QString());
    }
    return resolved;
}

QVector<BadgeOperation> BadgeOperations::resolveCreation(const QString &uid, const QString &userOnBadge)
{
    QVector<BadgeOperation> resolved;
    for (const BadgeOperation &operation : pending()) {
        if (operation.targetUid != uid || operation.kind != BadgeOperation::Kind::Creation)
            continue;
        resolved << operation;
        resolved.last().resolution = userOnBadge == operation.user ? BadgeOperation::Resolution::Applied
                                                                   : BadgeOperation::Resolution::NotApplied;
        resolve(*get(operation.id), resolved.last().resolution, QString());
    }
    return resolved;
}

bool BadgeOperations::abandon(quint64 id, const QString &reason)
{
    BadgeOperation *operation = get(id);
    if (!operation || !operation->pending())
        return false;
    resolve(*operation, BadgeOperation::Resolution::Abandoned, reason);
    return true;
}

quint64 BadgeOperations::restore(BadgeOperation operation)
{
    operation.id = m_nextId++;
    operation.state = BadgeOperation::State::Settled;
    operation.outcome = BadgeOperation::Outcome::Unknown;
    operation.resolution = BadgeOperation::Resolution::None;
    m_operations.append(operation);
    emit changed(operation);
    return operation.id;
}

void BadgeOperations::resolve(BadgeOperation &operation, BadgeOperation::Resolution resolution,
                              const QString &detail)
{
    operation.resolution = resolution;
    if (!detail.isEmpty())
        operation.detail = detail;
    const BadgeOperation copy = operation;
    m_operations.removeAt(int(&operation - m_operations.data()));
    emit changed(copy);
}

const BadgeOperation *BadgeOperations::find(quint64 id) const
{
    for (const BadgeOperation &operation : m_operations)
        if (operation.id == id)
            return &operation;
    return nullptr;
}

BadgeOperation *BadgeOperations::get(quint64 id)
{
    return const_cast<BadgeOperation *>(find(id));
}

void BadgeOperations::update(BadgeOperation &operation)
{
    emit changed(BadgeOperation(operation));
}

QVector<BadgeOperation> BadgeOperations::pending() const
{
    QVector<BadgeOperation> list;
    for (const BadgeOperation &operation : m_operations)
        if (operation.pending())
            list << operation;
    return list;
}

bool BadgeOperations::isLocked(const QString &uid) const
{
    for (const BadgeOperation &operation : m_operations)
        if (operation.pending() && operation.targetUid == uid)
            return true;
    return false;
}

int BadgeOperations::inFlight() const
{
    int count = 0;
    for (const BadgeOperation &operation : m_operations)
        count += operation.settled() ? 0 : 1;
    return count;
}
