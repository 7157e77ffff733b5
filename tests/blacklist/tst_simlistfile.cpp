// The simulated reader's list file 5, request by request.
#include <QtTest>

#include "sim/simlistfile.h"

class TestSimListFile : public QObject
{
    Q_OBJECT

private slots:
    // Each request is made on a list that holds one entry.
    void requests_data()
    {
        QTest::addColumn<char>("command");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<char>("status");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("entries");
        const QString first = "Cda=160512;UID=04A1B2C3;Usr=12;Grp=3";
        const QString second = "Cda=;UID=;Usr=;Grp=7";
        QTest::newRow("clear") << 'C' << "Fil=5" << '0' << "" << QStringList{};
        QTest::newRow("clear other file") << 'C' << "Fil=4" << '1' << "" << QStringList{first};
        QTest::newRow("add") << 'A' << "Fil=5;" + second << '0' << "" << QStringList{first, second};
        QTest::newRow("add other file") << 'A' << "Fil=4;" + second << '1' << "" << QStringList{first};
        QTest::newRow("add nothing") << 'A' << "Fil=5" << '4' << "" << QStringList{first};
        QTest::newRow("add unknown key") << 'A' << "Fil=5;Xyz=1" << '4' << "" << QStringList{first};
        QTest::newRow("add extra field") << 'A' << "Fil=5;UID=04A1=0" << '4' << "" << QStringList{first};
        QTest::newRow("add bad date") << 'A' << "Fil=5;Cda=163012" << '4' << "" << QStringList{first};
        QTest::newRow("get") << 'G' << "Fil=5;Pos=0" << '0' << first << QStringList{first};
        QTest::newRow("get past the end") << 'G' << "Fil=5;Pos=1" << '1' << "" << QStringList{first};
    }
    void requests()
    {
        QFETCH(char, command);
        QFETCH(QString, payload);
        QFETCH(char, status);
        QFETCH(QString, body);
        QFETCH(QStringList, entries);
        SimListFile list;
        QStringList notices;
        QCOMPARE(list.handle('A', "Fil=5;Cda=160512;UID=04A1B2C3;Usr=12;Grp=3", &notices).status, '0');
        const SimAnswer answer = list.handle(command, payload, &notices);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.body, body);
        QVERIFY(!answer.silent);
        QCOMPARE(list.entries(), entries);
    }
};

QTEST_MAIN(TestSimListFile)
#include "tst_simlistfile.moc"
