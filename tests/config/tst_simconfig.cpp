// The simulated reader's parameters: pending writes committed by object,
// refusals, command identifiers.
#include <QtTest>

#include "sim/simconfig.h"

class TestSimConfig : public QObject
{
    Q_OBJECT

private slots:
    void requests_data()
    {
        QTest::addColumn<QStringList>("requests");  // control lines, then "G:" / "P:" payloads
        QTest::addColumn<QString>("answer");        // status and body of the last one
        QTest::addColumn<QString>("committed");     // 3.0.1 afterwards
        const QString site = "Laverie du Port";
        QTest::newRow("read") << QStringList{"G:3.0.1"} << "0" + site << site;
        QTest::newRow("read unknown") << QStringList{"G:3.0.99"} << "1" << site;
        QTest::newRow("write is pending") << QStringList{"P:3.0.1=a=b", "G:3.0.1"} << "0a=b" << site;
        QTest::newRow("commit") << QStringList{"P:3.0.1=Neuf", "P:3.255.1="} << "0" << "Neuf";
        QTest::newRow("commit other object") << QStringList{"P:3.0.1=Neuf", "P:2.255.1="} << "1" << site;
        QTest::newRow("commit twice") << QStringList{"P:3.0.1=N", "P:3.255.1=", "P:3.255.1="} << "1" << "N";
        QTest::newRow("commit with value") << QStringList{"P:3.0.1=N", "P:3.255.1=1"} << "1" << site;
        QTest::newRow("heading write") << QStringList{"P:=x"} << "1" << site;
        QTest::newRow("unknown command") << QStringList{"P:12.255.3=1"} << "1" << site;
        QTest::newRow("refuse get") << QStringList{"param refuse get 3.0.1", "G:3.0.1"} << "1" << site;
        QTest::newRow("refuse put") << QStringList{"param refuse put 3.0.1", "P:3.0.1=x"} << "1" << site;
        QTest::newRow("param refuse off") << QStringList{"param refuse put 3.0.1", "param refuse off", "P:3.0.1=x"}
                                    << "0" << site;
        QTest::newRow("param sets") << QStringList{"param 3.0.1 Salle 2", "G:3.0.1"} << "0Salle 2"
                                    << "Salle 2";
    }
    void requests()
    {
        QFETCH(QStringList, requests);
        QFETCH(QString, answer);
        QFETCH(QString, committed);
        SimConfig config;
        QStringList notices;
        QString reply;
        SimAnswer last;
        for (const QString &request : requests) {
            if (request.at(1) == ':')
                last = config.handle(request.at(0).toLatin1(), request.mid(2), &notices);
            else
                QVERIFY(config.control(request.section(' ', 0, 0), request.section(' ', 1), &reply));
        }
        QCOMPARE(QString(QChar(last.status)) + last.body, answer);
        QCOMPARE(config.value("3.0.1"), committed);
    }

    void clockAndOutputCommandsAreKept()
    {
        SimConfig config;
        QStringList notices;
        for (const QString &payload : {"12.255.8=01/02/25", "12.255.9=10:20", "12.255.7.0=5"})
            QCOMPARE(config.handle('P', payload, &notices).status, '0');
        QCOMPARE(notices, (QStringList{"Date reçue : 01/02/25", "Heure reçue : 10:20",
                                       "Test sortie 1 : durée 5"}));
        QCOMPARE(config.lastCommand("12.255.9"), QString("10:20"));
        QCOMPARE(config.handle('G', "12.4", &notices).body, QString("01/02/25"));
        QVERIFY(config.handle('G', "12.3", &notices).body.startsWith("10:2"));
    }
};

QTEST_APPLESS_MAIN(TestSimConfig)
#include "tst_simconfig.moc"
