// The plain logic of the maintenance tools: trailer access bytes both ways,
// the answer of a trailer read, payloads, field checks, clock texts.
#include <QtTest>
#include <climits>

#include "config/configmodel.h"
#include "tools/cardaccess.h"
#include "tools/readertools.h"

Q_DECLARE_METATYPE(AccessBits)

namespace {
const QString Ff6 = "0xFF 0xFF 0xFF 0xFF 0xFF 0xFF";
const QString Zeros16 = "0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00";
// Value 100 at address 5.
const QString Value100 = "0x64 0x00 0x00 0x00 0x9B 0xFF 0xFF 0xFF 0x64 0x00 0x00 0x00 0x05 0xFA 0x05 0xFA";

AccessBits Bits(std::initializer_list<std::pair<int, int>> set)
{
    AccessBits bits;
    for (const auto &cb : set)
        bits.bit[cb.first - 1][cb.second] = true;
    return bits;
}

AccessBits AllBits()
{
    AccessBits bits;
    for (auto &c : bits.bit)
        for (bool &b : c)
            b = true;
    return bits;
}

TrailerBytes WithAccess(const std::array<quint8, AccessSize> &access)
{
    TrailerBytes trailer{};
    std::copy(access.begin(), access.end(), trailer.begin() + 6);
    return trailer;
}
}

class TestCardAccess : public QObject
{
    Q_OBJECT

private slots:
    void accessBytes_data()
    {
        QTest::addColumn<AccessBits>("bits");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << AccessBits() << "0xFF 0x0F 0x00 0x00";
        QTest::newRow("C3 of block 3") << Bits({{3, 3}}) << "0xFF 0x07 0x80 0x00";
        QTest::newRow("all twelve") << AllBits() << "0x00 0xF0 0xFF 0x00";
        QTest::newRow("C1 of block 0") << Bits({{1, 0}}) << "0xFE 0x1F 0x00 0x00";
        QTest::newRow("C2 of block 2") << Bits({{2, 2}}) << "0xBF 0x0F 0x04 0x00";
    }
    void accessBytes()
    {
        QFETCH(AccessBits, bits);
        QFETCH(QString, text);
        QCOMPARE(AccessText(bits), text);
        QVERIFY(AccessBitsFromTrailer(WithAccess(AccessBytes(bits))) == bits);
    }

    // Every combination of the twelve boxes reads back as itself, and each
    // inverted copy is the complement of its plain bit.
    void everyCombinationReadsBack()
    {
        for (int mask = 0; mask < 4096; ++mask) {
            AccessBits bits;
            for (int i = 0; i < 12; ++i)
                bits.bit[i / 4][i % 4] = mask & (1 << i);
            const auto bytes = AccessBytes(bits);
            QVERIFY(AccessBitsFromTrailer(WithAccess(bytes)) == bits);
            QCOMPARE(quint8(bytes[0] ^ ((bytes[2] << 4) | (bytes[1] >> 4))), quint8(0xFF));
            QCOMPARE(quint8((bytes[1] & 0x0F) ^ (bytes[2] >> 4)), quint8(0x0F));
            QCOMPARE(bytes[3], quint8(0));
        }
    }

    void trailerAnswer_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("keyA");
        QTest::addColumn<AccessBits>("bits");
        QTest::addColumn<QString>("keyB");
        const QString zero6 = "0x00 0x00 0x00 0x00 0x00 0x00";
        QTest::newRow("transport") << Ff6 + " 0xFF 0x07 0x80 0x69 " + Ff6 << Ff6 << Bits({{3, 3}})
                                   << Ff6;
        QTest::newRow("short: the rest is 0") << "0x01 0x02 0x03" << "0x01 0x02 0x03 0x00 0x00 0x00"
                                              << AccessBits() << zero6;
        QTest::newRow("longer: 16 bytes taken")
            << Ff6 + " 0xFF 0x07 0x80 0x69 " + Ff6 + " 0x11 0x22 0x33" << Ff6 << Bits({{3, 3}}) << Ff6;
        QTest::newRow("empty") << "" << zero6 << AccessBits() << zero6;
        QTest::newRow("stray text") << "KO" << "0x4B 0x4F 0x00 0x00 0x00 0x00" << AccessBits()
                                    << zero6;
    }
    void trailerAnswer()
    {
        QFETCH(QString, answer);
        QFETCH(QString, keyA);
        QFETCH(AccessBits, bits);
        QFETCH(QString, keyB);
        const TrailerBytes trailer = TrailerFromAnswer(answer);
        QCOMPARE(ByteText(trailer.data(), KeySize), keyA);
        QVERIFY(AccessBitsFromTrailer(trailer) == bits);
        QCOMPARE(ByteText(trailer.data() + 10, KeySize), keyB);
    }

    // The published trailer table: only 001, 011 and 101 leave the access
    // bytes writable; key A reads key B under 000, 010 and 001.
    void trailerConditions_data()
    {
        QTest::addColumn<bool>("c1");
        QTest::addColumn<bool>("c2");
        QTest::addColumn<bool>("c3");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("keyBReadable");
        QTest::newRow("000") << false << false << false << true << true;
        QTest::newRow("001 transport") << false << false << true << false << true;
        QTest::newRow("010") << false << true << false << true << true;
        QTest::newRow("011") << false << true << true << false << false;
        QTest::newRow("100") << true << false << false << true << false;
        QTest::newRow("101") << true << false << true << false << false;
        QTest::newRow("110") << true << true << false << true << false;
        QTest::newRow("111") << true << true << true << true << false;
    }
    void trailerConditions()
    {
        QFETCH(bool, c1);
        QFETCH(bool, c2);
        QFETCH(bool, c3);
        QFETCH(bool, locked);
        QFETCH(bool, keyBReadable);
        QCOMPARE(TrailerAccessLocked(c1, c2, c3), locked);
        QCOMPARE(TrailerKeyBReadable(c1, c2, c3), keyBReadable);
    }

    void valueBlocks_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<int>("address");
        QTest::newRow("100 at 5") << Value100 << true << 100 << 5;
        QTest::newRow("negative") << "0xFE 0xFF 0xFF 0xFF 0x01 0x00 0x00 0x00 0xFE 0xFF 0xFF 0xFF 0x3E 0xC1 0x3E 0xC1"
                                  << true << -2 << 62;
        QTest::newRow("lowest") << "0x00 0x00 0x00 0x80 0xFF 0xFF 0xFF 0x7F 0x00 0x00 0x00 0x80 0x01 0xFE 0x01 0xFE"
                                << true << INT_MIN << 1;
        QTest::newRow("inverse broken") << QString(Value100).replace("0x9B", "0x9C") << false << 0 << 0;
        QTest::newRow("third copy broken") << QString(Value100).replace(40, 4, "0x65") << false << 0 << 0;
        QTest::newRow("address broken") << QString(Value100).replace(60, 4, "0x06") << false << 0 << 0;
        QTest::newRow("address inverse broken") << QString(Value100).replace(75, 4, "0xFB") << false << 0 << 0;
        QTest::newRow("zeros") << Zeros16 << false << 0 << 0;
        QTest::newRow("one byte short") << Value100.left(74) << false << 0 << 0;
        QTest::newRow("one byte more") << Value100 + " 0x00" << false << 0 << 0;
        QTest::newRow("refusal text") << "Accès refusé" << false << 0 << 0;
    }
    void valueBlocks()
    {
        QFETCH(QString, answer);
        QFETCH(bool, valid);
        QFETCH(qint32, value);
        QFETCH(int, address);
        BlockBytes block{};
        qint32 gotValue = 0;
        quint8 gotAddress = 0;
        QCOMPARE(BlockFromAnswer(answer, &block) && ValueFromBlock(block, &gotValue, &gotAddress), valid);
        if (valid) {
            QCOMPARE(gotValue, value);
            QCOMPARE(int(gotAddress), address);
        }
    }

    void numbers_data()
    {
        QTest::addColumn<bool>("sector");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("block");  // -1: refused
        QTest::newRow("sector 0") << true << "0" << 3;
        QTest::newRow("sector 1") << true << "1" << 7;
        QTest::newRow("sector 15") << true << "15" << 63;
        QTest::newRow("sector -1") << true << "-1" << -1;
        QTest::newRow("sector 16") << true << "16" << -1;
        QTest::newRow("sector 40") << true << "40" << -1;
        QTest::newRow("sector empty") << true << "" << -1;
        QTest::newRow("block 0") << false << "0" << 0;
        QTest::newRow("block 63") << false << "63" << 63;
        QTest::newRow("block 64") << false << "64" << -1;
        QTest::newRow("block -1") << false << "-1" << -1;
        QTest::newRow("block abc") << false << "abc" << -1;
        QTest::newRow("block hex") << false << "0x10" << -1;
    }
    void numbers()
    {
        QFETCH(bool, sector);
        QFETCH(QString, text);
        QFETCH(int, block);
        int got = -1;
        const bool ok = sector ? SectorTrailerBlock(text, &got) : BlockNumber(text, &got);
        QCOMPARE(ok, block >= 0);
        if (ok)
            QCOMPARE(got, block);
    }

    void keys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalized");  // empty: refused
        QTest::newRow("default") << DefaultKeyText() << Ff6;
        QTest::newRow("lower case, extra blanks")
            << " 0xa0  0Xa1 0xA2 0xa3 0xa4 0xa5 " << "0xA0 0xA1 0xA2 0xA3 0xA4 0xA5";
        QTest::newRow("semicolon") << "0xFF;0xFF 0xFF 0xFF 0xFF 0xFF 0xFF" << "";
        QTest::newRow("field added") << Ff6 + ";1" << "";
        QTest::newRow("five bytes") << "0xFF 0xFF 0xFF 0xFF 0xFF" << "";
        QTest::newRow("seven bytes") << Ff6 + " 0xFF" << "";
        QTest::newRow("one digit") << "0xF 0xFF 0xFF 0xFF 0xFF 0xFF" << "";
        QTest::newRow("no prefix") << "FF FF FF FF FF FF" << "";
        QTest::newRow("not hex") << "0xGG 0xFF 0xFF 0xFF 0xFF 0xFF" << "";
        QTest::newRow("empty") << "" << "";
    }
    void keys()
    {
        QFETCH(QString, text);
        QFETCH(QString, normalized);
        QString got;
        QCOMPARE(KeyText(text, &got), !normalized.isEmpty());
        if (!normalized.isEmpty())
            QCOMPARE(got, normalized);
    }

    // Only what a card can take is sent: the refusal, or the data field
    // as it goes out.
    void blockChanges_data()
    {
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("sent");
        const int write = int(BlockChange::Write);
        const int inc = int(BlockChange::Increment);
        const int dec = int(BlockChange::Decrement);
        const QString block0 = "Erreur->Bloc 0 en lecture seule";
        const QString trailer = "Erreur->Bloc trailer : utiliser Trailer";
        const QString data = "Erreur->Donnée non valide : 16 octets \"0x..\" attendus";
        const QString value = "Erreur->Valeur non valide : entier de 1 à 2147483647";
        QTest::newRow("write 16 bytes") << 1 << write << Value100 << "" << Value100;
        QTest::newRow("write normalized") << 1 << write << Zeros16.toLower() + "  " << "" << Zeros16;
        QTest::newRow("write 2 bytes") << 1 << write << "0x01 0x02" << data << "";
        QTest::newRow("write 17 bytes") << 1 << write << Zeros16 + " 0x00" << data << "";
        QTest::newRow("write nothing") << 1 << write << "" << data << "";
        QTest::newRow("write text") << 1 << write << "bonjour" << data << "";
        QTest::newRow("write block 0") << 0 << write << Zeros16 << block0 << "";
        QTest::newRow("write trailer 3") << 3 << write << Zeros16 << trailer << "";
        QTest::newRow("write trailer 63") << 63 << write << Zeros16 << trailer << "";
        QTest::newRow("increment 1") << 5 << inc << "1" << "" << "1";
        QTest::newRow("increment max") << 5 << inc << "2147483647" << "" << "2147483647";
        QTest::newRow("increment leading zero") << 5 << inc << " 010 " << "" << "10";
        QTest::newRow("increment over max") << 5 << inc << "2147483648" << value << "";
        QTest::newRow("increment 0") << 5 << inc << "0" << value << "";
        QTest::newRow("increment 1e3") << 5 << inc << "1e3" << value << "";
        QTest::newRow("increment -5") << 5 << inc << "-5" << value << "";
        QTest::newRow("increment +5") << 5 << inc << "+5" << value << "";
        QTest::newRow("increment 12,50") << 5 << inc << "12,50" << value << "";
        QTest::newRow("increment empty") << 5 << inc << "" << value << "";
        QTest::newRow("increment block 0") << 0 << inc << "1" << block0 << "";
        QTest::newRow("decrement 30") << 6 << dec << "30" << "" << "30";
        QTest::newRow("decrement 12.5") << 6 << dec << "12.5" << value << "";
        QTest::newRow("decrement trailer") << 7 << dec << "1" << trailer << "";
    }
    void blockChanges()
    {
        QFETCH(int, block);
        QFETCH(int, change);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        QFETCH(QString, sent);
        const BlockChangeCheck check = BlockChangeChecked(block, BlockChange(change), typed);
        QCOMPARE(check.refusal, refusal);
        QCOMPARE(check.data, sent);
    }

    void payloads()
    {
        QCOMPARE(BlockValuePayload(5, false, "K", true, "10"), QString("5;0;K;1;10"));
        QCOMPARE(BlockValuePayload(6, true, "K", false, "3"), QString("6;1;K;2;3"));
        QCOMPARE(BlockReadPayload(7, false, "K"), QString("7;0;K"));
        QCOMPARE(BlockWritePayload(1, true, "K", "D"), QString("1;1;K;D"));
        QCOMPARE(TrailerWritePayload(3, false, "K", "A", Bits({{3, 3}}), "B"),
                 QString("3;0;K;A 0xFF 0x07 0x80 0x00 B"));
        QVERIFY(SingleField("0x01 0x02"));
        QVERIFY(!SingleField("0x01;0x02"));
    }

    void clockTexts()
    {
        const ReaderClockTexts texts = ClockTexts(QDateTime(QDate(2026, 12, 6), QTime(14, 5, 59)));
        QCOMPARE(texts.date, QString("06/12/26"));
        QCOMPARE(texts.time, QString("14:05"));
    }

    // A null text: the parameter was not read at all.
    void clockDrift_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QDateTime>("pc");
        QTest::addColumn<bool>("known");
        QTest::addColumn<int>("minutes");
        const QDateTime afternoon(QDate(2026, 12, 6), QTime(14, 5, 59));
        const QDateTime beforeMidnight(QDate(2026, 12, 6), QTime(23, 59, 10));
        const QDateTime afterMidnight(QDate(2026, 12, 7), QTime(0, 1, 30));
        QTest::newRow("same minute") << "06/12/26" << "14:05" << true << afternoon << true << 0;
        QTest::newRow("ahead") << "06/12/26" << "14:10" << true << afternoon << true << 5;
        QTest::newRow("behind") << "06/12/26" << "14:00" << true << afternoon << true << -5;
        QTest::newRow("blanks around") << " 06/12/26 " << " 14:08" << true << afternoon << true << 3;
        QTest::newRow("reader past midnight") << "07/12/26" << "00:01" << true << beforeMidnight << true << 2;
        QTest::newRow("reader before midnight") << "06/12/26" << "23:58" << true << afterMidnight << true << -3;
        QTest::newRow("reader in the new year") << "01/01/27" << "00:02" << true
                                                << QDateTime(QDate(2026, 12, 31), QTime(23, 59)) << true << 3;
        QTest::newRow("date a day ahead") << "07/12/26" << "14:05" << true << afternoon << true << 24 * 60;
        QTest::newRow("time not read") << "06/12/26" << QString() << true << afternoon << false << 0;
        QTest::newRow("date not read") << QString() << "14:05" << true << afternoon << false << 0;
        QTest::newRow("refused") << "06/12/26" << "14:05" << false << afternoon << false << 0;
        QTest::newRow("empty answers") << "" << "" << true << afternoon << false << 0;
        QTest::newRow("with seconds") << "06/12/26" << "14:05:12" << true << afternoon << false << 0;
        QTest::newRow("no such hour") << "06/12/26" << "25:05" << true << afternoon << false << 0;
        QTest::newRow("four-digit year") << "06/12/2026" << "14:05" << true << afternoon << false << 0;
    }
    void clockDrift()
    {
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(bool, accepted);
        QFETCH(QDateTime, pc);
        QFETCH(bool, known);
        QList<ConfigRead> reads{{"12.2", true, "7"}};
        if (!time.isNull())
            reads.append({ReaderToolId::ClockTime, accepted, time});
        if (!date.isNull())
            reads.append({ReaderToolId::ClockDate, accepted, date});
        const std::optional<ReaderClockTexts> texts = ClockTextsRead(reads);
        const std::optional<qint64> drift = texts ? ClockDriftSecs(*texts, pc) : std::nullopt;
        QCOMPARE(drift.has_value(), known);
        if (known)
            QTEST(int(*drift / 60), "minutes");
    }
};

QTEST_APPLESS_MAIN(TestCardAccess)
#include "tst_cardaccess.moc"
