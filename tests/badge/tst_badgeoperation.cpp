// Badge operations without a window: the journal lines that name the
// money, how a balance read again settles an unknown outcome, and the
// states a record of them sees.
#include <QSignalSpy>
#include <QtTest>

#include "badge/badgeoperation.h"

using Kind = BadgeOperation::Kind;
using Outcome = BadgeOperation::Outcome;
using Resolution = BadgeOperation::Resolution;
using State = BadgeOperation::State;

class TestBadgeOperation : public QObject
{
    Q_OBJECT

    static BadgeOperation money(Kind kind, qint64 cents, qint64 before)
    {
        BadgeOperation operation;
        operation.kind = kind;
        operation.targetUid = "04A1B2C3";
        operation.user = "41";
        operation.cents = cents;
        operation.balanceBefore = before;
        return operation;
    }

private slots:
    void journalLinesNameTheMoney_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<qint64>("after");
        QTest::addColumn<QString>("line");
        const QString debit = QString::fromUtf8("Débit de 1.00 sur 04A1B2C3 (utilisateur 41) : ");
        QTest::newRow("debit done") << int(Kind::Debit) << int(Outcome::Done) << int(Resolution::None)
                                    << qint64(1400) << debit + "OK, solde 15.00 -> 14.00";
        QTest::newRow("credit done") << int(Kind::Credit) << int(Outcome::Done) << int(Resolution::None)
                                     << qint64(1600)
                                     << QString::fromUtf8("Crédit de 1.00 sur 04A1B2C3 (utilisateur 41) : "
                                                          "OK, solde 15.00 -> 16.00");
        QTest::newRow("done, not read back") << int(Kind::Debit) << int(Outcome::Done) << int(Resolution::None)
                                             << BadgeOperation::NoBalance << debit + "OK, relecture impossible";
        QTest::newRow("unknown") << int(Kind::Debit) << int(Outcome::Unknown) << int(Resolution::None)
                                 << BadgeOperation::NoBalance
                                 << debit + QString::fromUtf8("résultat inconnu, solde avant 15.00");
        QTest::newRow("applied") << int(Kind::Debit) << int(Outcome::Unknown) << int(Resolution::Applied)
                                 << qint64(1400) << debit + QString::fromUtf8("réglé, appliquée");
        QTest::newRow("not applied") << int(Kind::Debit) << int(Outcome::Unknown) << int(Resolution::NotApplied)
                                     << qint64(1500) << debit + QString::fromUtf8("réglé, non appliquée");
        QTest::newRow("undetermined") << int(Kind::Debit) << int(Outcome::Unknown)
                                      << int(Resolution::Undetermined) << qint64(1300)
                                      << debit + QString::fromUtf8("réglé, indéterminée : vérifier");
    }
    void journalLinesNameTheMoney()
    {
        QFETCH(int, kind);
        QFETCH(int, outcome);
        QFETCH(int, resolution);
        QFETCH(qint64, after);
        QFETCH(QString, line);
        BadgeOperation operation = money(Kind(kind), 100, 1500);
        operation.outcome = Outcome(outcome);
        operation.resolution = Resolution(resolution);
        operation.balanceAfter = after;
        QCOMPARE(operation.resolution == Resolution::None ? operation.outcomeLine() : operation.resolutionLine(),
                 line);
    }

    void balanceReadAgainSettles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<qint64>("before");
        QTest::addColumn<qint64>("now");
        QTest::addColumn<int>("resolution");
        QTest::newRow("debit applied") << int(Kind::Debit) << qint64(1500) << qint64(1350) << int(Resolution::Applied);
        QTest::newRow("debit not applied") << int(Kind::Debit) << qint64(1500) << qint64(1500)
                                           << int(Resolution::NotApplied);
        QTest::newRow("debit twice") << int(Kind::Debit) << qint64(1500) << qint64(1200)
                                     << int(Resolution::Undetermined);
        QTest::newRow("credit applied") << int(Kind::Credit) << qint64(1500) << qint64(1650)
                                        << int(Resolution::Applied);
        QTest::newRow("credit the wrong way") << int(Kind::Credit) << qint64(1500) << qint64(1350)
                                              << int(Resolution::Undetermined);
        QTest::newRow("balance never read") << int(Kind::Debit) << BadgeOperation::NoBalance << qint64(1350)
                                            << int(Resolution::Undetermined);
        QTest::newRow("no balance now") << int(Kind::Debit) << qint64(1500) << BadgeOperation::NoBalance
                                        << int(Resolution::Undetermined);
    }
    void balanceReadAgainSettles()
    {
        QFETCH(int, kind);
        QFETCH(qint64, before);
        QFETCH(qint64, now);
        QFETCH(int, resolution);
        QCOMPARE(int(ResolutionByBalance(money(Kind(kind), 150, before), now)), resolution);
    }

    // What a ledger hooked on the operations sees, and what it may refuse.
    void everyStepIsSignalledAndASendCanBeVetoed()
    {
        BadgeOperations operations;
        QVector<BadgeOperation> seen;
        connect(&operations, &BadgeOperations::changed, this,
                [&seen](const BadgeOperation &operation) { seen << operation; });
        const quint64 debit = operations.plan(Kind::Debit, "04A1B2C3", "Cnt=0;Trt=2;Tra=100", 100, 1500, "41");
        QVERIFY(operations.approve(debit, nullptr));
        operations.sent(debit);
        operations.answered(debit, true);
        operations.rereading(debit);
        operations.settle(debit, Outcome::Done, 1400);
        QVector<State> states;
        for (const BadgeOperation &operation : seen)
            states << operation.state;
        QCOMPARE(states, (QVector<State>{State::Planned, State::Sent, State::Answered, State::Rereading,
                                         State::Settled}));
        QCOMPARE(seen.last().outcomeLine(), QString::fromUtf8("Débit de 1.00 sur 04A1B2C3 (utilisateur 41) : "
                                                              "OK, solde 15.00 -> 14.00"));
        QCOMPARE(operations.inFlight(), 0);

        operations.setSendGuard([](const BadgeOperation &, QString *reason) {
            *reason = "disque plein";
            return false;
        });
        const quint64 refused = operations.plan(Kind::Credit, "04A1B2C3", "", 100, 1400, "41");
        QString reason;
        QVERIFY(!operations.approve(refused, &reason));
        QCOMPARE(reason, QString("disque plein"));
        QCOMPARE(seen.last().outcome, Outcome::NotSent);
        QVERIFY(!operations.find(refused));
        operations.sent(refused);  // too late: nothing changes
        QCOMPARE(seen.last().state, State::Settled);
    }

    // Only the badge whose outcome is unknown is locked, until its balance
    // is read or the operator abandons it.
    void unknownOutcomesWaitForTheirBadge()
    {
        BadgeOperations operations;
        const quint64 a = operations.plan(Kind::Debit, "AAAA", "", 100, 1500, "1");
        const quint64 b = operations.plan(Kind::Credit, "BBBB", "", 200, 500, "2");
        const quint64 c = operations.plan(Kind::Creation, "CCCC", "", 2000, BadgeOperation::NoBalance, "7");
        for (quint64 id : {a, b, c}) {
            QVERIFY(operations.approve(id, nullptr));
            operations.sent(id);
            operations.settle(id, Outcome::Unknown);
        }
        QCOMPARE(operations.pending().size(), 3);
        QVERIFY(operations.isLocked("AAAA"));
        QVERIFY(!operations.isLocked("DDDD"));

        QVERIFY(operations.resolveByBalance("DDDD", 1500).isEmpty());  // another badge
        const QVector<BadgeOperation> resolved = operations.resolveByBalance("AAAA", 1400);
        QCOMPARE(resolved.size(), 1);
        QCOMPARE(resolved.first().resolution, Resolution::Applied);
        QVERIFY(!operations.isLocked("AAAA"));

        // A creation by the user number the badge carries.
        QCOMPARE(operations.resolveCreation("CCCC", "8").first().resolution, Resolution::NotApplied);

        QSignalSpy changed(&operations, &BadgeOperations::changed);
        QVERIFY(!operations.abandon(a, "plus là"));  // already settled
        QVERIFY(operations.abandon(b, QString::fromUtf8("badge parti")));
        QCOMPARE(changed.size(), 1);
        const BadgeOperation abandoned = changed.first().first().value<BadgeOperation>();
        QCOMPARE(abandoned.resolutionLine(), QString::fromUtf8("Crédit de 2.00 sur BBBB (utilisateur 2) : "
                                                               "réglé, abandonnée : badge parti"));
        QVERIFY(operations.pending().isEmpty());
    }
};

QTEST_MAIN(TestBadgeOperation)
#include "tst_badgeoperation.moc"
