// Badges end to end: the window clicked like an operator does, the
// simulated reader on the other side of a pseudo-terminal.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include "tests/support/windowfixture.h"

class TestBadgeEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowWithReader> w;
    std::unique_ptr<TextHistory> protocol;

    QPushButton *button(const char *name) { return w->field<QPushButton>(name); }
    QLineEdit *edit(const char *name) { return w->field(name); }
    bool shown(const QString &text) const { return protocol->contains(text); }
    bool slotFree() const { return w->window->Protocole.Cmd.IsFree.load(); }

    // Polling off and the last poll finished: the slot is ours.
    void stopPolling()
    {
        for (const char *name : {"BTN_BadgeRead", "BTN_BadgeCreate"})
            if (button(name)->isChecked())
                button(name)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->window->Protocole.Polling.load(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(slotFree(), 5000);
        // Let a poll answer already on its way be handled.
        const int polls = w->sim.requestCount('B', 'S');
        QTest::qWait(100);
        QTRY_VERIFY_WITH_TIMEOUT(slotFree(), 5000);
        QCOMPARE(w->sim.requestCount('B', 'S'), polls);
    }

    void readBadge(const QString &name)
    {
        w->sim.present(name);
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK"), 10000);
    }

    void transact(const char *buttonName, const QString &amount)
    {
        stopPolling();
        protocol->clear();
        edit("SAI_Transaction")->setText(amount);
        button(buttonName)->click();
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
    }
    void cleanup()
    {
        protocol.reset();
        w.reset();
    }

    void readModeFillsTheForm()
    {
        readBadge("credit");
        QTRY_COMPARE(edit("SAI_SupportStatus")->text(), QString("Support OK"));
        QVERIFY(shown("Lecture ..."));
        QCOMPARE(edit("SAI_Usr")->text(), QString("41"));
        QCOMPARE(edit("SAI_Credit")->text(), QString("15.00"));
        QVERIFY(!edit("SAI_UID")->text().isEmpty());
        QCOMPARE(w->field<QComboBox>("COMBO_BadgeType")->currentText(), QString("Crédit"));

        w->sim.remove();
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_SupportStatus")->text(), QString("Aucun Support"), 5000);
        // The badge gone, nothing of it stays to be debited.
        QCOMPARE(edit("SAI_Usr")->text(), QString());
        QVERIFY(!button("BTN_TransactionDebit")->isEnabled());
        stopPolling();
    }

    void blankBadgeIsCreatedFromTheForm()
    {
        button("BTN_BadgeCreate")->click();
        QVERIFY(button("BTN_BadgeCreate")->isChecked());
        edit("SAI_Usr")->setText("77");
        edit("SAI_LastName")->setText("Durand");
        edit("SAI_Credit")->setText("3.50");
        w->sim.present("vierge");
        QTRY_VERIFY_WITH_TIMEOUT(shown("Création->OK"), 10000);
        QCOMPARE(edit("SAI_SupportStatus")->text(), QString("Support Inconnu"));
        QCOMPARE(edit("SAI_Usr")->text(), QString("77"));  // not forced: no increment
        stopPolling();

        // Present it again in read mode: it reads back what the form held.
        w->sim.remove();
        w->window->BadgeFormClear();
        protocol->clear();
        readBadge("vierge");
        QCOMPARE(edit("SAI_Usr")->text(), QString("77"));
        QCOMPARE(edit("SAI_LastName")->text(), QString("Durand"));
        QCOMPARE(edit("SAI_Credit")->text(), QString("3.50"));
        stopPolling();
    }

    void forcedCreationCountsUsers_data()
    {
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("user");
        QTest::newRow("accepted") << "credit" << "Création->OK" << "42";
        QTest::newRow("refused") << "noire" << "Création->ECHEC" << "41";
        // Ten digits fill the field: the next number is refused, not cut.
        QTest::newRow("at the largest number") << "credit" << "Création->OK" << "9999999999";
    }
    void forcedCreationCountsUsers()
    {
        QFETCH(QString, badge);
        QFETCH(QString, result);
        QFETCH(QString, user);
        w->field<QCheckBox>("CKB_CreationForce")->setChecked(true);
        button("BTN_BadgeCreate")->click();
        const bool atMaximum = user == "9999999999";
        edit("SAI_Usr")->setText(atMaximum ? user : "41");
        w->sim.present(badge);
        QTRY_VERIFY_WITH_TIMEOUT(shown(result), 10000);
        QCOMPARE(edit("SAI_Usr")->text(), user);
        if (atMaximum) {
            // The series stops rather than create a second badge with it.
            QVERIFY(shown(QString::fromUtf8("Numéro utilisateur maximal atteint : création arrêtée")));
            QVERIFY(!button("BTN_BadgeCreate")->isChecked());
            QVERIFY(!w->window->Protocole.Polling.load());
        }
        stopPolling();
    }

    void unreadableBadgeIsNotRead()
    {
        w->sim.present("illisible");
        button("BTN_BadgeRead")->click();
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_SupportStatus")->text(), QString("Lecture erreur(ABC)"),
                                  10000);
        const int polls = w->sim.requestCount('B', 'S');
        QTRY_VERIFY_WITH_TIMEOUT(w->sim.requestCount('B', 'S') >= polls + 2, 10000);
        QCOMPARE(w->sim.requestCount('B', 'R'), 0);
        stopPolling();
    }

    void debitLowersTheCreditAndIsReadBack()
    {
        readBadge("credit");
        QCOMPARE(edit("SAI_Credit")->text(), QString("15.00"));
        transact("BTN_TransactionDebit", "1.50");
        QTRY_VERIFY_WITH_TIMEOUT(shown("Transaction->OK"), 5000);
        QVERIFY(shown("Débit ..."));
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_Credit")->text(), QString("13.50"), 5000);
        QTRY_VERIFY(slotFree());

        transact("BTN_TransactionCredit", "2.5");
        QTRY_VERIFY_WITH_TIMEOUT(shown("Transaction->OK"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_Credit")->text(), QString("16.00"), 5000);

        transact("BTN_TransactionDebit", "100");
        QTRY_VERIFY_WITH_TIMEOUT(shown("Transaction->Echec"), 5000);
        QTRY_VERIFY(slotFree());
        QCOMPARE(edit("SAI_Credit")->text(), QString("16.00"));
    }

    void invalidAmountIsRefusedWithAMessage_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "abc";
        QTest::newRow("negative") << "-1.50";
        QTest::newRow("three decimals") << "1.505";
    }
    void invalidAmountIsRefusedWithAMessage()
    {
        QFETCH(QString, amount);
        readBadge("credit");
        stopPolling();
        MessageBoxCatcher box;
        box.arm();
        edit("SAI_Transaction")->setText(amount);
        button("BTN_TransactionDebit")->click();
        QCOMPARE(box.title, QString("Erreur"));
        QCOMPARE(box.text, QString("Contenu transaction invalide"));
        QTest::qWait(100);
        QCOMPARE(w->sim.requestCount('B', 'T'), 0);
        QVERIFY(slotFree());
    }

    void silentReaderStopsPolling()
    {
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w->sim.requestCount('B', 'S') > 0, 5000);
        w->sim.setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(shown("Statut timeout"), 10000);
        QVERIFY(!button("BTN_BadgeRead")->isChecked());
        QVERIFY(!button("BTN_BadgeCreate")->isChecked());
        QVERIFY(!w->window->Protocole.Polling.load());
        QTRY_VERIFY(slotFree());
    }
};

QTEST_MAIN(TestBadgeEndToEnd)
#include "tst_badge_e2e.moc"
