// The maintenance pages end to end: the window started in expert mode,
// clicked like an operator does, the simulated reader on a pseudo-terminal.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QAbstractButton>
#include <QTabWidget>
#include <QtTest>

#include "tests/support/windowfixture.h"

namespace {
const QString Ff = "0xFF 0xFF 0xFF 0xFF 0xFF 0xFF";
const QString Ka = "0xA0 0xA1 0xA2 0xA3 0xA4 0xA5";
const QString Kb = "0xB0 0xB1 0xB2 0xB3 0xB4 0xB5";
const QString Zeros = "0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00";
const QString Data = "0x00 0x11 0x22 0x33 0x44 0x55 0x66 0x77 0x88 0x99 0xAA 0xBB 0xCC 0xDD 0xEE 0xFF";
// Value 100, 110 and 80 stored at block 5.
const QString Value100 = "0x64 0x00 0x00 0x00 0x9B 0xFF 0xFF 0xFF 0x64 0x00 0x00 0x00 0x05 0xFA 0x05 0xFA";
const QString Value110 = "0x6E 0x00 0x00 0x00 0x91 0xFF 0xFF 0xFF 0x6E 0x00 0x00 0x00 0x05 0xFA 0x05 0xFA";
const QString Value80 = "0x50 0x00 0x00 0x00 0xAF 0xFF 0xFF 0xFF 0x50 0x00 0x00 0x00 0x05 0xFA 0x05 0xFA";
const char *const AccessBoxes[] = {"CKB_C1B0", "CKB_C2B0", "CKB_C3B0", "CKB_C1B1", "CKB_C2B1", "CKB_C3B1",
                                   "CKB_C1B2", "CKB_C2B2", "CKB_C3B2", "CKB_C1B3", "CKB_C2B3", "CKB_C3B3"};
}

// Closes the next file dialog and keeps its title and filters.
struct FileDialogCatcher {
    QString title;
    QStringList filters;
    void arm() { QTimer::singleShot(0, [this] { poll(); }); }
    void poll()
    {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            dialog->reject();
            return;
        }
        QTimer::singleShot(20, [this] { poll(); });
    }
};

// Answers the next modal question with the button of that text, or with
// the key "Enter" or "Escape", and keeps what it showed.
struct QuestionAnswerer {
    QString answer;
    bool asked = false;
    QString title;
    QString text;
    QString informative;
    QStringList buttons;
    QString defaultButton;
    QTimer timer;

    void arm(const QString &how)
    {
        answer = how;
        timer.setInterval(20);
        timer.callOnTimeout([this] { poll(); });
        timer.start();
    }
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer.stop();
        asked = true;
        title = box->windowTitle();
        text = box->text();
        informative = box->informativeText();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        buttons.sort();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        if (answer == "Enter" || answer == "Escape") {
            QTest::keyClick(box, answer == "Enter" ? Qt::Key_Enter : Qt::Key_Escape);
            return;
        }
        for (QAbstractButton *button : box->buttons())
            if (button->text() == answer)
                button->click();
    }
};

class TestToolsEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowWithReader> w;
    QList<QByteArray> requests;  // letters and payload of every request

    QAbstractButton *button(const char *name) { return w->field<QAbstractButton>(name); }
    QLineEdit *edit(const char *name) { return w->field(name); }
    QCheckBox *box(const char *name) { return w->field<QCheckBox>(name); }
    bool slotFree() const { return w->window->Protocole.Cmd.IsFree.load(); }

    QStringList checkedBoxes()
    {
        QStringList names;
        for (const char *name : AccessBoxes)
            if (box(name)->isChecked())
                names << name;
        return names;
    }

    // Clicks and waits until the answer has been handled.
    void clickAndWait(const char *name)
    {
        QVERIFY(slotFree());
        button(name)->click();
        QVERIFY2(!slotFree(), name);
        QTRY_VERIFY_WITH_TIMEOUT(slotFree(), 5000);
    }

    void blockCommand(const char *name, const QString &block, const QString &data = QString())
    {
        edit("SAI_BlockNumber")->setText(block);
        edit("SAI_ReaderSnd")->setText(data);
        clickAndWait(name);
    }

    int rawWrites() const { return w->sim.requestCount('R', 'W'); }

    int blockChanges() const
    {
        return rawWrites() + w->sim.requestCount('R', 'I') + w->sim.requestCount('R', 'D');
    }

    // A badge read on the page "Clé/Carte", then read mode left and the
    // engine's last poll over: the slot stays free.
    void readBadgeOnTheBadgePage()
    {
        TextHistory protocol(edit("SAI_ProtocoleStatus"));
        button("BTN_BadgeRead")->click();
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_Credit")->text(), QString("15.00"), 10000);
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(protocol.contains("Polling -> Stop") && slotFree(), 10000);
    }

    // A request that was sent arrives before the answer to a later one.
    void letEarlierRequestsArrive()
    {
        edit("SAI_BlockNumber")->setText("1");
        clickAndWait("BTN_ReaderRead");
    }

    QList<QByteArray> valueWrites() const
    {
        QList<QByteArray> writes;
        for (const QByteArray &request : requests)
            if (request.startsWith("VP"))
                writes << request.mid(2);
        return writes;
    }

private slots:
    void init()
    {
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->sim.start());
        w->window = std::make_unique<MainWindow>(w->sim.slavePath(), true);
        w->window->show();
        // Open, and the window has heard of it: the command buttons follow the link.
        QTRY_VERIFY_WITH_TIMEOUT(w->window->Protocole.ComIsOpen.load() && button("BTN_ReaderRead")->isEnabled(),
                                 5000);
        requests.clear();
        connect(&w->sim, &ReaderSim::requestReceived, this,
                [this](char c1, char c2, const QByteArray &payload) {
                    requests << QByteArray() + c1 + c2 + payload;
                });
        w->sim.present("credit");
        button("BTN_TraillerDefault")->click();
    }
    void cleanup() { w.reset(); }

    void expertSwitchEnablesTheTwoPages_data()
    {
        QTest::addColumn<bool>("expert");
        QTest::newRow("without") << false;
        QTest::newRow("with") << true;
    }
    void expertSwitchEnablesTheTwoPages()
    {
        QFETCH(bool, expert);
        MainWindow window("/nonexistent/kovrim-tty", expert);
        auto *tabs = window.findChild<QTabWidget *>("ONG_Main");
        QCOMPARE(tabs->tabText(6), QString("Tests"));
        QCOMPARE(tabs->tabText(7), QString("Expert"));
        QCOMPARE(tabs->isTabEnabled(6), expert);
        QCOMPARE(tabs->isTabEnabled(7), expert);
    }

    void blockReadWriteAndWrongKey()
    {
        blockCommand("BTN_ReaderRead", "1");
        QCOMPARE(requests.last(), QByteArray("RR1;0;") + Ff.toLatin1());
        QCOMPARE(edit("SAI_ReaderRcv")->text(), Zeros);

        blockCommand("BTN_ReaderWrite", "1", Data);
        QCOMPARE(edit("SAI_ReaderRcv")->text(), QString("Bloc->OK"));
        blockCommand("BTN_ReaderRead", "1");
        QCOMPARE(edit("SAI_ReaderRcv")->text(), Data);

        edit("SAI_KeyToUsed")->setText(Ka);
        blockCommand("BTN_ReaderRead", "1");
        QCOMPARE(edit("SAI_ReaderRcv")->text(), QString("Authentification refusée"));
    }

    void valueBlockIncrementAndDecrement()
    {
        blockCommand("BTN_ReaderWrite", "5", Value100);
        blockCommand("BTN_ReaderIncrement", "5", "10");
        QCOMPARE(requests.last(), QByteArray("RI5;0;") + Ff.toLatin1() + ";1;10");
        QCOMPARE(edit("SAI_ReaderRcv")->text(), QString("Bloc->OK"));
        blockCommand("BTN_ReaderRead", "5");
        QCOMPARE(edit("SAI_ReaderRcv")->text(), Value110);
        blockCommand("BTN_ReaderDecrement", "5", "30");
        QCOMPARE(requests.last(), QByteArray("RD5;0;") + Ff.toLatin1() + ";2;30");
        blockCommand("BTN_ReaderRead", "5");
        QCOMPARE(edit("SAI_ReaderRcv")->text(), Value80);
    }

    void trailerWriteThenReadShowsTheSame()
    {
        edit("SAI_Sector")->setText("1");
        edit("SAI_KeyA")->setText(Ka);
        edit("SAI_KeyB")->setText(Kb);
        for (const char *name : {"CKB_C1B1", "CKB_C2B2", "CKB_C3B3"})
            box(name)->setChecked(true);
        clickAndWait("BTN_TraillerWrite");
        QCOMPARE(requests.last(), QByteArray("RW7;0;") + Ff.toLatin1() + ";" + Ka.toLatin1()
                                      + " 0xBD 0x27 0x84 0x00 " + Kb.toLatin1());
        QCOMPARE(edit("SAI_TrailerReadResult")->text(), QString("Trailer->OK"));

        for (const char *name : AccessBoxes)
            box(name)->setChecked(false);
        edit("SAI_KeyA")->clear();
        edit("SAI_KeyB")->clear();
        clickAndWait("BTN_TraillerRead");
        QCOMPARE(edit("SAI_TrailerReadResult")->text(), QString("Authentification refusée"));
        QVERIFY(checkedBoxes().isEmpty());

        edit("SAI_KeyToUsed")->setText(Ka);
        clickAndWait("BTN_TraillerRead");
        QCOMPARE(requests.last(), QByteArray("RR7;0;") + Ka.toLatin1());
        QCOMPARE(edit("SAI_KeyA")->text(), QString());  // a card never lets key A out
        QCOMPARE(edit("SAI_KeyB")->text(), Kb);
        QCOMPARE(checkedBoxes(), QStringList({"CKB_C1B1", "CKB_C2B2", "CKB_C3B3"}));
    }

    void rawWriteToATrailerSendsNothing_data()
    {
        QTest::addColumn<QString>("block");
        QTest::newRow("sector 0") << "3";
        QTest::newRow("sector 1") << "7";
        QTest::newRow("sector 15") << "63";
    }
    void rawWriteToATrailerSendsNothing()
    {
        QFETCH(QString, block);
        edit("SAI_BlockNumber")->setText(block);
        edit("SAI_ReaderSnd")->setText(Zeros);
        button("BTN_ReaderWrite")->click();
        QVERIFY(slotFree());
        QCOMPARE(edit("SAI_ReaderRcv")->text(), QString("Erreur->Bloc trailer : utiliser Trailer"));
        letEarlierRequestsArrive();
        QCOMPARE(rawWrites(), 0);
    }

    void lockingTrailerAsksFirst_data()
    {
        QTest::addColumn<QStringList>("trailerBoxes");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("result");
        const QString cancelled = "Trailer->annulé";
        QTest::newRow("000, Non") << QStringList() << "Non" << true << cancelled;
        QTest::newRow("000, Enter takes Non") << QStringList() << "Enter" << true << cancelled;
        QTest::newRow("111, Escape") << QStringList({"CKB_C1B3", "CKB_C2B3", "CKB_C3B3"}) << "Escape" << true
                                     << cancelled;
        QTest::newRow("110, Oui") << QStringList({"CKB_C1B3", "CKB_C2B3"}) << "Oui" << true << "Trailer->OK";
        QTest::newRow("001 does not lock") << QStringList({"CKB_C3B3"}) << "Non" << false << "Trailer->OK";
        QTest::newRow("011 does not lock") << QStringList({"CKB_C2B3", "CKB_C3B3"}) << "Non" << false
                                           << "Trailer->OK";
    }
    void lockingTrailerAsksFirst()
    {
        QFETCH(QStringList, trailerBoxes);
        QFETCH(QString, answer);
        QFETCH(bool, asked);
        QFETCH(QString, result);
        edit("SAI_Sector")->setText("2");
        edit("SAI_KeyA")->setText(Ka);
        edit("SAI_KeyB")->setText(Kb);
        for (const QString &name : trailerBoxes)
            box(qPrintable(name))->setChecked(true);
        QuestionAnswerer question;
        question.arm(answer);
        button("BTN_TraillerWrite")->click();
        QCOMPARE(question.asked, asked);
        if (asked) {
            QCOMPARE(question.title, QString("Attention"));
            QCOMPARE(question.text, QString("Ces bits d'accès rendent le secteur 2 définitivement non "
                                            "modifiable. Ecrire quand même ?"));
            QCOMPARE(question.buttons, QStringList({"Non", "Oui"}));
            QCOMPARE(question.defaultButton, QString("Non"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_TrailerReadResult")->text(), result, 5000);
        QTRY_VERIFY(slotFree());
        const bool sent = result != "Trailer->annulé";
        if (!sent)
            letEarlierRequestsArrive();
        QCOMPARE(rawWrites(), sent ? 1 : 0);
        if (sent)
            QCOMPARE(w->sim.card().block("credit", 11).left(6).toHex(), QByteArray("a0a1a2a3a4a5"));
    }

    // Key A reads as zeros and key B too where it is a key: a trailer read,
    // a ticked box and "Ecrire" must not write those zeros back.
    void keysReadAsZerosAreNotWrittenBack_data()
    {
        QTest::addColumn<bool>("keyBIsAKey");
        QTest::addColumn<QString>("keyBShown");
        QTest::newRow("transport, key B readable") << false << Ff;
        QTest::newRow("011, key B is a key") << true << QString();
    }
    void keysReadAsZerosAreNotWrittenBack()
    {
        QFETCH(bool, keyBIsAKey);
        QFETCH(QString, keyBShown);
        edit("SAI_Sector")->setText("1");
        if (keyBIsAKey) {
            edit("SAI_KeyA")->setText(Ka);
            edit("SAI_KeyB")->setText(Kb);
            box("CKB_C2B3")->setChecked(true);
            box("CKB_C3B3")->setChecked(true);
            clickAndWait("BTN_TraillerWrite");
            QCOMPARE(edit("SAI_TrailerReadResult")->text(), QString("Trailer->OK"));
            box("CKB_KeyType")->setChecked(true);
            edit("SAI_KeyToUsed")->setText(Kb);
        }
        const int writesBefore = rawWrites();
        clickAndWait("BTN_TraillerRead");
        QVERIFY(edit("SAI_TrailerReadResult")->text().startsWith(Zeros.left(29)));
        QCOMPARE(edit("SAI_KeyA")->text(), QString());
        QCOMPARE(edit("SAI_KeyB")->text(), keyBShown);
        QVERIFY(box("CKB_C3B3")->isChecked());

        box("CKB_C1B0")->setChecked(true);
        button("BTN_TraillerWrite")->click();
        QVERIFY(slotFree());
        QCOMPARE(edit("SAI_TrailerReadResult")->text(), QString("Erreur->Clé A non valide"));
        // Typed, the keys go.
        edit("SAI_KeyA")->setText(Ka);
        if (keyBIsAKey) {
            button("BTN_TraillerWrite")->click();
            QVERIFY(slotFree());
            QCOMPARE(edit("SAI_TrailerReadResult")->text(), QString("Erreur->Clé B non valide"));
            edit("SAI_KeyB")->setText(Kb);
        }
        clickAndWait("BTN_TraillerWrite");
        QCOMPARE(edit("SAI_TrailerReadResult")->text(), QString("Trailer->OK"));
        QCOMPARE(rawWrites(), writesBefore + 1);
        const QByteArray trailer = w->sim.card().block("credit", 7);
        QCOMPARE(trailer.left(6).toHex(), QByteArray("a0a1a2a3a4a5"));
        QCOMPARE(trailer.mid(10).toHex(), QByteArray(keyBIsAKey ? "b0b1b2b3b4b5" : "ffffffffffff"));
    }

    void valueBlockShowsItsAmount_data()
    {
        QTest::addColumn<QString>("command");  // button, block, data
        QTest::addColumn<QString>("shown");
        QTest::newRow("negative value") << "BTN_ReaderRead|9|" << "Valeur -1234, adresse 9";
        QTest::newRow("data block") << "BTN_ReaderRead|8|" << "";
        QTest::newRow("wrong key") << "BTN_ReaderRead|5|wrong key" << "";
        QTest::newRow("increment") << "BTN_ReaderIncrement|5|10" << "";
    }
    void valueBlockShowsItsAmount()
    {
        QFETCH(QString, command);
        QFETCH(QString, shown);
        QVERIFY(w->sim.handleControlLine("valeur 5 100").contains("valeur 100"));
        QVERIFY(w->sim.handleControlLine("valeur 9 -1234").contains("valeur -1234"));
        blockCommand("BTN_ReaderRead", "5");
        QCOMPARE(edit("SAI_ReaderRcv")->text(), Value100);
        QCOMPARE(edit("SAI_BlockValue")->text(), QString("Valeur 100, adresse 5"));
        QVERIFY(edit("SAI_BlockValue")->isReadOnly());

        const QStringList parts = command.split('|');
        if (parts[2] == "wrong key") {
            edit("SAI_KeyToUsed")->setText(Ka);
            blockCommand(qPrintable(parts[0]), parts[1]);
            QCOMPARE(edit("SAI_ReaderRcv")->text(), QString("Authentification refusée"));
        } else {
            blockCommand(qPrintable(parts[0]), parts[1], parts[2]);
        }
        QCOMPARE(edit("SAI_BlockValue")->text(), shown);
    }

    void formatResetsTheCard()
    {
        edit("SAI_Sector")->setText("0");
        edit("SAI_KeyA")->setText(Ka);
        box("CKB_C3B3")->setChecked(true);
        clickAndWait("BTN_TraillerWrite");
        QCOMPARE(edit("SAI_TrailerReadResult")->text(), QString("Trailer->OK"));

        TextHistory result(edit("SAI_CeationSecuriteResult"));
        clickAndWait("BTN_BadgeFormat");
        QCOMPARE(result.texts, QStringList({"Formatage ...", "Formatage->OK"}));
        blockCommand("BTN_ReaderRead", "1");
        QCOMPARE(edit("SAI_ReaderRcv")->text(), Zeros);

        w->sim.remove();
        clickAndWait("BTN_BadgeFormat");
        QCOMPARE(edit("SAI_CeationSecuriteResult")->text(), QString("Formatage->ECHEC(Sector=)"));
    }

    // What a card cannot take is named and never sent.
    void blockChangesSendOnlyWhatACardTakes_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("refusal");
        const QString bytes = "Erreur->Donnée non valide : 16 octets \"0x..\" attendus";
        const QString amount = "Erreur->Valeur non valide : entier de 1 à 2147483647";
        const QString block0 = "Erreur->Bloc 0 en lecture seule";
        const QString trailer = "Erreur->Bloc trailer : utiliser Trailer";
        QTest::newRow("write 2 bytes") << "BTN_ReaderWrite" << "1" << "0x01 0x02" << bytes;
        QTest::newRow("write 17 bytes") << "BTN_ReaderWrite" << "1" << Data + " 0x00" << bytes;
        QTest::newRow("write nothing") << "BTN_ReaderWrite" << "1" << "" << bytes;
        QTest::newRow("write bonjour") << "BTN_ReaderWrite" << "1" << "bonjour" << bytes;
        QTest::newRow("write block 0") << "BTN_ReaderWrite" << "0" << Data << block0;
        QTest::newRow("increment 1e3") << "BTN_ReaderIncrement" << "5" << "1e3" << amount;
        QTest::newRow("increment -5") << "BTN_ReaderIncrement" << "5" << "-5" << amount;
        QTest::newRow("increment 12,50") << "BTN_ReaderIncrement" << "5" << "12,50" << amount;
        QTest::newRow("increment empty") << "BTN_ReaderIncrement" << "5" << "" << amount;
        QTest::newRow("increment block 0") << "BTN_ReaderIncrement" << "0" << "1" << block0;
        QTest::newRow("decrement trailer") << "BTN_ReaderDecrement" << "7" << "1" << trailer;
        QTest::newRow("decrement 2147483648") << "BTN_ReaderDecrement" << "5" << "2147483648" << amount;
    }
    void blockChangesSendOnlyWhatACardTakes()
    {
        QFETCH(QString, button);
        QFETCH(QString, block);
        QFETCH(QString, data);
        QFETCH(QString, refusal);
        edit("SAI_BlockNumber")->setText(block);
        edit("SAI_ReaderSnd")->setText(data);
        this->button(qPrintable(button))->click();
        QVERIFY(slotFree());
        QCOMPARE(edit("SAI_ReaderRcv")->text(), refusal);
        letEarlierRequestsArrive();
        QCOMPARE(blockChanges(), 0);
    }

    // The previous sector's keys and bits are not left ready to be written
    // to the sector whose read failed.
    void failedTrailerReadClearsKeysAndBoxes_data()
    {
        QTest::addColumn<bool>("unanswered");  // else refused (wrong key)
        QTest::newRow("refused") << false;
        QTest::newRow("unanswered") << true;
    }
    void failedTrailerReadClearsKeysAndBoxes()
    {
        QFETCH(bool, unanswered);
        edit("SAI_Sector")->setText("0");
        clickAndWait("BTN_TraillerRead");
        QCOMPARE(edit("SAI_KeyB")->text(), Ff);
        QCOMPARE(checkedBoxes(), QStringList("CKB_C3B3"));
        edit("SAI_KeyA")->setText(Ka);

        edit("SAI_Sector")->setText("1");
        if (unanswered)
            w->sim.failNext(ReaderSim::Fault::Mute, "RR");
        else
            edit("SAI_KeyToUsed")->setText(Ka);
        clickAndWait("BTN_TraillerRead");
        QCOMPARE(edit("SAI_TrailerReadResult")->text(),
                 unanswered ? QString("Trailer->CMD ERREUR") : QString("Authentification refusée"));
        QCOMPARE(edit("SAI_KeyA")->text(), QString());
        QCOMPARE(edit("SAI_KeyB")->text(), QString());
        QCOMPARE(checkedBoxes(), QStringList());
    }

    // A format wipes a customer's credit: it asks first, names the badge
    // and its balance, and leaves no holder on the badge form.
    void formatAsksFirst_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("formatted");
        QTest::newRow("badge read, Non") << true << "Non" << false;
        QTest::newRow("badge read, Enter takes Non") << true << "Enter" << false;
        QTest::newRow("nothing read, Escape") << false << "Escape" << false;
        QTest::newRow("badge read, Oui") << true << "Oui" << true;
        QTest::newRow("nothing read, Oui") << false << "Oui" << true;
    }
    void formatAsksFirst()
    {
        QFETCH(bool, readFirst);
        QFETCH(QString, answer);
        QFETCH(bool, formatted);
        w->operatorAgrees.on = false;
        if (readFirst)
            readBadgeOnTheBadgePage();
        QVERIFY(slotFree());

        QuestionAnswerer question;
        question.arm(answer);
        button("BTN_BadgeFormat")->click();
        QVERIFY(question.asked);
        QCOMPARE(question.title, QString("Attention"));
        QCOMPARE(question.text, readFirst ? QString("Formater le badge 04A1B2C3 ? Son contenu et son crédit "
                                                    "seront effacés.")
                                          : QString("Formater le badge présent sur le lecteur ? Son contenu et "
                                                    "son crédit seront effacés."));
        QCOMPARE(question.informative, readFirst ? QString("Solde lu sur ce badge : 15.00") : QString());
        QCOMPARE(question.buttons, QStringList({"Non", "Oui"}));
        QCOMPARE(question.defaultButton, QString("Non"));

        if (formatted) {
            QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_CeationSecuriteResult")->text(), QString("Formatage->OK"), 5000);
            QCOMPARE(w->sim.requestCount('B', 'F'), 1);
            QCOMPARE(edit("SAI_Credit")->text(), QString());
            QCOMPARE(edit("SAI_LastName")->text(), QString());
        } else {
            QVERIFY(slotFree());
            letEarlierRequestsArrive();
            QCOMPARE(w->sim.requestCount('B', 'F'), 0);
            QCOMPARE(edit("SAI_CeationSecuriteResult")->text(), QString());
            QCOMPARE(edit("SAI_Credit")->text(), readFirst ? QString("15.00") : QString());
        }
    }

    void invalidFieldsSendNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shownIn");
        QTest::addColumn<QString>("text");
        const QString noBlock = "Erreur->Bloque non défini";
        const QString noSector = "Erreur->Sector non défini";
        QTest::newRow("block abc") << "BTN_ReaderRead" << "SAI_BlockNumber" << "abc" << "SAI_ReaderSnd" << noBlock;
        QTest::newRow("block 64") << "BTN_ReaderWrite" << "SAI_BlockNumber" << "64" << "SAI_ReaderSnd" << noBlock;
        QTest::newRow("sector -1") << "BTN_TraillerRead" << "SAI_Sector" << "-1" << "SAI_TrailerReadResult" << noSector;
        QTest::newRow("sector 16") << "BTN_TraillerWrite" << "SAI_Sector" << "16" << "SAI_TrailerReadResult" << noSector;
        QTest::newRow("key with ;") << "BTN_ReaderRead" << "SAI_KeyToUsed" << Ff + ";7" << "SAI_ReaderRcv"
                                    << "Erreur->Clé non valide";
        QTest::newRow("data with ;") << "BTN_ReaderWrite" << "SAI_ReaderSnd" << "0x01;0x02" << "SAI_ReaderRcv"
                                     << "Erreur->Donnée non valide";
        QTest::newRow("value with ;") << "BTN_ReaderDecrement" << "SAI_ReaderSnd" << "1;1" << "SAI_ReaderRcv"
                                      << "Erreur->Donnée non valide";
        QTest::newRow("key A") << "BTN_TraillerWrite" << "SAI_KeyA" << Ff + " 0xFF" << "SAI_TrailerReadResult"
                               << "Erreur->Clé A non valide";
        QTest::newRow("duration with ;") << "BTN_TestC1" << "SAI_TestDurationImpulsion" << "3;0"
                                         << "SAI_TestCmdStatus" << "Erreur->Durée non valide";
    }
    void invalidFieldsSendNothing()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, shownIn);
        QFETCH(QString, text);
        edit("SAI_BlockNumber")->setText("4");
        edit("SAI_Sector")->setText("1");
        edit(qPrintable(field))->setText(value);
        this->button(qPrintable(button))->click();
        QVERIFY(slotFree());
        QCOMPARE(edit(qPrintable(shownIn))->text(), text);
        QTest::qWait(50);
        QVERIFY(requests.isEmpty());
    }

    void clockSendsDateThenTimeOfOneMoment_data()
    {
        QTest::addColumn<bool>("polling");
        QTest::newRow("slot free") << false;
        QTest::newRow("polling takes the slot") << true;
    }
    void clockSendsDateThenTimeOfOneMoment()
    {
        QFETCH(bool, polling);
        if (polling) {
            button("BTN_BadgeRead")->click();
            QTRY_VERIFY(w->sim.requestCount('B', 'S') > 0);
        }
        const QDateTime before = QDateTime::currentDateTime();
        MessageBoxCatcher catcher;
        catcher.arm();
        button("BTN_DateHeureMAJ")->click();
        QTRY_COMPARE_WITH_TIMEOUT(catcher.text, QString("Mise à jour OK"), 10000);
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(catcher.title, QString("MAJ Heure/Date"));
        const QList<QByteArray> writes = valueWrites();
        QCOMPARE(writes.size(), 2);
        QVERIFY(writes[0].startsWith("12.255.8="));
        QVERIFY(writes[1].startsWith("12.255.9="));
        const QDateTime sent(QDate::fromString(writes[0].mid(9), "dd/MM/yy").addYears(100),
                             QTime::fromString(writes[1].mid(9), "HH:mm"));
        QVERIFY2(sent.isValid(), writes[0] + " " + writes[1]);
        QVERIFY(sent >= before.addSecs(-before.time().second() - 1) && sent <= after);
        QTRY_VERIFY(button("BTN_DateHeureMAJ")->isEnabled());
    }

    void refusedDateFailsTheClock()
    {
        w->sim.failNext(ReaderSim::Fault::Refuse, "VP");
        MessageBoxCatcher catcher;
        catcher.arm();
        button("BTN_DateHeureMAJ")->click();
        QTRY_COMPARE_WITH_TIMEOUT(catcher.text, QString("Mise à jour ECHEC"), 10000);
        QCOMPARE(catcher.title, QString("MAJ Heure/Date"));
        QTest::qWait(100);
        QCOMPARE(valueWrites().size(), 1);  // the time is not set after a refused date
        QTRY_VERIFY(button("BTN_DateHeureMAJ")->isEnabled());
    }

    // The window keeps running its event loop while the reader is silent,
    // the button waits, and the time-out ends with a failure.
    void silentReaderFailsTheClockWithoutFreezing()
    {
        w->sim.setSilent(true);
        int ticks = 0;
        QTimer timer;
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start();
        MessageBoxCatcher catcher;
        catcher.arm();
        QElapsedTimer elapsed;
        elapsed.start();
        button("BTN_DateHeureMAJ")->click();
        QVERIFY(!button("BTN_DateHeureMAJ")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 50, 3000);
        QVERIFY(catcher.text.isEmpty());
        QVERIFY(!button("BTN_DateHeureMAJ")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(catcher.text, QString("Mise à jour ECHEC"), 15000);
        QVERIFY(elapsed.elapsed() >= 3900);
        QTRY_VERIFY(button("BTN_DateHeureMAJ")->isEnabled());
    }

    void outputTests_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("fault");  // -1 none, else ReaderSim::Fault
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("result");
        QTest::newRow("C1 accepted") << "BTN_TestC1" << -1 << QByteArray("12.255.7.0=300") << "Test C1->OK";
        QTest::newRow("C2 accepted") << "BTN_TestC2" << -1 << QByteArray("12.255.7.1=300") << "Test C2->OK";
        QTest::newRow("C1 refused") << "BTN_TestC1" << int(ReaderSim::Fault::Refuse)
                                    << QByteArray("12.255.7.0=300") << "Test C1->ECHEC";
        QTest::newRow("C2 unanswered") << "BTN_TestC2" << int(ReaderSim::Fault::Mute)
                                       << QByteArray("12.255.7.1=300") << "Test C2->ECHEC";
    }
    void outputTests()
    {
        QFETCH(QString, button);
        QFETCH(int, fault);
        QFETCH(QByteArray, sent);
        QFETCH(QString, result);
        if (fault >= 0)
            w->sim.failNext(ReaderSim::Fault(fault), "VP");
        edit("SAI_TestDurationImpulsion")->setText("300");
        this->button(qPrintable(button))->click();
        QTRY_COMPARE_WITH_TIMEOUT(edit("SAI_TestCmdStatus")->text(), result, 6000);
        QCOMPARE(valueWrites(), QList<QByteArray>({sent}));
    }

    void firmwareFileIsOnlyChosen()
    {
        FileDialogCatcher catcher;
        catcher.arm();
        button("BTN_FirmwareFile")->click();
        QCOMPARE(catcher.title, QString("Sélection du fichier hex"));
        QCOMPARE(catcher.filters, QStringList("Prog (*.hex)"));
        QVERIFY(edit("SAI_FirmwareStatus")->text().isEmpty());
    }
};

QTEST_MAIN(TestToolsEndToEnd)
#include "tst_tools_e2e.moc"
