#include <QtTest>

#include <cstring>
#include <vector>

#include "util/textutil.h"

namespace {

const char Guard = '\x5A';

// A buffer with a guard region behind the part the function may use.
struct GuardedBuffer {
    explicit GuardedBuffer(std::size_t size) : usable(size), bytes(size + 64, Guard) {}
    char *data() { return bytes.data(); }
    bool guardIntact() const
    {
        for (std::size_t i = usable; i < bytes.size(); ++i)
            if (bytes[i] != Guard)
                return false;
        return true;
    }
    std::size_t usable;
    std::vector<char> bytes;
};

} // namespace

class TestTextUtil : public QObject
{
    Q_OBJECT

private slots:
    void centsToString_data();
    void centsToString();
    void centsStringToAmount_data();
    void centsStringToAmount();
    void amountToCents_data();
    void amountToCents();
    void amountRoundTrip();

    void bytesToHexString_data();
    void bytesToHexString();
    void bytesToHexStringStaysInBuffer_data();
    void bytesToHexStringStaysInBuffer();
    void hexStringToValue_data();
    void hexStringToValue();
    void hexStringToBytes_data();
    void hexStringToBytes();
    void hexRoundTrip();

    void stringField_data();
    void stringField();
    void stringFieldStaysInBuffer_data();
    void stringFieldStaysInBuffer();
    void recordValueGet_data();
    void recordValueGet();
    void recordValueGetLongInput_data();
    void recordValueGetLongInput();
    void randomInputStaysInBuffers();
};

void TestTextUtil::centsToString_data()
{
    QTest::addColumn<quint32>("cents");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0u << "0.00";
    QTest::newRow("one digit") << 7u << "0.07";
    QTest::newRow("ten") << 10u << "0.10";
    QTest::newRow("whole") << 100u << "1.00";
    QTest::newRow("both") << 1234u << "12.34";
    QTest::newRow("largest") << 4294967295u << "42949672.95";
}

void TestTextUtil::centsToString()
{
    QFETCH(quint32, cents);
    QFETCH(QString, text);
    QCOMPARE(CentsToString(cents), text);
}

void TestTextUtil::centsStringToAmount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("amount");
    QTest::newRow("credit") << "1234" << true << "12.34";
    QTest::newRow("cents only") << "5" << true << "0.05";
    QTest::newRow("zero") << "0" << true << "0.00";
    QTest::newRow("negative cents") << "-5" << true << "-0.05";
    QTest::newRow("negative units") << "-150" << true << "-1.50";
    QTest::newRow("most negative") << "-2147483648" << true << "-21474836.48";
    QTest::newRow("largest signed") << "2147483647" << true << "21474836.47";
    QTest::newRow("letters") << "abc" << false << "";
    QTest::newRow("trailing letter") << "12a" << false << "";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("beyond 32 bits") << "99999999999" << false << "";
}

void TestTextUtil::centsStringToAmount()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, amount);
    bool converted = !ok;
    QCOMPARE(CentsStringToAmount(text, converted), amount);
    QCOMPARE(converted, ok);
}

void TestTextUtil::amountToCents_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint32>("cents");
    QTest::newRow("units") << "12" << true << 1200;
    QTest::newRow("units and point") << "12." << true << 1200;
    QTest::newRow("one fraction digit is tenths") << "12.5" << true << 1250;
    QTest::newRow("two fraction digits") << "12.50" << true << 1250;
    QTest::newRow("leading zero fraction") << "12.05" << true << 1205;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("zero cents") << "0.01" << true << 1;
    QTest::newRow("negative whole amount") << "-1.50" << true << -150;
    QTest::newRow("negative tenths") << "-0.5" << true << -50;
    QTest::newRow("surrounding blanks") << " 3.25 " << true << 325;
    QTest::newRow("largest") << "21474836.47" << true << 2147483647;
    QTest::newRow("most negative") << "-21474836.48" << true << qint32(-2147483647 - 1);

    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("no whole part") << ".50" << false << 0;
    QTest::newRow("minus alone") << "-" << false << 0;
    QTest::newRow("minus and fraction") << "-.5" << false << 0;
    QTest::newRow("three fraction digits") << "12.345" << false << 0;
    QTest::newRow("letter in fraction") << "3.x" << false << 0;
    QTest::newRow("letter in units") << "1a.00" << false << 0;
    QTest::newRow("second point") << "1.2.3" << false << 0;
    QTest::newRow("minus in fraction") << "1.-5" << false << 0;
    QTest::newRow("comma") << "1,50" << false << 0;
    QTest::newRow("inner blank") << "1 2" << false << 0;
    QTest::newRow("just over the top") << "21474836.48" << false << 0;
    QTest::newRow("just under the bottom") << "-21474836.49" << false << 0;
    QTest::newRow("huge") << "99999999999999999999" << false << 0;
}

void TestTextUtil::amountToCents()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(qint32, cents);
    bool converted = !ok;
    QCOMPARE(AmountToCents(text, converted), cents);
    QCOMPARE(converted, ok);
}

void TestTextUtil::amountRoundTrip()
{
    // What the form shows must read back to the same cents.
    for (qint32 cents : {0, 1, 9, 10, 99, 100, 105, 1234, 2147483647}) {
        bool shown = false;
        const QString text = CentsStringToAmount(QString::number(cents), shown);
        QVERIFY(shown);
        bool read = false;
        QCOMPARE(AmountToCents(text, read), cents);
        QVERIFY2(read, qPrintable(text));
    }
}

void TestTextUtil::bytesToHexString_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("two bytes") << QByteArray("\x0A\xFF", 2) << QByteArray("0x") << QByteArray(" ")
                               << QByteArray("0x0A 0xFF");
    QTest::newRow("none") << QByteArray() << QByteArray("0x") << QByteArray(" ") << QByteArray();
    QTest::newRow("no prefix or separator") << QByteArray("\x01\xab\x00", 3) << QByteArray()
                                            << QByteArray() << QByteArray("01AB00");
    QTest::newRow("long separator") << QByteArray("\x10\x20", 2) << QByteArray("$")
                                    << QByteArray(", ") << QByteArray("$10, $20");
}

void TestTextUtil::bytesToHexString()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, prefix);
    QFETCH(QByteArray, separator);
    QFETCH(QByteArray, text);
    char out[64];
    std::memset(out, 'z', sizeof out);
    const char *result = BytesToHexString(reinterpret_cast<const quint8 *>(bytes.constData()), out,
                                          sizeof out, quint8(bytes.size()), prefix.constData(),
                                          separator.constData());
    QCOMPARE(result, static_cast<const char *>(out));
    QCOMPARE(QByteArray(out), text);
}

void TestTextUtil::bytesToHexStringStaysInBuffer_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("text");
    // Six bytes need 6 * 5 - 1 + 1 = 30 characters; smaller buffers keep whole items.
    QTest::newRow("exact") << 30 << QByteArray("0x00 0x11 0x22 0x33 0x44 0x55");
    QTest::newRow("one short") << 29 << QByteArray("0x00 0x11 0x22 0x33 0x44");
    QTest::newRow("one item") << 5 << QByteArray("0x00");
    QTest::newRow("under one item") << 4 << QByteArray();
    QTest::newRow("terminator only") << 1 << QByteArray();
}

void TestTextUtil::bytesToHexStringStaysInBuffer()
{
    QFETCH(int, size);
    QFETCH(QByteArray, text);
    const quint8 bytes[] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    GuardedBuffer buffer(size);
    BytesToHexString(bytes, buffer.data(), buffer.usable, 6, "0x", " ");
    QVERIFY(buffer.guardIntact());
    QCOMPARE(QByteArray(buffer.data()), text);

    GuardedBuffer none(0);
    BytesToHexString(bytes, none.data(), 0, 6, "0x", " ");
    QVERIFY(none.guardIntact());
}

void TestTextUtil::hexStringToValue_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("value");
    QTest::newRow("empty") << QByteArray("") << 0u;
    QTest::newRow("upper") << QByteArray("FF") << 0xFFu;
    QTest::newRow("lower") << QByteArray("0a") << 0x0Au;
    QTest::newRow("stray shifts") << QByteArray("1g") << 0x10u;
    QTest::newRow("eight digits") << QByteArray("DEADBEEF") << 0xDEADBEEFu;
    QTest::newRow("older digits fall off") << QByteArray("123456789") << 0x23456789u;
}

void TestTextUtil::hexStringToValue()
{
    QFETCH(QByteArray, text);
    QFETCH(quint32, value);
    QCOMPARE(HexStringToValue(text.constData()), value);
}

void TestTextUtil::hexStringToBytes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("mixed case, zero filled")
        << QByteArray("0x0A 0xff") << 4 << QByteArray("\x0A\xFF\x00\x00", 4);
    QTest::newRow("plain characters copied") << QByteArray("12") << 4 << QByteArray("12\0\0", 4);
    QTest::newRow("lone digit gives no byte") << QByteArray("0x1 0x23") << 2 << QByteArray("\x23\0", 2);
    QTest::newRow("zero then other") << QByteArray("05") << 2 << QByteArray("0\0", 2);
    QTest::newRow("stops at the maximum") << QByteArray("0x01 0x02 0x03") << 2 << QByteArray("\x01\x02", 2);
    QTest::newRow("empty") << QByteArray("") << 3 << QByteArray(3, '\0');
    QTest::newRow("upper X") << QByteArray("0X7e") << 1 << QByteArray("\x7E", 1);
}

void TestTextUtil::hexStringToBytes()
{
    QFETCH(QByteArray, text);
    QFETCH(int, maxCount);
    QFETCH(QByteArray, bytes);
    GuardedBuffer buffer(maxCount);
    std::memset(buffer.data(), 0x77, maxCount);
    HexStringToBytes(text.constData(), reinterpret_cast<quint8 *>(buffer.data()), quint8(maxCount));
    QVERIFY(buffer.guardIntact());
    QCOMPARE(QByteArray(buffer.data(), maxCount), bytes);
}

void TestTextUtil::hexRoundTrip()
{
    quint8 bytes[255];
    for (int i = 0; i < 255; ++i)
        bytes[i] = quint8(255 - i);
    char text[255 * 5];
    BytesToHexString(bytes, text, sizeof text, 255, "0x", " ");
    QCOMPARE(std::strlen(text), sizeof text - 1);

    quint8 back[255];
    HexStringToBytes(text, back, 255);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(back), 255),
             QByteArray(reinterpret_cast<char *>(bytes), 255));
}

void TestTextUtil::stringField_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("found");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("empty middle field") << QByteArray("a;;c") << 2 << 1 << QByteArray();
    QTest::newRow("empty last field") << QByteArray("a;") << 2 << 0 << QByteArray();
    QTest::newRow("last field") << QByteArray("a;b") << 2 << 1 << QByteArray("b");
    QTest::newRow("first field") << QByteArray("ab;cd") << 1 << 1 << QByteArray("ab");
    QTest::newRow("field 0 is field 1") << QByteArray("ab;cd") << 0 << 1 << QByteArray("ab");
    QTest::newRow("beyond the end") << QByteArray("a;b") << 3 << 0 << QByteArray();
    QTest::newRow("empty text") << QByteArray("") << 1 << 0 << QByteArray();
}

void TestTextUtil::stringField()
{
    QFETCH(QByteArray, text);
    QFETCH(int, field);
    QFETCH(int, found);
    QFETCH(QByteArray, out);
    char buffer[16];
    std::memset(buffer, 'z', sizeof buffer);
    QCOMPARE(int(StringField(buffer, sizeof buffer, text.constData(), ';', quint8(field))), found);
    QCOMPARE(QByteArray(buffer), out);
}

void TestTextUtil::stringFieldStaysInBuffer_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("room") << 8 << QByteArray("abcdef");
    QTest::newRow("exact") << 7 << QByteArray("abcdef");
    QTest::newRow("cut") << 4 << QByteArray("abc");
    QTest::newRow("terminator only") << 1 << QByteArray();
}

void TestTextUtil::stringFieldStaysInBuffer()
{
    QFETCH(int, size);
    QFETCH(QByteArray, out);
    GuardedBuffer buffer(size);
    QCOMPARE(int(StringField(buffer.data(), buffer.usable, "x;abcdef;y", ';', 2)), 1);
    QVERIFY(buffer.guardIntact());
    QCOMPARE(QByteArray(buffer.data()), out);

    GuardedBuffer none(0);
    QCOMPARE(int(StringField(none.data(), 0, "x;abcdef", ';', 2)), 1);
    QVERIFY(none.guardIntact());
}

void TestTextUtil::recordValueGet_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("defaultText");
    QTest::addColumn<bool>("hasDefault");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<int>("found");
    QTest::addColumn<QByteArray>("out");
    const QByteArray record("Tyc=1;Usr=42");
    QTest::newRow("found") << record << QByteArray("Usr") << QByteArray() << false << 20 << 1
                           << QByteArray("42");
    QTest::newRow("missing") << record << QByteArray("Grp") << QByteArray() << false << 20 << 0
                             << QByteArray();
    QTest::newRow("missing with default") << record << QByteArray("Grp") << QByteArray("0") << true
                                          << 20 << 1 << QByteArray("0");
    QTest::newRow("prefix key") << QByteArray("Cn0=200") << QByteArray("Cn") << QByteArray()
                                << false << 20 << 1 << QByteArray("200");
    QTest::newRow("value stops at =") << QByteArray("Usr=12=13") << QByteArray("Usr") << QByteArray()
                                      << false << 20 << 1 << QByteArray("12");
    QTest::newRow("key without value skipped")
        << QByteArray("Usr;Usr=7") << QByteArray("Usr") << QByteArray() << false << 20 << 1
        << QByteArray("7");
    QTest::newRow("empty field skipped") << QByteArray("a;;Grp=3") << QByteArray("Grp")
                                         << QByteArray() << false << 20 << 1 << QByteArray("3");
    QTest::newRow("value cut to max") << QByteArray("Nal=Dupontel") << QByteArray("Nal")
                                      << QByteArray() << false << 4 << 1 << QByteArray("Dupo");
    QTest::newRow("default cut to max") << record << QByteArray("Grp") << QByteArray("123456")
                                        << true << 3 << 1 << QByteArray("123");
    QTest::newRow("zero length") << record << QByteArray("Usr") << QByteArray() << false << 0 << 1
                                 << QByteArray();
}

void TestTextUtil::recordValueGet()
{
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, defaultText);
    QFETCH(bool, hasDefault);
    QFETCH(int, maxLength);
    QFETCH(int, found);
    QFETCH(QByteArray, out);
    GuardedBuffer buffer(maxLength + 1);
    QCOMPARE(int(RecordValueGet(buffer.data(), quint8(maxLength), record.constData(), key.constData(),
                                ';', hasDefault ? defaultText.constData() : nullptr)),
             found);
    QVERIFY(buffer.guardIntact());
    QCOMPARE(QByteArray(buffer.data()), out);
}

void TestTextUtil::recordValueGetLongInput_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("found");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("1000-character value")
        << QByteArray("Nal=") + QByteArray(1000, 'v') << QByteArray("Nal") << 1 << QByteArray(255, 'v');
    QTest::newRow("key after a 1000-character field")
        << QByteArray(1000, 'f') + ";Usr=5" << QByteArray("Usr") << 1 << QByteArray("5");
    QTest::newRow("value past the work buffer")
        << QByteArray("Usr") + QByteArray(400, 'x') + "=9" << QByteArray("Usr") << 0 << QByteArray();

    QByteArray manyFields;
    for (int i = 0; i < 300; ++i)
        manyFields += "a=1;";
    QTest::newRow("key beyond field 255") << manyFields + "Usr=5" << QByteArray("Usr") << 0
                                          << QByteArray();
    QTest::newRow("key at field 255") << manyFields.left(254 * 4) + "Usr=5" << QByteArray("Usr") << 1
                                      << QByteArray("5");
}

void TestTextUtil::recordValueGetLongInput()
{
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, key);
    QFETCH(int, found);
    QFETCH(QByteArray, out);
    GuardedBuffer buffer(256);
    QCOMPARE(int(RecordValueGet(buffer.data(), 255, record.constData(), key.constData(), ';', nullptr)),
             found);
    QVERIFY(buffer.guardIntact());
    QCOMPARE(QByteArray(buffer.data()), out);
}

void TestTextUtil::randomInputStaysInBuffers()
{
    // Texts from the link are arbitrary bytes: no buffer may be overrun by any of them.
    QRandomGenerator random(20240611);
    const char alphabet[] = "0xX ;=aF9Usr\x01\xff";
    for (int round = 0; round < 2000; ++round) {
        QByteArray text(random.bounded(1200), '\0');
        for (char &c : text)
            c = alphabet[random.bounded(int(sizeof alphabet - 1))];
        const int size = random.bounded(1, 40);

        GuardedBuffer field(size);
        StringField(field.data(), field.usable, text.constData(), ';', quint8(random.bounded(256)));
        QVERIFY(field.guardIntact());
        QVERIFY(std::strlen(field.data()) < field.usable);

        GuardedBuffer value(size);
        RecordValueGet(value.data(), quint8(size - 1), text.constData(), "Usr", ';', "0");
        QVERIFY(value.guardIntact());

        GuardedBuffer bytes(size);
        HexStringToBytes(text.constData(), reinterpret_cast<quint8 *>(bytes.data()), quint8(size));
        QVERIFY(bytes.guardIntact());

        GuardedBuffer hex(size);
        BytesToHexString(reinterpret_cast<const quint8 *>(text.constData()), hex.data(), hex.usable,
                         quint8(qMin(text.size(), 255)), "0x", " ");
        QVERIFY(hex.guardIntact());
    }
}

QTEST_APPLESS_MAIN(TestTextUtil)
#include "tst_textutil.moc"
