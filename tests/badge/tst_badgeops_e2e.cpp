// One badge operation at a time, against the simulated reader: creation
// never takes a customer's record, the user-number series is kept, money
// moves once and is named in the journal, an unknown outcome waits for a
// read of its badge or for the operator.
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "badge/badgerecord.h"
#include "link/commands.h"
#include "tests/support/windowfixture.h"

namespace {
QString pairValue(const QString &record, const QString &key)
{
    for (const RecordPair &pair : RecordPairsParse(record))
        if (pair.key == key)
            return pair.value;
    return QString();
}

// Answers the next modal dialogs in turn: a text dialog gets the text, a
// message box the button (Yes or No); each message box text is kept.
struct ModalScript : QObject {
    QStringList answers;
    QStringList texts;
    void arm(const QStringList &script)
    {
        answers = script;
        texts.clear();
        QTimer::singleShot(0, this, [this] { poll(); });
    }
    void poll()
    {
        if (answers.isEmpty())
            return;
        QWidget *modal = QApplication::activeModalWidget();
        QTimer::singleShot(20, this, [this] { poll(); });
        if (auto *input = qobject_cast<QInputDialog *>(modal)) {
            input->setTextValue(answers.takeFirst());
            input->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            texts << box->text();
            const QString answer = answers.takeFirst();
            if (answer == "default")
                box->defaultButton()->click();
            else
                box->button(answer == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        }
    }
};
}

class TestBadgeOperationsEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowWithReader> w;
    std::unique_ptr<TextHistory> protocol;
    QStringList creations;     // payloads of the 'B','N' the reader received
    QStringList transactions;  // and of its 'B','T'
    QByteArray answerLostOf;   // the next request with these letters is applied, its answer lost

    QPushButton *button(const char *name) { return w->field<QPushButton>(name); }
    QCheckBox *check(const char *name) { return w->field<QCheckBox>(name); }
    QLineEdit *edit(const char *name) { return w->field(name); }
    QListWidget *pendingList() { return w->field<QListWidget>("LST_BadgePending"); }
    bool shown(const QString &text) const { return protocol->contains(text); }
    bool slotFree() const { return w->window->Protocole.Cmd.IsFree.load(); }
    QString journal() { return w->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText(); }
    QString recordOf(const QString &badge) const { return w->sim.badgeRecord(badge); }

    void stopPolling()
    {
        for (const char *name : {"BTN_BadgeRead", "BTN_BadgeCreate"})
            if (button(name)->isChecked())
                button(name)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->window->Protocole.Polling.load() && slotFree()
                                     && button("BTN_BadgeRead")->isEnabled(),
                                 8000);
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

    void startCreation(const QString &force = QString())
    {
        stopPolling();
        w->sim.remove();
        check("CKB_CreationForce")->setChecked(force == "force");
        protocol->clear();
        button("BTN_BadgeCreate")->click();
    }

private slots:
    void init()
    {
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        QTRY_VERIFY_WITH_TIMEOUT(w->window->Protocole.ComIsOpen.load() && button("BTN_ReaderConfigLoad")->isEnabled(),
                                 5000);
        protocol = std::make_unique<TextHistory>(edit("SAI_ProtocoleStatus"));
        creations.clear();
        transactions.clear();
        answerLostOf.clear();
        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &payload) {
            if (c1 == 'B' && c2 == 'N')
                creations << QString::fromUtf8(payload);
            if (c1 == 'B' && c2 == 'T')
                transactions << QString::fromLatin1(payload);
            if (answerLostOf == QByteArray() + c1 + c2) {
                answerLostOf.clear();
                w->sim.handleControlLine("drop 1");
            }
        });
        // Nothing read yet: nothing to debit or credit.
        QVERIFY(!button("BTN_TransactionDebit")->isEnabled());
        QVERIFY(!button("BTN_TransactionCredit")->isEnabled());
    }
    void cleanup()
    {
        protocol.reset();
        w.reset();
    }

    // A customer's badge in creation mode, a top-up tried, then a blank
    // badge: it carries the creation form only.
    void creationFormNeverTakesACustomersRecord()
    {
        readBadge("credit");
        // As left by an operator badge of another site.
        w->field<QComboBox>("COMBO_BadgeType")->setCurrentIndex(1);
        startCreation();
        QCOMPARE(w->field<QComboBox>("COMBO_BadgeType")->currentData().toInt(), 16);
        for (const char *name : {"SAI_UID", "SAI_Domaine", "SAI_UniteTarif", "SAI_UniteProduit",
                                 "SAI_FirstName", "SAI_Compagny", "SAI_LastDebitDate"})
            QVERIFY2(edit(name)->text().isEmpty(), name);
        edit("SAI_LastName")->setText("Durand");
        w->sim.present("credit");
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_SupportStatus")->text(), QString::fromUtf8("Badge déjà créé : 04A1B2C3"),
                                  10000);
        QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK") && button("BTN_BadgeCreate")->isEnabled(), 5000);
        QCOMPARE(edit("SAI_Usr")->text(), QString("1"));
        QCOMPARE(edit("SAI_Credit")->text(), QString("200"));
        QVERIFY(!button("BTN_TransactionCredit")->isEnabled());
        edit("SAI_Transaction")->setText("10,00");
        button("BTN_TransactionCredit")->click();

        w->sim.remove();
        w->sim.present("vierge");
        QTRY_VERIFY_WITH_TIMEOUT(shown(QString::fromUtf8("Création->OK")), 10000);
        stopPolling();
        QVERIFY(transactions.isEmpty());
        const QString created = recordOf("vierge");
        QCOMPARE(pairValue(created, "Usr"), QString("1"));
        QCOMPARE(pairValue(created, "Nal"), QString("Durand"));
        QCOMPARE(pairValue(created, "Naf"), QString());
        QCOMPARE(pairValue(created, "Tyc"), QString("16"));
        QCOMPARE(pairValue(created, "Uni"), QString());
        QCOMPARE(pairValue(created, "Cn0"), QString("20000"));
        QCOMPARE(pairValue(recordOf("credit"), "Cn0"), QString("1500"));
        QVERIFY(journal().contains(QString::fromUtf8("Création sur 04B7E5D2 (utilisateur 1, crédit 200.00) : OK")));
    }

    // A read in flight cannot be overtaken by "Créer": the buttons wait
    // for its answer, and the answer goes where the page is then.
    void readInFlightKeepsTheModeButtons()
    {
        w->sim.handleControlLine("delay 600");
        w->sim.present("credit");
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w->sim.requestCount('B', 'R') == 1, 10000);
        QVERIFY(!button("BTN_BadgeCreate")->isEnabled());
        button("BTN_BadgeCreate")->click();
        QVERIFY(!button("BTN_BadgeCreate")->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK"), 5000);
        QCOMPARE(edit("SAI_Usr")->text(), QString("41"));
        w->sim.handleControlLine("delay 0");
        startCreation();
        w->sim.present("vierge");
        QTRY_VERIFY_WITH_TIMEOUT(shown(QString::fromUtf8("Création->OK")), 10000);
        QCOMPARE(pairValue(recordOf("vierge"), "Nal"), QString());
        QCOMPARE(pairValue(recordOf("vierge"), "Usr"), QString("1"));
    }

    // Forced: the form's pairs go out, none of the poll answer's, and the
    // form is left as it was but for the next user number.
    void forcedCreationSendsTheFormOnly()
    {
        startCreation("force");
        edit("SAI_Usr")->setText("41");
        w->sim.present("credit");
        QTRY_VERIFY_WITH_TIMEOUT(shown(QString::fromUtf8("Création->OK")), 10000);
        stopPolling();
        QCOMPARE(creations.size(), 1);
        QVERIFY(!creations.first().contains("UID"));
        QVERIFY(!creations.first().contains("Martin"));
        QCOMPARE(edit("SAI_UID")->text(), QString());
        QCOMPARE(edit("SAI_Usr")->text(), QString("42"));
        QCOMPARE(pairValue(recordOf("credit"), "Nal"), QString());
    }

    void creationNeedsAValidCredit_data()
    {
        QTest::addColumn<QString>("credit");
        QTest::newRow("three decimals") << "12,505";
        QTest::newRow("currency sign") << QString::fromUtf8("5€");
        QTest::newRow("exponent") << "1e3";
    }
    void creationNeedsAValidCredit()
    {
        QFETCH(QString, credit);
        startCreation();
        edit("SAI_Credit")->setText(credit);
        w->sim.present("vierge");
        QTRY_VERIFY_WITH_TIMEOUT(shown(QString::fromUtf8("Création->ECHEC : crédit invalide")), 10000);
        stopPolling();
        QVERIFY(creations.isEmpty());
        QVERIFY(!shown(QString::fromUtf8("Création->OK")));
    }

    // "Identifiant automatique" numbers blank badges from the kept series;
    // an unanswered creation uses its number up; "Créer" again continues.
    void userNumberSeriesIsKept()
    {
        w->window->AppsConfigWriteString("CREATION.CURRENT.USER", "7");
        check("CKB_AutoId")->setChecked(true);
        startCreation();
        edit("SAI_Usr")->setText("3");
        w->sim.present("vierge");
        QTRY_VERIFY_WITH_TIMEOUT(shown(QString::fromUtf8("Création->OK")), 10000);
        QCOMPARE(pairValue(recordOf("vierge"), "Usr"), QString("7"));
        QCOMPARE(w->window->AppsConfigReadString("CREATION.CURRENT.USER", ""), QString("8"));

        // Its answer lost: the number counts as used all the same.
        startCreation();
        QCOMPARE(edit("SAI_Usr")->text(), QString("8"));
        answerLostOf = "BN";
        w->sim.present("abime");
        QTRY_VERIFY_WITH_TIMEOUT(shown(QString::fromUtf8("Création->TIMEOUT : résultat inconnu, relire le badge")),
                                 10000);
        QCOMPARE(w->window->AppsConfigReadString("CREATION.CURRENT.USER", ""), QString("9"));
        QCOMPARE(pendingList()->count(), 1);
        // Laid again it reads as created with its number: settled.
        stopPolling();
        startCreation();
        QCOMPARE(edit("SAI_Usr")->text(), QString("9"));
        w->sim.present("abime");
        QTRY_COMPARE_WITH_TIMEOUT(pendingList()->count(), 0, 10000);
        QVERIFY(journal().contains(QString::fromUtf8("Création sur 04D9F0A1 (utilisateur 8, crédit 200.00) : "
                                                     "réglé, appliquée")));
    }

    // Clicks 150 ms apart debit once; the amount must be typed again.
    void doubleClickDebitsOnce()
    {
        readBadge("credit");
        transact("BTN_TransactionDebit", "1");
        QTest::qWait(150);
        // Done already on a quick reader: the amount is gone with it.
        MessageBoxCatcher box;
        if (button("BTN_TransactionDebit")->isEnabled())
            box.arm();
        button("BTN_TransactionDebit")->click();
        QVERIFY(box.text.isEmpty() || box.text == "Contenu transaction invalide");
        QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK") && button("BTN_TransactionDebit")->isEnabled(), 5000);
        QCOMPARE(transactions.size(), 1);
        QCOMPARE(edit("SAI_Transaction")->text(), QString());
        QCOMPARE(edit("SAI_Credit")->text(), QString("14.00"));
        QVERIFY(journal().contains(QString::fromUtf8("Débit de 1.00 sur 04A1B2C3 (utilisateur 41) : "
                                                     "OK, solde 15.00 -> 14.00")));
    }

    // Polling runs on during the transactions: the re-read still comes
    // and shows each new balance.
    void rereadIsNeverLostToAPoll()
    {
        w->sim.present("credit");
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK"), 10000);
        for (int round = 1; round <= 4; ++round) {
            QTRY_VERIFY_WITH_TIMEOUT(button("BTN_TransactionCredit")->isEnabled(), 5000);
            transact("BTN_TransactionCredit", "1");
            QTRY_VERIFY_WITH_TIMEOUT(shown("Transaction->OK"), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(shown("Lecture->OK"), 8000);
            QCOMPARE(edit("SAI_Credit")->text(), QString("%1.00").arg(15 + round));
        }
        QCOMPARE(transactions.size(), 4);
        QVERIFY(w->window->Protocole.Polling.load());
    }

    // The re-read lost: done, but the badge must be read before the next.
    void rereadLostAsksForARead()
    {
        readBadge("credit");
        answerLostOf = "BR";
        transact("BTN_TransactionDebit", "1");
        QTRY_VERIFY_WITH_TIMEOUT(shown(QString::fromUtf8("Transaction->OK, relecture impossible : relire le badge")),
                                 5000);
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_BadgeRead")->isEnabled(), 5000);
        QVERIFY(!button("BTN_TransactionDebit")->isEnabled());
        QCOMPARE(edit("SAI_Credit")->text(), QString());
        QVERIFY(journal().contains(QString::fromUtf8("Débit de 1.00 sur 04A1B2C3 (utilisateur 41) : "
                                                     "OK, relecture impossible")));
        readBadge("credit");
        QCOMPARE(edit("SAI_Credit")->text(), QString("14.00"));
        QVERIFY(button("BTN_TransactionDebit")->isEnabled());
    }

    // Unanswered and the badge gone: another customer is served; laid
    // again, the badge settles it by its balance.
    void unknownOutcomeLocksOnlyItsBadge()
    {
        readBadge("credit");
        answerLostOf = "BT";
        w->sim.failNext(ReaderSim::Fault::Mute, "BR");
        transact("BTN_TransactionDebit", "1");
        QTRY_VERIFY_WITH_TIMEOUT(shown(QString::fromUtf8("Transaction->TIMEOUT : résultat inconnu, relire le badge")),
                                 5000);
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_BadgeRead")->isEnabled(), 8000);
        QCOMPARE(pendingList()->count(), 1);
        QVERIFY(pendingList()->item(0)->text().contains(QString::fromUtf8("04A1B2C3  Débit 1.00")));
        QVERIFY(journal().contains(QString::fromUtf8("Débit de 1.00 sur 04A1B2C3 (utilisateur 41) : "
                                                     "résultat inconnu, solde avant 15.00")));

        readBadge("noire");
        QVERIFY(button("BTN_TransactionDebit")->isEnabled());
        readBadge("credit");
        QCOMPARE(pendingList()->count(), 0);
        QVERIFY(journal().contains(QString::fromUtf8("Débit de 1.00 sur 04A1B2C3 (utilisateur 41) : "
                                                     "réglé, appliquée")));
        QVERIFY(button("BTN_TransactionDebit")->isEnabled());
    }

    void unknownOutcomeCanBeAbandoned()
    {
        readBadge("credit");
        w->sim.failNext(ReaderSim::Fault::Mute, "BT");
        w->sim.failNext(ReaderSim::Fault::Mute, "BR");
        transact("BTN_TransactionCredit", "2,50");
        QTRY_COMPARE_WITH_TIMEOUT(pendingList()->count(), 1, 8000);
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_BadgeRead")->isEnabled(), 8000);
        readBadge("credit");  // the lock stays until it is read... and here it is
        QCOMPARE(pendingList()->count(), 0);
        QVERIFY(journal().contains(QString::fromUtf8("Crédit de 2.50 sur 04A1B2C3 (utilisateur 41) : "
                                                     "réglé, non appliquée")));

        w->sim.failNext(ReaderSim::Fault::Mute, "BT");
        w->sim.failNext(ReaderSim::Fault::Mute, "BR");
        transact("BTN_TransactionCredit", "2,50");
        QTRY_COMPARE_WITH_TIMEOUT(pendingList()->count(), 1, 8000);
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_BadgePendingAbandon")->isEnabled()
                                     && button("BTN_BadgeRead")->isEnabled(), 8000);
        ModalScript script;
        script.arm({"client parti", "No"});
        button("BTN_BadgePendingAbandon")->click();
        QCOMPARE(pendingList()->count(), 1);
        script.arm({"client parti", "Yes"});
        button("BTN_BadgePendingAbandon")->click();
        QCOMPARE(pendingList()->count(), 0);
        QVERIFY(journal().contains(QString::fromUtf8("Crédit de 2.50 sur 04A1B2C3 (utilisateur 41) : "
                                                     "réglé, abandonnée : client parti")));
    }

    // A configuration chain holds the reader: the badge buttons say so, and
    // a click that still arrives is answered.
    void busyReaderIsNamed()
    {
        readBadge("credit");
        w->sim.handleControlLine("delay 300");
        button("BTN_ReaderConfigLoad")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!button("BTN_TransactionDebit")->isEnabled(), 3000);
        QCOMPARE(button("BTN_BadgeRead")->toolTip(), QString::fromUtf8("Lecteur occupé"));
        QVERIFY(!button("BTN_BadgeRead")->isEnabled());
        edit("SAI_Transaction")->setText("1");
        QMetaObject::invokeMethod(w->window.get(), "on_BTN_TransactionDebit_clicked");
        QCOMPARE(edit("SAI_ProtocoleStatus")->text(), QString::fromUtf8("Lecteur occupé : réessayer"));
        QVERIFY(transactions.isEmpty());
        w->sim.handleControlLine("delay 0");
    }

    // Closing asks while a debit is in flight ("Non" first), and names the
    // operations left unsettled.
    void closingAsks()
    {
        readBadge("credit");
        w->sim.handleControlLine("delay 1200");
        ModalScript script;
        script.arm({"default"});
        transact("BTN_TransactionDebit", "1");
        w->window->close();
        QVERIFY(w->window->isVisible());
        QCOMPARE(script.texts, QStringList{QString::fromUtf8("Une opération sur le badge est en cours : "
                                                             "fermer quand même ?")});
        w->sim.handleControlLine("delay 0");
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_BadgeRead")->isEnabled(), 5000);

        w->sim.failNext(ReaderSim::Fault::Mute, "BT");
        w->sim.failNext(ReaderSim::Fault::Mute, "BR");
        transact("BTN_TransactionDebit", "1");
        QTRY_COMPARE_WITH_TIMEOUT(pendingList()->count(), 1, 8000);
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_BadgeRead")->isEnabled(), 8000);
        script.arm({"No"});
        w->window->close();
        QVERIFY(w->window->isVisible());
        QCOMPARE(script.texts.size(), 1);
        QVERIFY(script.texts.first().startsWith(QString::fromUtf8("1 opération(s) à régler")));
    }

    // An answer that holds no badge record is no read, and the read's own
    // answer coming after it lands nowhere.
    void answerWithoutABadgeIsNoRead()
    {
        w->sim.handleControlLine("delay 800");
        w->sim.present("credit");
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w->sim.requestCount('B', 'R') == 1, 10000);
        ReaderAnswer stray;
        stray.answered = true;
        stray.status = '0';
        QMetaObject::invokeMethod(w->window.get(), "AnswerProcess", Q_ARG(unsigned int, ARG_BADGE_READ_RESULT),
                                  Q_ARG(ReaderAnswer, stray));
        QVERIFY(shown(QString::fromUtf8("Lecture->ECHEC : réponse sans badge")));
        QTest::qWait(1500);
        QVERIFY(!shown("Lecture->OK"));
        QCOMPARE(edit("SAI_Usr")->text(), QString());
        QVERIFY(!button("BTN_TransactionDebit")->isEnabled());
        w->sim.handleControlLine("delay 0");
    }

    // Read mode: a badge that cannot be read takes the previous holder off.
    void unreadableBadgeClearsTheForm_data()
    {
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QString>("uid");
        QTest::newRow("06 read error") << "illisible" << "04E2A7B8";
        QTest::newRow("07 blank") << "vierge" << "04B7E5D2";
        QTest::newRow("removed") << "" << "";
    }
    void unreadableBadgeClearsTheForm()
    {
        QFETCH(QString, badge);
        QFETCH(QString, uid);
        w->sim.present("credit");
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_TransactionDebit")->isEnabled(), 10000);
        w->sim.remove();
        if (!badge.isEmpty())
            w->sim.present(badge);
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_LastName")->text(), QString(), 5000);
        QCOMPARE(edit("SAI_UID")->text(), uid);
        QCOMPARE(edit("SAI_Credit")->text(), QString());
        QVERIFY(!button("BTN_TransactionDebit")->isEnabled());
        QVERIFY(!button("BTN_TransactionCredit")->isEnabled());
    }
};

QTEST_MAIN(TestBadgeOperationsEndToEnd)
#include "tst_badgeops_e2e.moc"
