// Amounts as the operator types them: read exactly, or refused with a reason.
#include <QtTest>

#include "util/amount.h"

class TestAmount : public QObject
{
    Q_OBJECT
private slots:
    void read_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("zeroRefused");
        QTest::addColumn<qint64>("cents");  // -1: refused
        QTest::addColumn<QString>("refusal");
        QTest::newRow("comma") << "12,50" << false << qint64(1250) << "";
        QTest::newRow("point") << "12.50" << false << qint64(1250) << "";
        QTest::newRow("one decimal is tenths") << "0,5" << false << qint64(50) << "";
        QTest::newRow("trailing separator") << "12," << false << qint64(1200) << "";
        QTest::newRow("thousands blank") << "1 000,00" << false << qint64(100000) << "";
        QTest::newRow("no-break blanks") << QString("1\u00A0234\u202F567") << false << qint64(123456700) << "";
        QTest::newRow("surrounding blanks") << " 3,25 " << false << qint64(325) << "";
        QTest::newRow("largest") << "21 474 836,47" << false << qint64(2147483647) << "";
        QTest::newRow("zero allowed for a balance") << "0,00" << false << qint64(0) << "";

        QTest::newRow("zero refused for a transaction") << "0" << true << qint64(-1) << "Montant nul";
        QTest::newRow("zero with decimals") << "0,00" << true << qint64(-1) << "Montant nul";
        QTest::newRow("empty") << "" << false << qint64(-1) << "Montant vide";
        QTest::newRow("three decimals") << "1,505" << false << qint64(-1) << "Deux décimales au plus";
        QTest::newRow("letters") << "12a" << false << qint64(-1) << "Caractère non permis : « a »";
        QTest::newRow("negative") << "-1,50" << false << qint64(-1) << "Montant négatif refusé";
        QTest::newRow("two separators") << "1.000,00" << false << qint64(-1)
                                        << "Un seul séparateur décimal (« , » ou « . »)";
        QTest::newRow("no units") << ",5" << false << qint64(-1) << "Chiffre attendu avant la virgule";
        QTest::newRow("blank not between thousands") << "10 00" << false << qint64(-1)
                                                     << "Espace mal placé : seulement entre les milliers";
        QTest::newRow("blank in decimals") << "1,5 0" << false << qint64(-1)
                                           << "Espace mal placé : seulement entre les milliers";
        QTest::newRow("one cent over the bound") << "21474836,48" << false << qint64(-1)
                                                 << "Montant trop grand (21 474 836,47 au plus)";
        QTest::newRow("far over the bound") << "99999999999999999999" << false << qint64(-1)
                                            << "Montant trop grand (21 474 836,47 au plus)";
    }
    void read()
    {
        QFETCH(QString, text);
        QFETCH(bool, zeroRefused);
        QFETCH(qint64, cents);
        QFETCH(QString, refusal);
        const AmountReading reading = AmountRead(text, zeroRefused ? AmountZero::Refused : AmountZero::Allowed);
        QCOMPARE(reading.ok, cents >= 0);
        if (reading.ok)
            QCOMPARE(reading.cents, cents);
        QCOMPARE(reading.refusal, refusal);
    }
};

QTEST_MAIN(TestAmount)
#include "tst_amount.moc"
