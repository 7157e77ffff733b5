// The badge page at its edges, against the simulated reader: creation
// next to a valid badge, French amounts, transactions that go unanswered,
// a badge swapped before a debit.
#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "badge/badgerecord.h"
#include "tests/support/windowfixture.h"

namespace {
const QString UnknownOutcome = QString::fromUtf8("Transaction->TIMEOUT : résultat inconnu, relire le badge");

QString pairValue(const QString &record, const QString &key)
{
    for (const RecordPair &pair : RecordPairsParse(record))
        if (pair.key == key)
            return pair.value;
    return QString();
}
}

class TestBadgePageEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowWithReader> w;
    std::unique_ptr<TextHistory> protocol;
    QStringList transactions;  // payloads of the 'B','T' the reader received

    QPushButton *button(const char *name) { return w->field<QPushButton>(name); }
    QLineEdit *edit(const char *name) { return w->field(name); }
    bool shown(const QString &text) const { return protocol->contains(text); }
    bool slotFree() const { return w->window->Protocole.Cmd.IsFree.load(); }
    QString credit(const QString &badge) const { return pairValue(w->sim.badgeRecord(badge), "Cn0"); }

    void stopPolling()
    {
        for (const char *name : {"BTN_BadgeRead", "BTN_BadgeCreate"})
            if (button(name)->isChecked())
                button(name)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->window->Protocole.Polling.load() && slotFree(), 5000);
    }

    void readBadge(const QString &name)
    {
        stopPolling();
        w->sim.remove();
        w->sim.present(name);
        protocol->clear();
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK"), 10000);
        stopPolling();
    }

    void transact(const char *buttonName, const QString &amount)
    {
        protocol->clear();
        edit("SAI_Transaction")->setText(amount);
        button(buttonName)->click();
    }

    void createBlank(const QString &user, const QString &lastName, const QString &amount)
    {
        stopPolling();
        w->sim.remove();
        protocol->clear();
        button("BTN_BadgeCreate")->click();
        edit("SAI_Usr")->setText(user);
        edit("SAI_LastName")->setText(lastName);
        edit("SAI_Credit")->setText(amount);
        w->sim.present("vierge");
        QTRY_VERIFY_WITH_TIMEOUT(shown("Création->OK"), 10000);
        stopPolling();
    }

private slots:
    void init()
    {
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        // Open, and the window has heard of it: the reader buttons follow the link.
        QTRY_VERIFY_WITH_TIMEOUT(w->window->Protocole.ComIsOpen.load() && button("BTN_ReaderConfigLoad")->isEnabled(),
                                 5000);
        protocol = std::make_unique<TextHistory>(edit("SAI_ProtocoleStatus"));
        transactions.clear();
        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &payload) {
            if (c1 == 'B' && c2 == 'T')
                transactions << QString::fromLatin1(payload);
        });
    }
    void cleanup()
    {
        protocol.reset();
        w.reset();
    }

    void creationNeverCopiesAValidBadge()
    {
        button("BTN_BadgeCreate")->click();
        edit("SAI_LastName")->setText("Durand");
        w->sim.present("credit");
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_SupportStatus")->text(), QString::fromUtf8("Badge déjà créé : 04A1B2C3"),
                                  10000);
        QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK"), 5000);
        // What the valid badge holds is beside the form, not in it.
        QVERIFY(edit("SAI_SupportStatus")->toolTip().contains("Martin"));
        QCOMPARE(edit("SAI_Usr")->text(), QString("1"));
        QCOMPARE(edit("SAI_Compagny")->text(), QString());
        QCOMPARE(edit("SAI_Credit")->text(), QString("200"));
        QCOMPARE(w->sim.requestCount('B', 'N'), 0);

        w->sim.remove();
        w->sim.present("vierge");
        QTRY_VERIFY_WITH_TIMEOUT(shown("Création->OK"), 10000);
        const QString created = w->sim.badgeRecord("vierge");
        QCOMPARE(pairValue(created, "Usr"), QString("1"));
        QCOMPARE(pairValue(created, "Nal"), QString("Durand"));
        QCOMPARE(pairValue(created, "Naf"), QString());
        QCOMPARE(pairValue(created, "Nac"), QString());
        QCOMPARE(pairValue(created, "Cn0"), QString("20000"));
        stopPolling();
    }

    void frenchAmountsAreCredited_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("balance");
        QTest::newRow("half with a comma") << "0,5" << "Tra=50" << "15.50";
        QTest::newRow("comma and cents") << "12,50" << "Tra=1250" << "27.50";
        QTest::newRow("thousands blank") << "1 000,00" << "Tra=100000" << "1015.00";
    }
    void frenchAmountsAreCredited()
    {
        QFETCH(QString, amount);
        QFETCH(QString, sent);
        QFETCH(QString, balance);
        readBadge("credit");
        transact("BTN_TransactionCredit", amount);
        QTRY_VERIFY_WITH_TIMEOUT(shown("Transaction->OK"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_Credit")->text(), balance, 5000);
        QCOMPARE(transactions, QStringList{"Cnt=0;Trt=1;" + sent});
    }

    void zeroAmountIsRefused()
    {
        readBadge("credit");
        MessageBoxCatcher box;
        box.arm();
        transact("BTN_TransactionDebit", "0,00");
        QCOMPARE(box.title, QString("Erreur"));
        QCOMPARE(box.text, QString("Montant nul"));
        QTest::qWait(100);
        QVERIFY(transactions.isEmpty());
        QVERIFY(slotFree());
    }

    void lateAnswerIsAnUnknownOutcomeNotAFailure()
    {
        readBadge("credit");
        w->sim.handleControlLine("late");
        transact("BTN_TransactionDebit", "1,50");
        // One transaction at a time: a second click cannot send again.
        QVERIFY(!button("BTN_TransactionDebit")->isEnabled());
        QVERIFY(!button("BTN_TransactionCredit")->isEnabled());
        button("BTN_TransactionDebit")->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown(UnknownOutcome), 5000);
        QVERIFY(w->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText().contains(UnknownOutcome));
        // Read again at once: the badge shows it was debited, once.
        QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK"), 5000);
        QCOMPARE(edit("SAI_Credit")->text(), QString("13.50"));
        QVERIFY(button("BTN_TransactionDebit")->isEnabled());
        QVERIFY(!shown("Transaction->Echec"));
        QCOMPARE(transactions.size(), 1);
        QCOMPARE(credit("credit"), QString("1350"));
    }

    void slowLineCannotDebitTwice()
    {
        readBadge("credit");
        // Every answer comes after its command's time-out.
        w->sim.handleControlLine("delay 2300");
        transact("BTN_TransactionDebit", "1");
        QTRY_VERIFY_WITH_TIMEOUT(shown(UnknownOutcome), 5000);
        QTest::qWait(4500);  // the late answers of the debit and of its re-read
        QVERIFY(!button("BTN_TransactionDebit")->isEnabled());
        button("BTN_TransactionDebit")->click();
        QTest::qWait(200);
        QCOMPARE(transactions.size(), 1);

        // Once the line is fast again, a read of the badge settles it.
        w->sim.handleControlLine("delay 0");
        QTest::qWait(2500);
        readBadge("credit");
        QCOMPARE(edit("SAI_Credit")->text(), QString("14.00"));
        QVERIFY(button("BTN_TransactionDebit")->isEnabled());
        QCOMPARE(credit("credit"), QString("1400"));
    }

    void rereadShowsOnlyTheNewHolder()
    {
        createBlank("77", "Durand", "3,50");
        readBadge("credit");
        QCOMPARE(edit("SAI_Compagny")->text(), QString("Laverie du Port"));
        // The badge is swapped on the reader, then debited.
        w->sim.remove();
        w->sim.present("vierge");
        transact("BTN_TransactionDebit", "1");
        QTRY_VERIFY_WITH_TIMEOUT(shown("Transaction->OK"), 5000);
        // The swap is named, and the badge meant stays to be settled.
        QTRY_VERIFY_WITH_TIMEOUT(
            shown(QString::fromUtf8("Badge changé pendant la transaction : 04A1B2C3 attendu, 04B7E5D2 lu")), 5000);
        QCOMPARE(w->field<QListWidget>("LST_BadgePending")->count(), 1);
        QVERIFY(w->field<QListWidget>("LST_BadgePending")->item(0)->text().startsWith("04A1B2C3"));
        QCOMPARE(edit("SAI_UID")->text(), QString("04B7E5D2"));
        QCOMPARE(edit("SAI_Credit")->text(), QString("2.50"));
        QCOMPARE(edit("SAI_LastName")->text(), QString("Durand"));
        QCOMPARE(edit("SAI_FirstName")->text(), QString());
        QCOMPARE(edit("SAI_Compagny")->text(), QString());
        QCOMPARE(edit("SAI_LastCreditAmount")->text(), QString());
    }
};

QTEST_MAIN(TestBadgePageEndToEnd)
#include "tst_badgepage_e2e.moc"
