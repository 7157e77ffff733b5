// The adapter pulled out in the middle of each chain: the chain ends with
// its failure text, the link says it is lost, and once plugged back
// "Connecter" opens it again and the same operation succeeds. With the link
// closed, nothing that sends a command can be clicked, and a command asked
// for anyway ends at once and never goes out.
#include <QRegularExpression>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "config/paramtree.h"
#include "link/commands.h"
#include "tests/support/linkwindow.h"
#include "tests/support/windowfixture.h"

namespace {
constexpr int ChainMs = 20000;
// Every button that sends a command.
const char *const CommandButtons[] = {
    "BTN_TestC1", "BTN_TestC2", "BTN_ReaderRead", "BTN_ReaderWrite", "BTN_ReaderIncrement",
    "BTN_ReaderDecrement", "BTN_TraillerRead", "BTN_TraillerWrite", "BTN_BadgeFormat",
    "BTN_DateHeureMAJ",
};
}

class TestUnplug : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowOnLink> w;

    void setParam(const QString &id, const QString &value)
    {
        auto *tree = w->field<QTreeWidget>("treeWidget");
        const auto items = tree->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier);
        QVERIFY(!items.isEmpty());
        items.first()->setText(TreeColumn::Value, value);
    }

    void prepare(const QString &what)
    {
        if (what == "loaded") {
            w->button("BTN_ReaderConfigLoad")->click();
            QTRY_COMPARE_WITH_TIMEOUT(w->text("SAI_ConfigStatus"), QString("Lecture Ok"), ChainMs);
            QTRY_VERIFY(w->idle());
            setParam("3.0.1", "Laverie");
            setParam("10.1", "4321");
        } else if (what == "rows") {
            auto *table = w->field<QTableWidget>("TABLE_BlackList");
            for (int row = 0; row < 3; ++row) {
                w->button("BTN_BlackListNew")->click();
                table->item(row, 2)->setText(QString::number(40 + row));
            }
        }
    }

    // The text the operation ended with: its status line, or its box.
    QString outcome(const QString &line, const MessageBoxCatcher &box) const
    {
        return line == "box" ? box.text : w->text(qPrintable(line));
    }

private slots:
    void init()
    {
        w = std::make_unique<WindowOnLink>();
        QVERIFY(w->start(true));  // the maintenance pages too
    }
    void cleanup() { w.reset(); }

    void unplugEndsTheChain_data()
    {
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("letters");  // unplugged at the nth such request
        QTest::addColumn<int>("nth");
        QTest::addColumn<QString>("line");  // status line, or "box"
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("success");

        QTest::newRow("configuration load") << "" << "BTN_ReaderConfigLoad" << QByteArray("VG") << 3
            << "SAI_ConfigStatus" << "->TIMEOUT$" << "^Lecture Ok$";
        // Nothing can put the reader back: what it holds pending is named.
        QTest::newRow("configuration write") << "loaded" << "BTN_ReaderConfigSave" << QByteArray("VP") << 1
            << "SAI_ConfigStatus" << "^Save->ECHEC : 3\\.0\\.1 en attente dans le lecteur$"
            << "^Vérification->OK$";
        QTest::newRow("configuration commit") << "loaded" << "BTN_ReaderConfigSave" << QByteArray("VP") << 3
            << "SAI_ConfigStatus" << "^Save->ECHEC : 3\\.0\\.1, 10\\.1 en attente dans le lecteur$"
            << "^Vérification->OK$";
        QTest::newRow("blacklist clear") << "rows" << "BTN_BlackListWriteToSupport" << QByteArray("FC") << 1
            << "SAI_BlackListStatus" << "^LN Ecriture->ECHEC \\(liaison perdue\\) : liste du lecteur inchangée$"
            << "^LN Vérification->OK$";
        QTest::newRow("blacklist add") << "rows" << "BTN_BlackListWriteToSupport" << QByteArray("FA") << 2
            << "SAI_BlackListStatus" << "^LN Ecriture->ECHEC : le lecteur ne tient que 1 ligne sur 3$"
            << "^LN Vérification->OK$";
        QTest::newRow("blacklist read") << "" << "BTN_BlackListReadFromSupport" << QByteArray("FG") << 1
            << "SAI_BlackListStatus" << "^LN Lecture->ECHEC$" << "^LN Lecture->OK$";
        QTest::newRow("clock date") << "" << "BTN_DateHeureMAJ" << QByteArray("VP") << 1
            << "box" << "^Mise à jour ECHEC$" << "^Mise à jour OK$";
        QTest::newRow("clock time") << "" << "BTN_DateHeureMAJ" << QByteArray("VP") << 2
            << "box" << "^Mise à jour ECHEC$" << "^Mise à jour OK$";
    }
    void unplugEndsTheChain()
    {
        QFETCH(QString, prepare);
        QFETCH(QString, button);
        QFETCH(QByteArray, letters);
        QFETCH(int, nth);
        QFETCH(QString, line);
        QFETCH(QString, failure);
        QFETCH(QString, success);
        this->prepare(prepare);

        int seen = 0;
        // The request stays unanswered and the adapter goes while the
        // window waits for it.
        const auto pull = connect(&w->sim, &ReaderSim::requestReceived, this,
                                  [&](char c1, char c2, const QByteArray &) {
                                      if (QByteArray() + c1 + c2 != letters || ++seen != nth)
                                          return;
                                      w->sim.failNext(ReaderSim::Fault::Mute);
                                      QTimer::singleShot(0, &w->sim, [this] { w->sim.unplug(); });
                                  });
        MessageBoxCatcher box;
        if (line == "box")
            box.arm();
        w->button(qPrintable(button))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isOpen(), ChainMs);
        QTRY_VERIFY_WITH_TIMEOUT(w->idle() && !outcome(line, box).isEmpty(), 5000);
        QVERIFY2(QRegularExpression(failure).match(outcome(line, box)).hasMatch(),
                 qPrintable(outcome(line, box)));
        QCOMPARE(w->text("LINEEDIT_Com"), QString("Liaison perdue : lecteur débranché ?"));
        disconnect(pull);

        QVERIFY(w->reconnect());
        QCOMPARE(w->text("LINEEDIT_Com"), QString("Ouvert"));
        MessageBoxCatcher again;
        if (line == "box")
            again.arm();
        w->button(qPrintable(button))->click();
        QTRY_VERIFY_WITH_TIMEOUT(w->idle() && QRegularExpression(success).match(outcome(line, again)).hasMatch(),
                                 ChainMs);
        // A value left pending reads as if stored: it is committed all the same.
        if (button == "BTN_ReaderConfigSave")
            QVERIFY(!w->sim.config().isPending("3.0.1") && !w->sim.config().isPending("10.1"));
    }

    void commandButtonsFollowTheLink()
    {
        for (const char *name : CommandButtons)
            QVERIFY2(w->button(name)->isEnabled(), name);
        w->button("BTN_Serial")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isOpen(), 5000);
        for (const char *name : CommandButtons)
            QTRY_VERIFY2(!w->button(name)->isEnabled(), name);
        QVERIFY(w->reconnect());
        for (const char *name : CommandButtons)
            QTRY_VERIFY2(w->button(name)->isEnabled(), name);
    }

    // A click that races the close (its button is grey after it): the
    // page shows its failure at once, the slot is free, and the link
    // opened again sends nothing for it.
    void commandAskedWhileClosedNeverGoesOut_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("unplug");  // else "Deconnecter"
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("failure");
        const QString block = "SAI_ReaderRcv";
        const QString trailer = "SAI_TrailerReadResult";
        const QString test = "SAI_TestCmdStatus";
        const QString format = "SAI_CeationSecuriteResult";
        QTest::newRow("Test C1") << "BTN_TestC1" << false << test << "Test C1->ECHEC";
        QTest::newRow("Test C2, reconnecting") << "BTN_TestC2" << true << test << "Test C2->ECHEC";
        QTest::newRow("block read") << "BTN_ReaderRead" << false << block << "Bloc->CMD ERREUR";
        QTest::newRow("block write") << "BTN_ReaderWrite" << false << block << "Bloc->CMD ERREUR";
        QTest::newRow("increment") << "BTN_ReaderIncrement" << false << block << "Bloc->CMD ERREUR";
        QTest::newRow("decrement") << "BTN_ReaderDecrement" << false << block << "Bloc->CMD ERREUR";
        QTest::newRow("trailer read") << "BTN_TraillerRead" << false << trailer << "Trailer->CMD ERREUR";
        QTest::newRow("trailer write") << "BTN_TraillerWrite" << false << trailer << "Trailer->CMD ERREUR";
        QTest::newRow("format") << "BTN_BadgeFormat" << false << format << "Formatage->CMD ECHEC";
        QTest::newRow("format, reconnecting") << "BTN_BadgeFormat" << true << format << "Formatage->CMD ECHEC";
    }
    void commandAskedWhileClosedNeverGoesOut()
    {
        QFETCH(QString, button);
        QFETCH(bool, unplug);
        QFETCH(QString, line);
        QFETCH(QString, failure);
        w->sim.present("credit");
        w->button("BTN_TraillerDefault")->click();
        w->field("SAI_BlockNumber")->setText("4");
        // What each block command takes: 16 bytes to write, an amount to add.
        w->field("SAI_ReaderSnd")->setText(button == "BTN_ReaderWrite" ? QString("0x00 ").repeated(16).trimmed()
                                                                      : QString("1"));
        w->field("SAI_Sector")->setText("1");
        w->button("CKB_C3B3")->setChecked(true);  // access bits that lock nothing
        w->field("SAI_TestDurationImpulsion")->setText("50");
        if (unplug)
            w->sim.unplug();
        else
            w->button("BTN_Serial")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isOpen(), 5000);
        QList<QByteArray> requests;
        connect(&w->sim, &ReaderSim::requestReceived, this,
                [&requests](char c1, char c2, const QByteArray &payload) {
                    requests << QByteArray() + c1 + c2 + payload;
                });

        const QString slot = "on_" + button + "_clicked";
        QVERIFY(QMetaObject::invokeMethod(w->window.get(), qPrintable(slot)));
        // Sooner than any command's time-out.
        QTRY_COMPARE_WITH_TIMEOUT(w->text(qPrintable(line)), failure, 1000);
        QVERIFY(w->slotFree());

        if (unplug) {
            QVERIFY(w->sim.replug());
            QTRY_VERIFY_WITH_TIMEOUT(w->isOpen() && w->button(qPrintable(button))->isEnabled(), 5000);
        } else {
            QVERIFY(w->reconnect());
        }
        // Once the reader has this one, it has all that went before.
        QVERIFY(w->window->Session.send({'V', 'G', "9.9", ARG_CONFIG_GET_RESULT, 2000}));
        QTRY_VERIFY_WITH_TIMEOUT(requests.contains("VG9.9"), 5000);
        QCOMPARE(requests, QList<QByteArray>{"VG9.9"});
        QCOMPARE(w->text(qPrintable(line)), failure);
    }
};

QTEST_MAIN(TestUnplug)
#include "tst_unplug.moc"
