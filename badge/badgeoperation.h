#ifndef BADGEOPERATION_H
#define BADGEOPERATION_H

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>

// One operation on one badge (read, creation, debit, credit), from the
// moment it is planned until it is settled. It is bound to the badge it was
// planned for: a debit or credit to the UID read, a creation to the UID
// presented. A plain value: BadgeOperations moves it through its states.
class BadgeOperation
{
public:
    enum class Kind { Read, Creation, Debit, Credit };
    // Planned -> Sent -> Answered [-> Rereading] -> Settled. A send the
    // guard or the link refuses goes from Planned straight to Settled.
    enum class State { Planned, Sent, Answered, Rereading, Settled };
    enum class Outcome { None, Done, Refused, NotSent, Unknown };
    // How an unknown outcome was cleared up afterwards.
    enum class Resolution { None, Applied, NotApplied, Undetermined, Abandoned };

    static constexpr qint64 NoBalance = -1;

    quint64 id = 0;
    Kind kind = Kind::Read;
    QString targetUid;
    QString payload;
    qint64 cents = 0;                 // amount moved, or credit of a creation
    qint64 balanceBefore = NoBalance; // cents, as read before the operation
    qint64 balanceAfter = NoBalance;  // cents, as read after it
    QString user;                     // user number of the badge
    QDateTime plannedAt;
    State state = State::Planned;
    Outcome outcome = Outcome::None;
    Resolution resolution = Resolution::None;
    QString detail;  // why refused, not sent or abandoned

    bool movesMoney() const { return kind == Kind::Debit || kind == Kind::Credit; }
    bool settled() const { return state == State::Settled; }
    // Settled unknown and not yet cleared up: listed, and its badge locked.
    bool pending() const { return outcome == Outcome::Unknown && resolution == Resolution::None; }

    // The balance the badge shows when the operation was applied.
    qint64 balanceIfApplied() const;

    // "Débit de 1.00 sur 04A1B2C3 (utilisateur 41)"; a creation names its
    // credit, a read only its badge.
    QString title() const;
    QString kindText() const;
    // The journal line of its outcome or of its resolution.
    QString outcomeLine() const;
    QString resolutionLine() const;
    QString resolutionText() const;
};

// What the balance read again says of an operation whose outcome is unknown.
BadgeOperation::Resolution ResolutionByBalance(const BadgeOperation &operation, qint64 balanceNow);

// Amount text of a number of cents: "15.00", "-2.50".
QString CentsText(qint64 cents);

// The badge operations of one window: the one in flight and those whose
// outcome is unknown until a read of their badge or the operator settles
// them. Every change of state is signalled, so that a record of them can be
// kept; a send can be vetoed by the send guard (default: allowed).
class BadgeOperations : public QObject
{
    Q_OBJECT
public:
    // False vetoes the send; reason says why (French, for the operator).
    using SendGuard = std::function<bool(const BadgeOperation &, QString *reason)>;

    explicit BadgeOperations(QObject *parent = nullptr);

    void setSendGuard(SendGuard guard) { m_guard = std::move(guard); }

    quint64 plan(BadgeOperation::Kind kind, const QString &targetUid, const QString &payload,
                 qint64 cents, qint64 balanceBefore, const QString &user);
    // Asks the send guard once, before anything goes out. A veto settles
    // the operation NotSent; reason says why.
    bool approve(quint64 id, QString *reason);
    void sent(quint64 id);
    void notSent(quint64 id, const QString &reason);
    // Sent -> Answered (accepted) or Settled Refused.
    void answered(quint64 id, bool accepted, const QString &refusal = QString());
    void rereading(quint64 id);
    void settle(quint64 id, BadgeOperation::Outcome outcome, qint64 balanceAfter = BadgeOperation::NoBalance);
    // Clears up pending operations of that badge by the balance read now;
    // returns the operations cleared up.
    QVector<BadgeOperation> resolveByBalance(const QString &uid, qint64 balanceNow);
    // Clears up a pending creation: applied when the badge carries its
    // user number, else (another number, or blank: empty) not applied.
    QVector<BadgeOperation> resolveCreation(const QString &uid, const QString &userOnBadge);
    bool abandon(quint64 id, const QString &reason);
    // An operation an earlier run left unknown (kept in the ledger): pending
    // again, its badge locked. Its new id.
    quint64 restore(BadgeOperation operation);

    const BadgeOperation *find(quint64 id) const;
    QVector<BadgeOperation> pending() const;
    bool isLocked(const QString &uid) const;
    // Operations not yet settled (in flight).
    int inFlight() const;

signals:
    // After every change: planned, sent, answered, rereading, settled,
    // resolved.
    void changed(const BadgeOperation &operation);

private:
    BadgeOperation *get(quint64 id);
    void update(BadgeOperation &operation);
    void resolve(BadgeOperation &operation, BadgeOperation::Resolution resolution, const QString &detail);

    QVector<BadgeOperation> m_operations;  // in flight and pending only
    quint64 m_nextId = 1;
    SendGuard m_guard;
};

Q_DECLARE_METATYPE(BadgeOperation)

#endif
