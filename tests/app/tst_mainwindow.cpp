#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include "core/pollanswer.h"
#include "core/portlist.h"
#include "link/commands.h"
#include "tests/support/windowfixture.h"

namespace {
const char *const ReaderButtons[] = {
    "BTN_BlackListReadFromSupport", "BTN_BlackListReadFromReader", "BTN_BlackListWriteToReader",
    "BTN_BlackListWriteToSupport",  "BTN_ReaderConfigLoad",        "BTN_ReaderConfigSave",
};
}

class TestMainWindow : public QObject
{
    Q_OBJECT

    static QColor statusColour(const WindowWithReader &w)
    {
        return w.field("LINEEDIT_Com")->palette().color(QPalette::Active, QPalette::Text);
    }

    static int enabledReaderButtons(const WindowWithReader &w)
    {
        int enabled = 0;
        for (const char *name : ReaderButtons)
            if (auto *b = w.field<QPushButton>(name); b && b->isEnabled())
                ++enabled;
        return enabled;
    }

    static QPushButton *serialButton(const WindowWithReader &w)
    {
        return w.field<QPushButton>("BTN_Serial");
    }

private slots:
    void portListPutsPreferredFirst_data()
    {
        QTest::addColumn<QString>("preferred");
        QTest::addColumn<QStringList>("enumerated");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("none") << QString() << QStringList{"ttyS0", "ttyUSB0"}
                              << QStringList{"ttyS0", "ttyUSB0"};
        QTest::newRow("unlisted path") << "/tmp/r" << QStringList{"ttyS0"}
                                       << QStringList{"/tmp/r", "ttyS0"};
        QTest::newRow("listed once") << "ttyUSB0" << QStringList{"ttyS0", "ttyUSB0"}
                                     << QStringList{"ttyUSB0", "ttyS0"};
        QTest::newRow("no port at all") << QString() << QStringList() << QStringList();
    }
    void portListPutsPreferredFirst()
    {
        QFETCH(QString, preferred);
        QFETCH(QStringList, enumerated);
        QFETCH(QStringList, expected);
        QCOMPARE(PortListMerge(preferred, enumerated), expected);
    }

    void pollAnswerRead_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("support");
        QTest::addColumn<bool>("supportOk");
        QTest::addColumn<quint32>("status");
        QTest::addColumn<QString>("detail");
        QTest::newRow("valid badge") << "11100000;UID=04A1" << true << true << 0u << "000";
        QTest::newRow("read error with detail") << "11006ABC;UID=1" << true << false << 6u << "ABC";
        QTest::newRow("negative code is large") << "110-1" << true << false << quint32(-1) << "";
        QTest::newRow("not a number") << "110xx" << true << false << 0u << "";
        QTest::newRow("removed") << "10" << false << false << 0u << "";
        QTest::newRow("empty") << "" << false << false << 0u << "";
    }
    void pollAnswerRead()
    {
        QFETCH(QString, answer);
        const PollAnswer poll = PollAnswerParse(answer);
        QTEST(poll.support, "support");
        QTEST(poll.supportOk, "supportOk");
        QTEST(poll.status, "status");
        QTEST(poll.detail, "detail");
    }

    void startOpensGivenPortAndConnectTogglesIt()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_COMPARE_WITH_TIMEOUT(w.text("LINEEDIT_Com"), QString("Ouvert"), 5000);
        QCOMPARE(serialButton(w)->text(), QString("Deconnecter"));
        QCOMPARE(statusColour(w), QColor(0x00, 0xFF, 0x00));
        // All but "Ecrire" of the configuration: there is nothing to write yet.
        QTRY_COMPARE(enabledReaderButtons(w), 5);
        QVERIFY(!w.field<QPushButton>("BTN_ReaderConfigSave")->isEnabled());
        QCOMPARE(w.window->findChild<QComboBox *>("COMB_Serial")->currentText(), w.sim.slavePath());

        serialButton(w)->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.text("LINEEDIT_Com"), QString("Fermé"), 5000);
        QCOMPARE(serialButton(w)->text(), QString("Connecter"));
        QCOMPARE(statusColour(w), QColor(0xFF, 0x00, 0x00));
        QTRY_COMPARE(enabledReaderButtons(w), 0);

        serialButton(w)->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.text("LINEEDIT_Com"), QString("Ouvert"), 5000);
        QTRY_COMPARE(enabledReaderButtons(w), 5);
    }

    // Each toolbar action clicks its button and is enabled when it is.
    void toolBarActionsStandForTheirButtons()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        const auto action = [&w](const char *name) { return w.window->findChild<QAction *>(name); };
        QTRY_VERIFY_WITH_TIMEOUT(action("actionConfigRead")->isEnabled(), 5000);
        QVERIFY(!action("actionConfigWrite")->isEnabled());  // nothing read yet
        QCOMPARE(action("actionConnect")->text(), QString("Deconnecter"));
        QVERIFY(!action("actionConnect")->icon().isNull());

        action("actionConnect")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w.text("LINEEDIT_Com"), QString("Fermé"), 5000);
        QTRY_VERIFY(!action("actionConfigRead")->isEnabled());
        QCOMPARE(action("actionConnect")->text(), QString("Connecter"));
        action("actionConnect")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(action("actionConfigRead")->isEnabled(), 5000);

        action("actionConfigRead")->trigger();
        QVERIFY(!action("actionConfigRead")->isEnabled());  // the load runs
        QTRY_VERIFY_WITH_TIMEOUT(action("actionConfigWrite")->isEnabled(), 20000);
        QCOMPARE(w.sim.requestCount('V', 'G'), 143);
        QCOMPARE(w.text("SAI_ConfigStatus"), QString("Lecture Ok"));
    }

    void refreshKeepsThePortOpen()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_VERIFY_WITH_TIMEOUT(w.window->Protocole.ComIsOpen.load(), 5000);
        w.field<QPushButton>("BTN_ComReaderFind")->click();
        auto *ports = w.window->findChild<QComboBox *>("COMB_Serial");
        QCOMPARE(ports->itemText(0), w.sim.slavePath());
        QTest::qWait(200);  // give a wrongly posted close the time to act
        QVERIFY(w.window->Protocole.ComIsOpen.load());
        QCOMPARE(w.text("LINEEDIT_Com"), QString("Ouvert"));
        serialButton(w)->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.text("LINEEDIT_Com"), QString("Fermé"), 5000);
    }

    void failedOpenIsShownInRed()
    {
        const QString missing = "/nonexistent/kovrim-tty";
        MainWindow window(missing);
        auto *status = window.findChild<QLineEdit *>("LINEEDIT_Com");
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("Can't open " + missing + ", error code "),
                                 5000);
        QCOMPARE(status->palette().color(QPalette::Active, QPalette::Text), QColor(0xFF, 0, 0));
        QCOMPARE(window.findChild<QPushButton *>("BTN_Serial")->text(), QString("Connecter"));
        QTRY_VERIFY(!window.findChild<QPushButton *>("BTN_ReaderConfigLoad")->isEnabled());
    }

    void readerDebugTextsReachTheDebugPane()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_VERIFY_WITH_TIMEOUT(w.window->Protocole.ComIsOpen.load(), 5000);
        auto *pane = w.window->findChild<QPlainTextEdit *>("TXTEDIT_Debug");
        w.sim.sendDebug("Bonjour");
        QTRY_VERIFY_WITH_TIMEOUT(pane->toPlainText().contains("Bonjour"), 5000);

        w.field<QPushButton>("pushButton_3")->click();
        QCOMPARE(pane->toPlainText(), QString());
        w.sim.sendDebug("Encore là");
        QTRY_COMPARE_WITH_TIMEOUT(pane->toPlainText(), QString("Encore là"), 5000);
        QVERIFY(w.window->Protocole.ComIsOpen.load());
    }

    void unpluggedReaderClosesTheLink()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_VERIFY_WITH_TIMEOUT(w.window->Protocole.ComIsOpen.load(), 5000);
        w.sim.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!w.window->Protocole.ComIsOpen.load(), 10000);
        QTRY_VERIFY(w.text("LINEEDIT_Com").contains("débranché"));
        QCOMPARE(statusColour(w), QColor(0xFF, 0x00, 0x00));
        QCOMPARE(serialButton(w)->text(), QString("Connecter"));
        QTRY_COMPARE(enabledReaderButtons(w), 0);
    }

    // Widgets that no operation reads: using them sends nothing and changes
    // nothing the operator can see.
    void widgetsWithoutOperationDoNothing()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_COMPARE_WITH_TIMEOUT(enabledReaderButtons(w), 5, 5000);
        auto *tabs = w.window->findChild<QTabWidget *>("ONG_Main");
        tabs->setTabEnabled(6, true);   // reachable only here, to prove no slot is bound
        auto snapshot = [&w] {
            QStringList texts;
            for (QLineEdit *edit : w.window->findChildren<QLineEdit *>())
                texts << edit->objectName() + "=" + edit->text();
            texts << QString::number(w.window->findChild<QTableWidget *>("TABLE_BlackList")->rowCount());
            return texts;
        };
        const QStringList before = snapshot();
        QList<QByteArray> requests;
        connect(&w.sim, &ReaderSim::requestReceived, this,
                [&requests](char c1, char c2, const QByteArray &payload) {
                    requests << QByteArray() + c1 + c2 + payload;
                });

        for (const char *name : {"BTN_BlackListReadFromReader", "BTN_BlackListWriteToReader",
                                 "BTN_FirmwareProgram", "BTN_TestC3",
                                 "BTN_TestC4", "BTN_TestC5", "BTN_TestC6", "BTN_TestC7", "BTN_TestC8",
                                 "CKB_AutoId"}) {
            auto *button = w.field<QAbstractButton>(name);
            QVERIFY2(button && button->isEnabled(), name);
            button->click();
        }
        // A command of our own after the clicks: the reader has seen all that
        // the clicks sent once this one arrives.
        w.window->Protocole.CmdRequest('V', 'G', "9.9", ARG_NONE, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(requests.contains("VG9.9"), 5000);
        requests.removeAll("BS");
        QCOMPARE(requests, QList<QByteArray>{"VG9.9"});
        QCOMPARE(snapshot(), before);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
