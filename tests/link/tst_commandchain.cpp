#include <QSignalSpy>
#include <QtTest>

#include "link/Protocole.h"
#include "link/commandchain.h"
#include "link/commands.h"

namespace {
// A link whose slot the test holds and frees by hand.
class FakeLink : public ChainLink
{
public:
    bool open = true;
    int busyFor = 0;            // requests refused as busy before one is taken
    QList<ChainRequest> sent;

    bool isOpen() const override { return open; }
    quint8 request(const ChainRequest &request) override
    {
        if (busyFor > 0) {
            --busyFor;
            return QProtocole::REQ_BUSY;
        }
        sent << request;
        return QProtocole::REQ_QUEUED;
    }
};

ChainRequest Get(const QString &payload, unsigned int arg = ARG_CONFIG_GET_RESULT)
{
    return ChainRequest{'V', 'G', payload, arg, 1000};
}
}

class TestCommandChain : public QObject
{
    Q_OBJECT
private slots:
    void startNeedsAnOpenLinkAndNoRunningChain()
    {
        FakeLink link;
        CommandChain chain(link);
        link.open = false;
        QVERIFY(!chain.start(1, "Lecture", 3));
        link.open = true;
        QVERIFY(chain.start(1, "Lecture", 3));
        QVERIFY(!chain.start(2, "Autre", 1));
        QVERIFY(chain.isRunning(1));
        QVERIFY(!chain.isRunning(2));
    }

    // Polling holds the slot for a while: the next command goes out once
    // it is free, not lost and not sent twice.
    void nextCommandWaitsForTheSlot()
    {
        FakeLink link;
        CommandChain chain(link);
        QVERIFY(chain.start(1, "Lecture", 2));
        link.busyFor = 5;
        chain.send(Get("3.0.1"));
        QVERIFY(link.sent.isEmpty());
        QTRY_COMPARE(link.sent.size(), 1);
        QCOMPARE(link.sent.first().payload, QString("3.0.1"));
        QTest::qWait(20);
        QCOMPARE(link.sent.size(), 1);
        QVERIFY(chain.isRunning());
    }

    void endsOnItsOwnWithOneFailure_data()
    {
        QTest::addColumn<bool>("closeLink");
        QTest::newRow("link closed while waiting") << true;
        QTest::newRow("slot never freed") << false;
    }
    void endsOnItsOwnWithOneFailure()
    {
        QFETCH(bool, closeLink);
        FakeLink link;
        CommandChain chain(link);
        chain.setSlotWaitMs(50);
        QSignalSpy finished(&chain, &CommandChain::finished);
        int aborts = 0;
        QVERIFY(chain.start(7, "Ecriture", 4, [&aborts] { ++aborts; }));
        link.busyFor = 1000000;
        chain.send(Get("2.0.10", ARG_CONFIG_PUT_RESULT));
        if (closeLink)
            link.open = false;
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().at(0).toInt(), 7);
        QCOMPARE(finished.first().at(1).toBool(), false);
        QCOMPARE(aborts, 1);
        QVERIFY(!chain.isRunning());
        chain.linkLost();
        chain.fail();
        QTest::qWait(20);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(aborts, 1);
    }

    void exactlyOneOutcome()
    {
        FakeLink link;
        CommandChain chain(link);
        QSignalSpy finished(&chain, &CommandChain::finished);
        QVERIFY(chain.start(1, "Lecture", 1));
        chain.succeed();
        chain.fail();
        chain.linkLost();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().at(1).toBool(), true);
        chain.send(Get("3.0.1"));
        QVERIFY(link.sent.isEmpty());
    }

    void progressCountsEachPhase()
    {
        FakeLink link;
        CommandChain chain(link);
        QSignalSpy progress(&chain, &CommandChain::progress);
        QVERIFY(chain.start(1, "Ecriture", 2));
        chain.step();
        chain.step();
        chain.setPhase("Validation", 3);
        chain.step();
        QCOMPARE(progress.size(), 5);
        QCOMPARE(progress.at(2), (QList<QVariant>{"Ecriture", 2, 2}));
        QCOMPARE(progress.at(4), (QList<QVariant>{"Validation", 1, 3}));
        QCOMPARE(chain.done(), 1);
        QCOMPARE(chain.total(), 3);
    }
};

QTEST_MAIN(TestCommandChain)
#include "tst_commandchain.moc"
