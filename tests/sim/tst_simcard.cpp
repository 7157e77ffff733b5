// The simulated card memory: authentication, access conditions, value
// blocks and format, request by request as the reader receives them.
#include <QtTest>

#include "sim/simcard.h"

namespace {
const QString Ff = "0xFF 0xFF 0xFF 0xFF 0xFF 0xFF";
const QString Ka = "0xA0 0xA1 0xA2 0xA3 0xA4 0xA5";
const QString Kb = "0xB0 0xB1 0xB2 0xB3 0xB4 0xB5";
const QString Zero6 = "0x00 0x00 0x00 0x00 0x00 0x00";
const QString Zeros = Zero6 + " 0x00 0x00 0x00 0x00 " + Zero6;
const QString Data = "0x00 0x11 0x22 0x33 0x44 0x55 0x66 0x77 0x88 0x99 0xAA 0xBB 0xCC 0xDD 0xEE 0xFF";
const QString Transport = " 0xFF 0x07 0x80 0x69 ";
// Sector 1 with its own keys: trailer 011 (key B writes all, key A only
// reads the access bytes), block 4 100 (key B writes), block 5 110 (value
// block), block 6 010 (read only).
const QString Locked = " 0x1C 0x37 0x8E 0x00 ";
// Value 100 at address 5, then 110, then 80.
const QString Value100 = "0x64 0x00 0x00 0x00 0x9B 0xFF 0xFF 0xFF 0x64 0x00 0x00 0x00 0x05 0xFA 0x05 0xFA";
const QString Value110 = "0x6E 0x00 0x00 0x00 0x91 0xFF 0xFF 0xFF 0x6E 0x00 0x00 0x00 0x05 0xFA 0x05 0xFA";
const QString Value80 = "0x50 0x00 0x00 0x00 0xAF 0xFF 0xFF 0xFF 0x50 0x00 0x00 0x00 0x05 0xFA 0x05 0xFA";
}

class TestSimCard : public QObject
{
    Q_OBJECT

    // A step reads "XY|payload|status|body"; a body ending in "*" is a prefix.
    void run(SimCard &card, const QStringList &steps, const QString &badge = "credit")
    {
        for (const QString &step : steps) {
            const QStringList parts = step.split('|');
            QCOMPARE(parts.size(), 4);
            QStringList notices;
            const SimAnswer answer = card.handle(parts[0].at(0).toLatin1(), parts[0].at(1).toLatin1(),
                                                 parts[1], badge, &notices);
            QVERIFY2(!answer.silent, qPrintable(step));
            QVERIFY2(answer.status == parts[2].at(0).toLatin1(),
                     qPrintable(step + " -> " + answer.status + " " + answer.body));
            if (parts[3].endsWith('*'))
                QVERIFY2(answer.body.startsWith(parts[3].chopped(1)), qPrintable(answer.body));
            else
                QCOMPARE(answer.body, parts[3]);
            QVERIFY2(!notices.isEmpty() || badge.isEmpty(), qPrintable(step));
        }
    }

private slots:
    void requests_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("transport: zeros, trailer, UID in block 0") << QStringList{
            "RR|1;0;" + Ff + "|0|" + Zeros,
            "RR|3;0;" + Ff + "|0|" + Zero6 + Transport + Ff,
            "RR|0;0;" + Ff + "|0|0x04 0xA1 0xB2 0xC3 0xD4 *"};
        QTest::newRow("wrong key, readable key B") << QStringList{
            "RR|1;0;" + Ka + "|1|Authentification refusée",
            "RR|1;1;" + Ff + "|1|Authentification refusée"};
        QTest::newRow("write and read back; block 0 is read-only") << QStringList{
            "RW|2;0;" + Ff + ";" + Data + "|0|",
            "RR|2;0;" + Ff + "|0|" + Data,
            "RW|0;0;" + Ff + ";" + Data + "|1|Accès refusé"};
        QTest::newRow("value block up and down") << QStringList{
            "RW|5;0;" + Ff + ";" + Value100 + "|0|",
            "RI|5;0;" + Ff + ";1;10|0|",
            "RR|5;0;" + Ff + "|0|" + Value110,
            "RD|5;0;" + Ff + ";2;30|0|",
            "RR|5;0;" + Ff + "|0|" + Value80,
            "RD|5;0;" + Ff + ";2;3000000000|1|Requête invalide",
            "RI|5;0;" + Ff + ";1;2147483647|1|Valeur hors limites",
            "RI|6;0;" + Ff + ";1;1|1|Bloc valeur invalide",
            "RI|7;0;" + Ff + ";1;1|1|Accès refusé"};
        QTest::newRow("new keys and conditions") << QStringList{
            "RW|5;0;" + Ff + ";" + Value100 + "|0|",
            "RW|7;0;" + Ff + ";" + Ka + Locked + Kb + "|0|",
            "RR|4;0;" + Ff + "|1|Authentification refusée",
            // Key B no longer readable: it authenticates, and reads as zeros like key A.
            "RR|7;1;" + Kb + "|0|" + Zero6 + Locked + Zero6,
            "RR|7;0;" + Ka + "|0|" + Zero6 + Locked + Zero6,
            "RW|4;0;" + Ka + ";" + Data + "|1|Accès refusé",
            "RW|4;1;" + Kb + ";" + Data + "|0|",
            "RR|4;0;" + Ka + "|0|" + Data,
            "RW|6;1;" + Kb + ";" + Data + "|1|Accès refusé",
            "RI|5;0;" + Ka + ";1;10|1|Accès refusé",
            "RI|5;1;" + Kb + ";1;10|0|",
            "RD|5;0;" + Ka + ";2;30|0|",
            "RR|5;0;" + Ka + "|0|" + Value80,
            "RW|7;0;" + Ka + ";" + Ff + Locked + Kb + "|1|Accès refusé",
            "RW|7;1;" + Kb + ";" + Ff + Transport + Ff + "|0|",
            "RR|4;0;" + Ff + "|0|" + Data};
        QTest::newRow("unsound access bits refused") << QStringList{
            "RW|3;0;" + Ff + "; " + Ff + " 0xFF 0xFF 0x80 0x69 " + Ff + "|1|Bits d'accès incohérents",
            "RR|3;0;" + Ff + "|0|" + Zero6 + Transport + Ff};
        QTest::newRow("format") << QStringList{
            "RW|7;0;" + Ff + ";" + Ka + Transport + Kb + "|0|",
            "RW|4;0;" + Ka + ";" + Data + "|0|",
            "BF||0|",
            "RR|4;0;" + Ff + "|0|" + Zeros,
            "RR|7;0;" + Ff + "|0|" + Zero6 + Transport + Ff};
        QTest::newRow("malformed") << QStringList{
            "RR|1;0|1|Requête invalide",
            "RR|64;0;" + Ff + "|1|Requête invalide",
            "RR|-1;0;" + Ff + "|1|Requête invalide",
            "RR|1;2;" + Ff + "|1|Requête invalide",
            "RR|1;0;0xFF 0xFF|1|Requête invalide",
            "RR|1;0;" + Ff + ";x|1|Requête invalide",
            "RW|1;0;" + Ff + ";0x01 0x02|1|Requête invalide",
            "RW|1;0;" + Ff + ";" + Data + ";" + Data + "|1|Requête invalide",
            "RI|1;0;" + Ff + ";2;10|1|Requête invalide",
            "RI|1;0;" + Ff + ";1;-10|1|Requête invalide",
            "RX|1;0;" + Ff + "|1|Requête invalide"};
    }
    void requests()
    {
        QFETCH(QStringList, steps);
        SimCard card;
        card.setUidSource([](const QString &name) { return name == "credit" ? "04A1B2C3" : ""; });
        run(card, steps);
    }

    void eachBadgeHasItsOwnMemory()
    {
        SimCard card;
        run(card, {"RW|1;0;" + Ff + ";" + Data + "|0|"}, "credit");
        run(card, {"RR|1;0;" + Ff + "|0|" + Zeros}, "vierge");
        run(card, {"RR|1;0;" + Ff + "|1|Aucun badge", "BF||1|"}, "");
        QCOMPARE(card.block("credit", 1).toHex(), QByteArray("00112233445566778899aabbccddeeff"));
        QVERIFY(card.block("vierge", 0) != card.block("credit", 0));
    }

    void controlLines()
    {
        SimCard card;
        QString reply;
        QVERIFY(!card.control("present", "credit", "credit", &reply));
        QVERIFY(card.control("valeur", "5 100", "credit", &reply));
        QVERIFY(card.control("secteur", "1", "credit", &reply));
        QVERIFY2(reply.contains("bloc  5 : " + Value100 + "  (valeur 100)"), qPrintable(reply));
        QVERIFY(reply.contains("bloc  7 : " + Ff + Transport + Ff + "  (trailer)"));
        for (const QString &bad : {"16", "", "x"}) {
            QVERIFY(card.control("secteur", bad, "credit", &reply));
            QVERIFY(reply.startsWith("Usage"));
        }
        QVERIFY(card.control("valeur", "7 1", "credit", &reply));
        QVERIFY(reply.startsWith("Usage"));
        QVERIFY(card.control("secteur", "1", "", &reply));
        QCOMPARE(reply, QString("Aucun badge sur le lecteur"));
    }
};

QTEST_APPLESS_MAIN(TestSimCard)
#include "tst_simcard.moc"
