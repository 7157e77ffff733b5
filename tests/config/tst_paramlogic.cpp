// Plain rules of the configuration: file lines, editor values, order keys,
// objects and payloads.
#include <QtTest>

#include "config/paramlogic.h"

class TestParamLogic : public QObject
{
    Q_OBJECT

private slots:
    void fileContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("lines");  // identifier "|" value; empty: refused
        QTest::newRow("value holds =") << QByteArray("3.9.0.1=a=b\n") << QStringList{"3.9.0.1|a=b"};
        QTest::newRow("no =, blanks around the identifier") << QByteArray("3.0.1\n 3.0.1 =x \n=y\n")
                                           << QStringList{"3.0.1|", "3.0.1|x ", "|y"};
        QTest::newRow("CR LF, last line open") << QByteArray("a=1\r\nb=2") << QStringList{"a|1", "b|2"};
        QTest::newRow("NUL byte") << QByteArray("a=1\nb=\0002\n", 9) << QStringList();
        QTest::newRow("longest line") << "a=" + QByteArray(ConfigLineMax - 2, 'x')
                                      << QStringList{"a|" + QString(ConfigLineMax - 2, 'x')};
        QTest::newRow("line too long") << "a=" + QByteArray(ConfigLineMax - 1, 'x') << QStringList();
        QTest::newRow("file too large") << QByteArray(ConfigFileMax + 1, '\n') << QStringList();
        QTest::newRow("CR alone ends lines") << QByteArray("a=1\rb=2\r \rc") << QStringList{"a|1", "b|2", "c|"};
        QTest::newRow("old 8-bit file") << QByteArray("a=caf\xe9\n") << QStringList{QString::fromUtf8("a|café")};
        QTest::newRow("binary") << QByteArray("a=1\n\x1b[0m\n") << QStringList();
        QTest::newRow("too many lines") << QByteArray(ConfigFileMaxLines + 1, '\r') << QStringList();
        QTest::newRow("empty file") << QByteArray() << QStringList();
    }
    void fileContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, lines);
        const bool accepted = !lines.isEmpty() || content.isEmpty();
        QList<ConfigLine> parsed{{"kept", "as it was"}};
        QString reason;
        QCOMPARE(ConfigFileParse(content, &parsed, &reason), accepted);
        QCOMPARE(reason.isEmpty(), accepted);
        QStringList got;
        for (const ConfigLine &line : parsed)
            got << line.identifier + "|" + line.value;
        QCOMPARE(got, accepted ? lines : QStringList{"kept|as it was"});
    }

    void editorValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("index");  // among 3 options; -1: unchanged
        QTest::newRow("empty") << "" << true << -1;
        QTest::newRow("0") << "0" << false << 0;
        QTest::newRow("00") << "00" << true << 0;
        QTest::newRow("2") << "2" << true << 2;
        QTest::newRow("3") << "3" << true << -1;
        QTest::newRow("-1") << "-1" << true << -1;
        QTest::newRow("abc") << "abc" << true << -1;
    }
    void editorValues()
    {
        QFETCH(QString, value);
        QFETCH(bool, checked);
        QFETCH(int, index);
        QCOMPARE(CheckStateFromText(value), checked);
        int chosen = -1;
        QCOMPARE(ComboIndexFromText(value, 3, &chosen), index >= 0);
        QCOMPARE(chosen, index);
    }

    void orderKeysAreNumbers()
    {
        for (const QString &zero : {"", "0", "x", "-3"})
            QCOMPARE(ModifOrderKey(zero), 0ull);
        QVERIFY(ModifOrderKey("2") < ModifOrderKey("10"));
    }

    void objectsListedOnce_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("after");
        QTest::newRow("first") << "" << "3.0.1" << "3";
        QTest::newRow("again") << "3.2" << "3.7.7" << "3.2";
        QTest::newRow("not a prefix") << "13" << "1.5" << "13.1";
        QTest::newRow("no dot") << "3" << "12" << "3.12";
        QTest::newRow("empty object") << "3" << ".5" << "3";
    }
    void objectsListedOnce()
    {
        QFETCH(QString, before);
        QFETCH(QString, identifier);
        QFETCH(QString, after);
        ObjectListAdd(before, ObjectNumber(identifier));
        QCOMPARE(before, after);
    }

    void nothingAddsALineOrEndsAFrame()
    {
        QCOMPARE(ConfigFileLine("9.0.4", "a=b\r\nc"), QByteArray("9.0.4=a=b  c\n"));
        QCOMPARE(ConfigFileLine("9.0.4", QString("a\tb\x1b") + QChar(0)), QByteArray("9.0.4=a\tb  \n"));
        QCOMPARE(ValuePutPayload("3.0.1", QString("a=b\x02\x03") + QChar(0)), QString("3.0.1=a=b"));
        QCOMPARE(CommitPayload("13"), QString("13.255.1="));
    }
};

QTEST_APPLESS_MAIN(TestParamLogic)
#include "tst_paramlogic.moc"
