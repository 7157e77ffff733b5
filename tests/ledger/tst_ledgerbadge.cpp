// The badge operations and the ledger: a money operation is recorded
// before it is sent or not sent at all, its outcome and settlement follow,
// and an unknown outcome comes back after a restart with its badge locked.
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

#include "badge/badgeoperation.h"
#include "ledger/ledger.h"
#include "ledger/ledgerbadgerecorder.h"

class TestLedgerBadge : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("kovrim.sqlite")); }

    static quint64 Debit(BadgeOperations &operations, qint64 cents)
    {
        return operations.plan(BadgeOperation::Kind::Debit, QStringLiteral("04A1B2C3"), QString(), cents, 1500,
                               QStringLiteral("41"));
    }

private slots:
    void init() { QFile::remove(path()); }

    void outcomesAndSettlementsFollowThePlannedRow()
    {
        Ledger ledger(path());
        QVERIFY(ledger.open());
        BadgeOperations operations;
        LedgerBadgeRecorder recorder(ledger, operations);

        const quint64 read = operations.plan(BadgeOperation::Kind::Read, "04A1B2C3", QString(), 0, -1, "41");
        QVERIFY(operations.approve(read, nullptr));
        QCOMPARE(ledger.entries(LedgerFilter()).size(), 0);  // a read moves nothing

        const quint64 done = Debit(operations, 100);
        QVERIFY(operations.approve(done, nullptr));
        QCOMPARE(ledger.entries(LedgerFilter()).size(), 1);  // before anything is sent
        operations.sent(done);
        operations.answered(done, true);
        operations.settle(done, BadgeOperation::Outcome::Done, 1400);

        const quint64 unknown = Debit(operations, 200);
        QVERIFY(operations.approve(unknown, nullptr));
        operations.sent(unknown);
        operations.settle(unknown, BadgeOperation::Outcome::Unknown);
        QCOMPARE(ledger.unsettled().size(), 1);
        QCOMPARE(operations.resolveByBalance("04A1B2C3", 1300).size(), 1);
        QCOMPARE(ledger.unsettled().size(), 0);

        const QList<LedgerEntry> rows = ledger.entries(LedgerFilter());
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.at(0).event, LedgerEvent::Settlement);
        QCOMPARE(rows.at(0).outcome, LedgerOutcome::Applied);
        QCOMPARE(rows.at(0).balanceAfterCents, std::optional<qint64>(1300));
        QCOMPARE(rows.at(3).outcome, LedgerOutcome::Done);
        QCOMPARE(rows.at(3).balanceAfterCents, std::optional<qint64>(1400));
        const LedgerTotals totals = ledger.totals(LedgerFilter());
        QCOMPARE(totals.debitsCents, 300);
        QVERIFY(ledger.verify().ok);
    }

    void unwritableLedgerRefusesBeforeTheSend()
    {
        Ledger ledger(geteuid() == 0 ? QStringLiteral("/proc/kovrim.sqlite") : QStringLiteral("/kovrim.sqlite"));
        BadgeOperations operations;
        LedgerBadgeRecorder recorder(ledger, operations);
        const quint64 id = Debit(operations, 100);
        QString reason;
        QVERIFY(!operations.approve(id, &reason));
        QCOMPARE(reason, ledger.error());
        QVERIFY(!reason.isEmpty());
        QVERIFY(!operations.find(id));  // settled, not sent
    }

    void unknownOutcomeSurvivesARestart()
    {
        {
            Ledger ledger(path());
            QVERIFY(ledger.open());
            BadgeOperations operations;
            LedgerBadgeRecorder recorder(ledger, operations);
            const quint64 id = Debit(operations, 250);
            QVERIFY(operations.approve(id, nullptr));
            operations.sent(id);
            // The program stops here, the answer never came.
        }
        Ledger ledger(path());
        QVERIFY(ledger.open());
        BadgeOperations operations;
        LedgerBadgeRecorder recorder(ledger, operations);
        QCOMPARE(recorder.restore(), 1);
        QCOMPARE(operations.pending().size(), 1);
        QVERIFY(operations.isLocked("04A1B2C3"));
        QCOMPARE(operations.pending().first().cents, 250);
        QVERIFY(operations.abandon(operations.pending().first().id, "badge perdu"));
        QCOMPARE(ledger.unsettled().size(), 0);
        QCOMPARE(ledger.entries(LedgerFilter()).first().detail, QString("badge perdu"));
        QCOMPARE(ledger.entries(LedgerFilter()).size(), 2);  // no outcome row for the restored one
    }
};

QTEST_GUILESS_MAIN(TestLedgerBadge)
#include "tst_ledgerbadge.moc"
