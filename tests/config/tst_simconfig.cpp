// The simulated reader's parameters: reads, pending writes, commits by
// object, command identifiers and control lines.
#include <QtTest>

#include "sim/simconfig.h"

class TestSimConfig : public QObject
{
    Q_OBJECT

    // Runs the requests in order ("G:payload" or "P:payload") and returns
    // the last answer as status, then body.
    static QString run(SimConfig &config, const QStringList &requests, QStringList *notices = nullptr)
    {
        QStringList ignored;
        SimAnswer answer;
        for (const QString &request : requests)
            answer = config.handle(request.at(0).toLatin1(), request.mid(2), notices ? notices : &ignored);
        return QString(QChar(answer.status)) + answer.body;
    }

private slots:
    void requests_data()
    {
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("committed");  // value of 3.0.1 afterwards
        QTest::newRow("read") << QStringList{"G:3.0.1"} << "0Laverie du Port" << "Laverie du Port";
        QTest::newRow("read unknown") << QStringList{"G:3.0.99"} << "1" << "Laverie du Port";
        QTest::newRow("read a command") << QStringList{"G:12.255.8"} << "1" << "Laverie du Port";
        QTest::newRow("write is pending") << QStringList{"P:3.0.1=a=b", "G:3.0.1"} << "0a=b"
                                          << "Laverie du Port";
        QTest::newRow("commit") << QStringList{"P:3.0.1=Neuf", "P:3.255.1="} << "0" << "Neuf";
        QTest::newRow("commit other object") << QStringList{"P:3.0.1=Neuf", "P:2.255.1="} << "1"
                                             << "Laverie du Port";
        QTest::newRow("commit twice") << QStringList{"P:3.0.1=Neuf", "P:3.255.1=", "P:3.255.1="}
                                      << "1" << "Neuf";
        QTest::newRow("commit with a value") << QStringList{"P:3.0.1=Neuf", "P:3.255.1=1"} << "1"
                                             << "Laverie du Port";
        QTest::newRow("commit no object") << QStringList{"P:3.0.1=Neuf", "P:.255.1="} << "1"
                                          << "Laverie du Port";
        QTest::newRow("write unknown") << QStringList{"P:3.0.99=1"} << "1" << "Laverie du Port";
        QTest::newRow("write without =") << QStringList{"P:3.0.1"} << "1" << "Laverie du Port";
        QTest::newRow("heading write") << QStringList{"P:=x"} << "1" << "Laverie du Port";
        QTest::newRow("output test") << QStringList{"P:12.255.7.1=5"} << "0" << "Laverie du Port";
        QTest::newRow("other command") << QStringList{"P:12.255.3=1"} << "1" << "Laverie du Port";
    }
    void requests()
    {
        QFETCH(QStringList, requests);
        QFETCH(QString, answer);
        QFETCH(QString, committed);
        SimConfig config;
        QCOMPARE(run(config, requests), answer);
        QCOMPARE(config.value("3.0.1"), committed);
    }

    void everyParameterHasAPlausibleValue()
    {
        SimConfig config;
        QCOMPARE(config.identifiers().size(), 140);
        QCOMPARE(config.identifiers().removeDuplicates(), 0);
        for (const QString &id : {"3.4.0", "10.2", "6.1.7.2", "9.2.0"})
            QVERIFY2(QStringList({"0", "1"}).contains(config.value(id)), qPrintable(id));
        QVERIFY(config.value("2.0.10").toInt() < 2);
        QVERIFY(config.value("2.0.11").toInt() < 4);
        QCOMPARE(config.value("3.0.3"), QString("KovrimReader"));
    }

    void clockAndOutputCommandsAreKept()
    {
        SimConfig config;
        QStringList notices;
        QCOMPARE(run(config, {"P:12.255.8=01/02/25", "P:12.255.9=10:20", "P:12.255.7.0=5"}, &notices),
                 QString("0"));
        QCOMPARE(notices, (QStringList{"Date reçue : 01/02/25", "Heure reçue : 10:20",
                                       "Test sortie 1 : durée 5"}));
        QCOMPARE(config.lastCommand("12.255.8"), QString("01/02/25"));
        QCOMPARE(config.lastCommand("12.255.9"), QString("10:20"));
        QCOMPARE(config.lastCommand("12.255.7.0"), QString("5"));
        QVERIFY(run(config, {"G:12.3"}).startsWith("010:2"));
        QCOMPARE(run(config, {"G:12.4"}), QString("001/02/25"));
    }

    void controlLines_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QString>("answer");
        QTest::newRow("refuse get") << QStringList{"refuse get 3.0.1"} << QStringList{"G:3.0.1"} << "1";
        QTest::newRow("refuse put") << QStringList{"refuse put 3.0.1"} << QStringList{"P:3.0.1=x"}
                                    << "1";
        QTest::newRow("refuse off") << QStringList{"refuse get 3.0.1", "refuse off"}
                                    << QStringList{"G:3.0.1"} << "0Laverie du Port";
        QTest::newRow("param sets") << QStringList{"param 3.0.1 Salle 2"} << QStringList{"G:3.0.1"}
                                    << "0Salle 2";
    }
    void controlLines()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, requests);
        QFETCH(QString, answer);
        SimConfig config;
        QString reply;
        for (const QString &line : lines)
            QVERIFY(config.control(line.section(' ', 0, 0), line.section(' ', 1), &reply));
        QCOMPARE(run(config, requests), answer);
    }

    void paramShowsPendingAndCommitted()
    {
        SimConfig config;
        run(config, {"P:3.0.1=Neuf"});
        QString reply;
        QVERIFY(config.control("param", "3.0.1", &reply));
        QCOMPARE(reply, QString("3.0.1 = Neuf (en attente ; enregistré : Laverie du Port)"));
        QVERIFY(config.control("param", "9.9", &reply));
        QCOMPARE(reply, QString("Paramètre inconnu : 9.9"));
        QVERIFY(!config.control("present", "credit", &reply));
    }
};

QTEST_APPLESS_MAIN(TestSimConfig)
#include "tst_simconfig.moc"
