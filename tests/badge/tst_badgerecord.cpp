#include <QtTest>

#include "badge/badgerecord.h"
#include "badge/transaction.h"

Q_DECLARE_METATYPE(BadgeFormValues)
Q_DECLARE_METATYPE(TransactionType)

namespace {

// The form of the worked example: a credit badge with every usual field.
BadgeFormValues ExampleForm()
{
    BadgeFormValues form;
    form.hasType = true;
    form.typeData = 16;
    form.usr = "41";
    form.grp = "1";
    form.level = "1";
    form.validiteText = "06/09/20";
    form.validiteDate = QDate(2020, 9, 6);
    form.creationDate = "06/09/16";
    form.remise = "0";
    form.credit = "2.00";
    return form;
}

BadgeFormValues TypeOnly()
{
    BadgeFormValues form;
    form.hasType = true;
    form.typeData = 16;
    return form;
}

QString KeysOf(const QString &record)
{
    QStringList keys;
    for (const RecordPair &pair : RecordPairsParse(record))
        keys << pair.key;
    return keys.join(',');
}

} // namespace

class TestBadgeRecord : public QObject
{
    Q_OBJECT

private slots:
    void build_data();
    void build();
    void buildNeverAddsPairs_data();
    void buildNeverAddsPairs();
    void sanitize_data();
    void sanitize();
    void pairsParse_data();
    void pairsParse();
    void level_data();
    void level();
    void recordDate_data();
    void recordDate();
    void transaction_data();
    void transaction();
    void recordToFields_data();
    void recordToFields();
};

void TestBadgeRecord::build_data()
{
    QTest::addColumn<BadgeFormValues>("form");
    QTest::addColumn<QString>("record");

    QTest::newRow("worked example") << ExampleForm()
                                    << "Tyc=16;Usr=41;Grp=1;Lev=0;Vda=200906;Cda=160906;Rem=0;Cn0=200";
    QTest::newRow("type only") << TypeOnly() << "Tyc=16";
    QTest::newRow("no type") << BadgeFormValues() << "Tyc=";

    BadgeFormValues form = TypeOnly();
    form.level = "0";
    QTest::newRow("level 0 stays 0") << form << "Tyc=16;Lev=0";
    form.level = "abc";
    QTest::newRow("level not a number") << form << "Tyc=16;Lev=0";
    form.level = "3";
    QTest::newRow("level counted from 0") << form << "Tyc=16;Lev=2";

    form = TypeOnly();
    form.uniteTarif = "5";
    form.uniteProduit = "7";
    QTest::newRow("tariff unit on both sides") << form << "Tyc=16;Uni=5;Unp=7;Uni=5";

    form = TypeOnly();
    form.domaine = "D";
    form.firstName = "Jean";
    form.lastName = "Martin";
    form.company = "ACME";
    form.remise = "10";
    QTest::newRow("text fields in order") << form << "Tyc=16;Doi=D;Rem=10;Naf=Jean;Nal=Martin;Nac=ACME";

    struct Date {
        const char *name;
        const char *text;
        const char *record;
    };
    const Date creations[] = {
        {"creation date", "06/09/16", "Tyc=16;Cda=160906"},
        {"no 31 February", "31/02/16", "Tyc=16"},
        {"leap day 2016", "29/02/16", "Tyc=16;Cda=160229"},
        {"leap day 2000", "29/02/00", "Tyc=16;Cda=000229"},
        {"no leap day 2015", "29/02/15", "Tyc=16"},
        {"month 13", "01/13/16", "Tyc=16"},
        {"mask left empty", "//", "Tyc=16"},
        {"four-digit year", "06/09/2016", "Tyc=16"},
        {"letters", "ab/cd/ef", "Tyc=16"},
    };
    for (const Date &date : creations) {
        form = TypeOnly();
        form.creationDate = date.text;
        QTest::newRow(date.name) << form << date.record;
    }

    form = TypeOnly();
    form.validiteDate = QDate(2020, 9, 6);
    QTest::newRow("validity editor without text") << form << "Tyc=16";
    form.validiteText = "06/09/20";
    form.validiteDate = QDate();
    QTest::newRow("validity without date") << form << "Tyc=16";
    form.validiteDate = QDate(1999, 12, 31);
    QTest::newRow("validity before 2000") << form << "Tyc=16";
    form.validiteDate = QDate(2000, 1, 1);
    QTest::newRow("validity 2000") << form << "Tyc=16;Vda=000101";

    struct Credit {
        const char *name;
        const char *text;
        const char *record;
    };
    const Credit credits[] = {
        {"credit tenths", "12.5", "Tyc=16;Cn0=1250"},
        {"credit hundredths", "12.05", "Tyc=16;Cn0=1205"},
        {"credit two digits", "12.50", "Tyc=16;Cn0=1250"},
        {"credit units", "12", "Tyc=16;Cn0=1200"},
        {"credit zero", "0", "Tyc=16;Cn0=0"},
        {"credit negative", "-1.50", "Tyc=16"},
        {"credit three digits", "12.345", "Tyc=16"},
        {"credit letters", "3.x", "Tyc=16"},
        {"credit no units", ".50", "Tyc=16"},
    };
    for (const Credit &credit : credits) {
        form = TypeOnly();
        form.credit = credit.text;
        QTest::newRow(credit.name) << form << credit.record;
    }

    form = TypeOnly();
    form.usr = "x;Cn0=999999";
    QTest::newRow("injected pair in name") << form << "Tyc=16;Usr=xCn0999999";
    form = TypeOnly();
    form.lastName = ";=;";
    QTest::newRow("only separators") << form << "Tyc=16";
}

void TestBadgeRecord::build()
{
    QFETCH(BadgeFormValues, form);
    QFETCH(QString, record);
    QCOMPARE(BadgeRecordBuild(form), record);
}

void TestBadgeRecord::buildNeverAddsPairs_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("pair") << "x;Cn0=999999";
    QTest::newRow("second value") << "a=b";
    QTest::newRow("empty pairs") << ";;;";
    QTest::newRow("frame end") << QString("a\x03" "b");
    QTest::newRow("newline") << "a\nb";
    QTest::newRow("long") << QString(1000, ';') + QString(1000, 'n');
}

void TestBadgeRecord::buildNeverAddsPairs()
{
    // Whatever is typed into any text field, the record keeps one pair per field.
    QFETCH(QString, typed);
    BadgeFormValues form = ExampleForm();
    form.usr = form.grp = form.uniteTarif = form.uniteProduit = form.domaine = form.remise =
        form.firstName = form.lastName = form.company = typed;
    const QString record = BadgeRecordBuild(form);
    const QString keys = KeysOf(record);
    QVERIFY(keys == "Tyc,Usr,Grp,Lev,Uni,Unp,Uni,Vda,Cda,Doi,Rem,Naf,Nal,Nac,Cn0"
            || keys == "Tyc,Lev,Vda,Cda,Cn0");
    for (const RecordPair &pair : RecordPairsParse(record)) {
        QCOMPARE(pair.key.size(), 3);
        for (const QChar c : pair.value)
            QVERIFY(c.unicode() >= 0x20);
    }
    QCOMPARE(record.count('='), RecordPairsParse(record).size());
}

void TestBadgeRecord::sanitize_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("clean");
    QTest::newRow("plain") << "Dupont" << "Dupont";
    QTest::newRow("accents kept") << "Société Hélène" << "Société Hélène";
    QTest::newRow("separators") << "x;Cn0=999999" << "xCn0999999";
    QTest::newRow("control bytes") << QString("a\x02" "b\x03" "c\td\x7f") << "abcd";
    QTest::newRow("empty") << "" << "";
}

void TestBadgeRecord::sanitize()
{
    QFETCH(QString, value);
    QFETCH(QString, clean);
    QCOMPARE(RecordValueSanitize(value), clean);
}

void TestBadgeRecord::pairsParse_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("example") << "Tyc=16;Usr=41;Cn0=200" << QStringList{"Tyc", "Usr", "Cn0"}
                             << QStringList{"16", "41", "200"};
    QTest::newRow("second = ends the value") << "Usr=12=13" << QStringList{"Usr"}
                                             << QStringList{"12"};
    QTest::newRow("part without =") << "11;UID=04A1" << QStringList{"11", "UID"}
                                    << QStringList{"", "04A1"};
    QTest::newRow("empty parts kept") << "a=1;;b=2;" << QStringList{"a", "", "b", ""}
                                      << QStringList{"1", "", "2", ""};
    QTest::newRow("empty value") << "Nal=" << QStringList{"Nal"} << QStringList{""};
    QTest::newRow("empty key") << "=5" << QStringList{""} << QStringList{"5"};
    QTest::newRow("repeated key") << "Uni=5;Uni=6" << QStringList{"Uni", "Uni"}
                                  << QStringList{"5", "6"};
}

void TestBadgeRecord::pairsParse()
{
    QFETCH(QString, record);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, values);
    QStringList parsedKeys, parsedValues;
    for (const RecordPair &pair : RecordPairsParse(record)) {
        parsedKeys << pair.key;
        parsedValues << pair.value;
    }
    QCOMPARE(parsedKeys, keys);
    QCOMPARE(parsedValues, values);
}

void TestBadgeRecord::level_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("record");
    QTest::addColumn<int>("shown");
    QTest::newRow("first grid") << "1" << "0" << 1;
    QTest::newRow("zero") << "0" << "0" << 1;
    QTest::newRow("fourth grid") << "4" << "3" << 4;
    QTest::newRow("not a number") << "abc" << "0" << 1;
}

void TestBadgeRecord::level()
{
    QFETCH(QString, form);
    QFETCH(QString, record);
    QFETCH(int, shown);
    QCOMPARE(LevelToRecord(form), record);
    QCOMPARE(LevelFromRecord(record), shown);
    QCOMPARE(LevelFromRecord("abc"), 1);
    // The largest value must not overflow on the way to the form.
    QCOMPARE(LevelFromRecord("2147483647"), 2147483647);
}

void TestBadgeRecord::recordDate_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QDate>("date");
    QTest::newRow("validity") << "200906" << QDate(2020, 9, 6);
    QTest::newRow("leap day 2000") << "000229" << QDate(2000, 2, 29);
    QTest::newRow("end of century") << "991231" << QDate(2099, 12, 31);
    QTest::newRow("no 31 February") << "160231" << QDate();
    QTest::newRow("too short") << "20096" << QDate();
    QTest::newRow("too long") << "2009061" << QDate();
    QTest::newRow("sign inside") << "20+906" << QDate();
    QTest::newRow("blank inside") << "20 906" << QDate();
    QTest::newRow("letters") << "20ab06" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestBadgeRecord::recordDate()
{
    QFETCH(QString, value);
    QFETCH(QDate, date);
    QCOMPARE(RecordDateParse(value), date);
}

void TestBadgeRecord::transaction_data()
{
    QTest::addColumn<QString>("counter");
    QTest::addColumn<TransactionType>("type");
    QTest::addColumn<quint32>("cents");
    QTest::addColumn<QString>("payload");
    QTest::newRow("debit example") << "0" << TransactionType::Debit << 150u << "Cnt=0;Trt=2;Tra=150";
    QTest::newRow("debit units") << "0" << TransactionType::Debit << 1200u << "Cnt=0;Trt=2;Tra=1200";
    QTest::newRow("credit counter 3") << "3" << TransactionType::Credit << 1250u
                                      << "Cnt=3;Trt=1;Tra=1250";
    QTest::newRow("largest amount") << "0" << TransactionType::Credit << 4294967295u
                                    << "Cnt=0;Trt=1;Tra=4294967295";
    QTest::newRow("injected counter") << "0;Tra=9" << TransactionType::Debit << 1u
                                      << "Cnt=0Tra9;Trt=2;Tra=1";
}

void TestBadgeRecord::transaction()
{
    QFETCH(QString, counter);
    QFETCH(TransactionType, type);
    QFETCH(quint32, cents);
    QFETCH(QString, payload);
    QCOMPARE(TransactionPayload(counter, type, cents), payload);
}

void TestBadgeRecord::recordToFields_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("fields");
    QTest::newRow("shown as the form writes them")
        << "Cda=240115;Cn0=1500;Tyc=16;Lev=0;Vda=281231;Naf=Hélène"
        << "Cda=15/01/24|Cn0=15.00|Tyc=16|Lev=1|Vda=31/12/28|Naf=Hélène";
    QTest::newRow("malformed values left out")
        << "Cda=241315;Cn0=abc;Tyc=x;Vda=;Usr=41" << "Usr=41";
    QTest::newRow("unknown keys and stray parts left out") << "Foo=1;;=2;UID" << "UID=";
    QTest::newRow("empty") << "" << "";
}

void TestBadgeRecord::recordToFields()
{
    QFETCH(QString, record);
    QFETCH(QString, fields);
    QStringList shown;
    for (const BadgeFieldText &field : BadgeRecordToFields(record)) {
        shown << field.key + "=" + field.text;
        QCOMPARE(field.date.isValid(), field.key == "Cda" || field.key == "Vda");
    }
    QCOMPARE(shown.join('|'), fields);
}

QTEST_APPLESS_MAIN(TestBadgeRecord)
#include "tst_badgerecord.moc"
