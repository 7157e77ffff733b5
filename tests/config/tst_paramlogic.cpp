// Plain rules of the configuration: file lines, value encodings, order
// keys, objects and payloads.
#include <QtTest>

#include "config/paramlogic.h"

class TestParamLogic : public QObject
{
    Q_OBJECT

private slots:
    void lineSplitsAtTheFirstEquals_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "3.0.1=A DEFINIR" << "3.0.1" << "A DEFINIR";
        QTest::newRow("value holds =") << "3.9.0.1=a=b" << "3.9.0.1" << "a=b";
        QTest::newRow("no equals") << "3.0.1" << "3.0.1" << "";
        QTest::newRow("empty value") << "3.0.1=" << "3.0.1" << "";
        QTest::newRow("blank kept") << " 3.0.1=x" << " 3.0.1" << "x";
        QTest::newRow("no identifier") << "=x" << "" << "x";
    }
    void lineSplitsAtTheFirstEquals()
    {
        QFETCH(QString, line);
        QFETCH(QString, identifier);
        QFETCH(QString, value);
        const ConfigLine parsed = ConfigLineParse(line);
        QCOMPARE(parsed.identifier, identifier);
        QCOMPARE(parsed.value, value);
    }

    void fileIsTextOrRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("values");  // identifier "|" value per line
        QTest::newRow("LF") << QByteArray("a=1\nb=2\n") << true << QStringList{"a|1", "b|2"};
        QTest::newRow("CR LF") << QByteArray("a=1\r\nb=2\r\n") << true << QStringList{"a|1", "b|2"};
        QTest::newRow("last line open") << QByteArray("a=1\nb=2") << true << QStringList{"a|1", "b|2"};
        QTest::newRow("blank line") << QByteArray("a=1\n\nb=2\n") << true
                                    << QStringList{"a|1", "|", "b|2"};
        QTest::newRow("empty") << QByteArray() << true << QStringList();
        QTest::newRow("NUL byte") << QByteArray("a=1\nb=\0002\n", 9) << false << QStringList();
        QTest::newRow("longest line") << "a=" + QByteArray(ConfigLineMax - 2, 'x') + "\n" << true
                                      << QStringList{"a|" + QString(ConfigLineMax - 2, 'x')};
        QTest::newRow("line too long") << "a=" + QByteArray(ConfigLineMax - 1, 'x') << false
                                       << QStringList();
        QTest::newRow("file too large") << QByteArray(ConfigFileMax + 1, '\n') << false
                                        << QStringList();
    }
    void fileIsTextOrRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        QFETCH(QStringList, values);
        QList<ConfigLine> lines{{"kept", "as it was"}};
        QCOMPARE(ConfigFileParse(content, &lines), accepted);
        if (!accepted) {
            QCOMPARE(lines.size(), 1);
            return;
        }
        QStringList got;
        for (const ConfigLine &line : lines)
            got << line.identifier + "|" + line.value;
        QCOMPARE(got, values);
    }

    void fileLineNeverAddsALine()
    {
        QCOMPARE(ConfigFileLine("3.9.0.1", "a=b"), QByteArray("3.9.0.1=a=b\n"));
        QCOMPARE(ConfigFileLine("9.0.4", "deux\r\nlignes"), QByteArray("9.0.4=deux  lignes\n"));
    }

    void editorValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("index");  // among 3 options, -1: unchanged
        QTest::newRow("empty") << "" << true << -1;
        QTest::newRow("0") << "0" << false << 0;
        QTest::newRow("00") << "00" << true << 0;
        QTest::newRow("1") << "1" << true << 1;
        QTest::newRow("2") << "2" << true << 2;
        QTest::newRow("3, out of range") << "3" << true << -1;
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

    void orderKeyIsNumeric_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<quint64>("key");
        QTest::newRow("empty") << "" << quint64(0);
        QTest::newRow("0") << "0" << quint64(0);
        QTest::newRow("x") << "x" << quint64(0);
        QTest::newRow("-3") << "-3" << quint64(0);
        QTest::newRow("2") << "2" << quint64(2);
        QTest::newRow("10") << "10" << quint64(10);
    }
    void orderKeyIsNumeric()
    {
        QFETCH(QString, mark);
        QFETCH(quint64, key);
        QCOMPARE(ModifOrderKey(mark), key);
    }

    void objectsListedOnce_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("after");
        QTest::newRow("first") << "" << "3.0.1" << "3";
        QTest::newRow("second") << "3" << "2.0.10" << "3.2";
        QTest::newRow("again") << "3.2" << "3.7.7" << "3.2";
        QTest::newRow("prefix is not the same") << "13" << "1.5" << "13.1";
        QTest::newRow("no dot") << "3" << "12" << "3.12";
        QTest::newRow("empty object") << "3" << ".5" << "3";
    }
    void objectsListedOnce()
    {
        QFETCH(QString, before);
        QFETCH(QString, identifier);
        QFETCH(QString, after);
        QString objects = before;
        ObjectListAdd(objects, ObjectNumber(identifier));
        QCOMPARE(objects, after);
    }

    void payloadsStayInOneFrame()
    {
        QCOMPARE(ValuePutPayload("3.0.1", "a=b"), QString("3.0.1=a=b"));
        QCOMPARE(ValuePutPayload("3.0.1", QString("a\x02" "b\x03" "c") + QChar(0)), QString("3.0.1=abc"));
        QCOMPARE(CommitPayload("13"), QString("13.255.1="));
    }
};

QTEST_APPLESS_MAIN(TestParamLogic)
#include "tst_paramlogic.moc"
