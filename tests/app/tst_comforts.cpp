// Settings kept between runs, the journal of results, the frame trace and
// the reconnection after an unplugged reader, seen from the window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "core/appsettings.h"
#include "core/journal.h"
#include "core/portlist.h"
#include "tests/support/windowfixture.h"

namespace {
QString journal(const MainWindow &window)
{
    return window.findChild<QPlainTextEdit *>("TXTEDIT_Journal")->toPlainText();
}

QTreeWidgetItem *setting(const MainWindow &window, const QString &key)
{
    const auto found = window.findChild<QTreeWidget *>("TREE_AppsConfig")
                           ->findItems(key, Qt::MatchExactly | Qt::MatchRecursive, 2);
    return found.isEmpty() ? nullptr : found.first();
}

QString comText(const MainWindow &window)
{
    return window.findChild<QLineEdit *>("LINEEDIT_Com")->text();
}

QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// The ports of a test: whatever stands in its folder.
QList<SerialPortEntry> FolderPorts(const QString &folder)
{
    QList<SerialPortEntry> entries;
    for (const QFileInfo &file :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        entries.append({file.fileName(), "USB-Serial", "Kovrim", file.absoluteFilePath()});
    return entries;
}

// The texts of the standard buttons of the dialog that open() shows, which
// is then closed unanswered.
QStringList DialogButtonTexts(const std::function<void()> &open)
{
    QStringList texts;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        look.stop();
        for (const QDialogButtonBox *box : dialog->findChildren<QDialogButtonBox *>())
            for (const QAbstractButton *button : box->buttons())
                texts << button->text().remove('&');
        dialog->reject();
    });
    look.start();
    open();
    texts.sort();
    return texts;
}
}

class TestComforts : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        SettingsStoreUse(SettingsStore::None);
        SerialPortSourceUse();
    }

    void journalKeeps_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("kept");
        QTest::newRow("success") << "Lecture->OK" << true;
        QTest::newRow("no answer") << "Lecture->CMD ERREUR" << true;
        QTest::newRow("link status") << "Port série : Liaison perdue : lecteur débranché ?" << true;
        QTest::newRow("running") << "Lecture ..." << false;
        QTest::newRow("running, no blank") << "Enregistrement liste noire..." << false;
        QTest::newRow("poll sent") << "Polling ..." << false;
        QTest::newRow("polling starts") << "Polling -> Start" << false;
        QTest::newRow("turning bar") << "||| Polling |||" << false;
        QTest::newRow("turning backslashes") << "\\\\\\ Polling \\\\\\" << false;
        QTest::newRow("cleared") << "" << false;
        QTest::newRow("load starts") << "GetValue->" << false;
        QTest::newRow("parameter asked") << "Get value (3.0.1)" << false;
        QTest::newRow("parameter read") << "Get value (3.0.1)->UNKNOWN" << true;
        QTest::newRow("commit asked") << "Save(3) :" << false;
        QTest::newRow("commit done") << "Save(3) :->OK" << true;
        QTest::newRow("blacklist step") << "LN Put" << true;
    }
    void journalKeeps()
    {
        QFETCH(QString, text);
        QTEST(JournalKeeps(text), "kept");
    }

    void journalLineIsOneLine()
    {
        const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
        QCOMPARE(JournalLine(when, "Formatage->ECHEC(Sector=1\n2\r)"),
                 QString("05/03/2024 14:07:09  Formatage->ECHEC(Sector=1 2 )"));
    }

    void portToolTip_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("manufacturer");
        QTest::addColumn<QString>("tip");
        QTest::newRow("both") << "USB-Serial Controller" << "Prolific"
                              << "Description : USB-Serial Controller\nFabricant : Prolific";
        QTest::newRow("maker unknown") << "ttyS0 " << "  " << "Description : ttyS0";
        QTest::newRow("nothing known") << "" << "" << "";
    }
    void portToolTip()
    {
        QFETCH(QString, description);
        QFETCH(QString, manufacturer);
        QTEST(PortToolTip(description, manufacturer), "tip");
    }

    void savedPortUsable_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("usable");
        QTest::newRow("listed") << "ttyUSB0" << true;
        QTest::newRow("listed by its path") << "/dev/ttyUSB0" << true;
        QTest::newRow("gone") << "ttyUSB1" << false;
        // Still there, but no listed serial port: maybe another device now.
        QTest::newRow("existing path, not listed") << "/dev/null" << false;
        QTest::newRow("missing path") << "/nonexistent/ttyKOV" << false;
        QTest::newRow("none") << "" << false;
    }
    void savedPortUsable()
    {
        QFETCH(QString, saved);
        QTEST(SavedPortUsable(saved, {"ttyS0", "ttyUSB0", "/dev/ttyS0", "/dev/ttyUSB0"}), "usable");
    }

    void textFileWholeOrNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("journal.txt");
        QString error;
        QVERIFY(TextFileWrite(path, "a\nb", &error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("a\nb\n"));
        QVERIFY(!TextFileWrite(dir.filePath("absent/journal.txt"), "a", &error));
        QVERIFY(!error.isEmpty());
    }

    void settingsComeBack()
    {
        QTemporaryDir dir;
        SettingsStoreUse(SettingsStore::File, dir.filePath("kovrim.ini"));
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_COMPARE_WITH_TIMEOUT(comText(*w.window), QString("Ouvert"), 5000);
        w.window->resize(990, 640);
        setting(*w.window, "CREATION.DEFAUT.CREDIT")->setText(1, "350");
        setting(*w.window, "CREATION.DEFAUT.NOM")->setText(1, "Martin");
        w.field("SAI_FIleName")->setText("atelier.txt");
        w.field<QCheckBox>("CKB_FrameTrace")->setChecked(true);
        w.window.reset();

        // No port given: the one opened last time comes back in the list.
        // A pseudo-terminal is no listed serial port: it stays closed.
        auto again = std::make_unique<MainWindow>();
        QCOMPARE(comText(*again), "Port enregistré absent : " + w.sim.slavePath());
        QCOMPARE(again->findChild<QComboBox *>("COMB_Serial")->currentText(), w.sim.slavePath());
        QTest::qWait(300);
        QVERIFY(!again->Protocole.ComIsOpen.load());
        QCOMPARE(w.sim.bytesReceived(), qint64(0));
        QCOMPARE(again->size(), QSize(990, 640));
        QCOMPARE(setting(*again, "CREATION.DEFAUT.CREDIT")->text(1), QString("350"));
        QCOMPARE(setting(*again, "CREATION.DEFAUT.NOM")->text(1), QString("Martin"));
        QCOMPARE(again->findChild<QLineEdit *>("SAI_FIleName")->text(), QString("atelier.txt"));
        QVERIFY(again->findChild<QCheckBox *>("CKB_FrameTrace")->isChecked());
        QVERIFY(again->Protocole.TraceOn.load());

        again->findChild<QAction *>("actionValeursParDefaut")->trigger();
        QCOMPARE(setting(*again, "CREATION.DEFAUT.CREDIT")->text(1), QString("200"));
        QCOMPARE(setting(*again, "CREATION.DEFAUT.NOM")->text(1), QString());
        QCOMPARE(setting(*again, "CREDIT.DEFAUT.NUMERO")->text(1), QString("0"));
        again.reset();

        // A port given on the command line wins over the saved one; the
        // link status shows its whole text as a tooltip.
        const QString missing = "/nonexistent/kovrim-tty";
        MainWindow third(missing);
        QCOMPARE(setting(third, "CREATION.DEFAUT.CREDIT")->text(1), QString("200"));
        QCOMPARE(third.findChild<QComboBox *>("COMB_Serial")->currentText(), missing);
        auto *status = third.findChild<QLineEdit *>("LINEEDIT_Com");
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("Can't open " + missing), 5000);
        QCOMPARE(status->toolTip(), status->text());
    }

    // Plugged in while the window runs, a port is listed within 2 s without
    // a click, and goes when pulled out; neither the operator's choice nor
    // the open port moves, and a chosen port stays listed even gone.
    void portListFollowsTheSystem()
    {
        QTemporaryDir devices;
        SerialPortSourceUse([&devices] { return FolderPorts(devices.path()); }, devices.path());
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_COMPARE_WITH_TIMEOUT(comText(*w.window), QString("Ouvert"), 5000);
        auto *ports = w.field<QComboBox>("COMB_Serial");
        const QString open = w.sim.slavePath();
        const auto plug = [&](const char *name) { return QFile::link(open, devices.filePath(name)); };
        const auto unplug = [&](const char *name) { return QFile::remove(devices.filePath(name)); };

        QVERIFY(plug("ttyUSB7"));
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(ports), (QStringList{open, "ttyUSB7"}), 2000);
        QCOMPARE(ports->currentText(), open);
        QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(),
                 QString("Description : USB-Serial\nFabricant : Kovrim"));
        QVERIFY(unplug("ttyUSB7"));
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(ports), QStringList{open}, 2000);

        QVERIFY(plug("ttyUSB7"));
        QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 2, 2000);
        ports->setCurrentIndex(1);
        QVERIFY(unplug("ttyUSB7"));
        QVERIFY(plug("ttyACM0"));
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(ports), (QStringList{open, "ttyUSB7", "ttyACM0"}), 2000);
        QCOMPARE(ports->currentText(), QString("ttyUSB7"));
        QVERIFY(w.window->Protocole.ComIsOpen.load());
        QCOMPARE(w.window->Protocole.GetPortName(), open);
        QCOMPARE(comText(*w.window), QString("Ouvert"));
    }

    void standardButtonsReadInFrench()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        QCOMPARE(DialogButtonTexts([&] { w.field<QPushButton>("BTN_JournalSave")->click(); }),
                 (QStringList{"Annuler", "Enregistrer"}));
        QCOMPARE(DialogButtonTexts([&] { QMessageBox::question(w.window.get(), "Liste noire", "Remplacer ?"); }),
                 (QStringList{"Non", "Oui"}));
    }

    void failedReadStaysInJournalAndStatusBar()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_COMPARE_WITH_TIMEOUT(comText(*w.window), QString("Ouvert"), 5000);
        w.sim.failNext(ReaderSim::Fault::Mute, "BR");
        w.sim.present("credit");
        w.field<QPushButton>("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(journal(*w.window).contains("Lecture->CMD ERREUR"), 10000);
        QCOMPARE(w.window->statusBar()->currentMessage(), QString("Lecture->CMD ERREUR"));
        // Polling goes on and covers the status line, not the status bar.
        QTRY_VERIFY_WITH_TIMEOUT(w.text("SAI_ProtocoleStatus").contains("Polling"), 5000);
        QCOMPARE(w.window->statusBar()->currentMessage(), QString("Lecture->CMD ERREUR"));

        const QString text = journal(*w.window);
        QVERIFY(text.contains("Port série : Ouvert"));
        QVERIFY(!text.contains("Polling"));
        QVERIFY(!text.contains("Lecture ..."));
        w.field<QPushButton>("BTN_BadgeRead")->click();
    }

    void frameTrace_data()
    {
        QTest::addColumn<bool>("on");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void frameTrace()
    {
        QFETCH(bool, on);
        WindowWithReader w;
        QVERIFY(w.start());
        QTRY_COMPARE_WITH_TIMEOUT(comText(*w.window), QString("Ouvert"), 5000);
        w.field<QCheckBox>("CKB_FrameTrace")->setChecked(on);
        TextHistory results(w.field("SAI_ProtocoleStatus"));
        w.sim.present("credit");
        w.field<QPushButton>("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(results.contains("Lecture->OK"), 10000);
        w.field<QPushButton>("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(results.contains("Polling -> Stop"), 5000);

        const QString trace = w.window->findChild<QPlainTextEdit *>("TXTEDIT_FrameTrace")->toPlainText();
        if (!on) {
            QCOMPARE(trace, QString());
            return;
        }
        const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
        for (const char *frame : {" -> BS \"\" []", " <- B0 (BS) \"11", " -> BR \"\" []", " <- B0 (BR) \"UID="}) {
            const QStringList lines = trace.split('\n').filter(frame);
            QVERIFY2(!lines.isEmpty(), frame);
            QVERIFY2(time.match(lines.first()).hasMatch(), qPrintable(lines.first()));
        }
    }

    void replugReconnectsWithoutAClick()
    {
        QTemporaryDir dir;
        WindowWithReader w;
        QVERIFY(w.sim.start());
        QVERIFY(w.sim.createLink(dir.filePath("lecteur")));
        w.window = std::make_unique<MainWindow>(w.sim.linkPath());
        w.window->show();
        QTRY_COMPARE_WITH_TIMEOUT(comText(*w.window), QString("Ouvert"), 5000);
        TextHistory link(w.field("LINEEDIT_Com"));

        w.sim.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(link.contains("Reconnexion ..."), 10000);
        QVERIFY(link.contains("Liaison perdue : lecteur débranché ?"));
        QCOMPARE(w.field<QPushButton>("BTN_Serial")->text(), QString("Connecter"));
        QVERIFY(w.sim.replug());
        QTRY_COMPARE_WITH_TIMEOUT(comText(*w.window), QString("Ouvert"), 10000);
        QCOMPARE(w.field<QPushButton>("BTN_Serial")->text(), QString("Deconnecter"));
        QVERIFY(journal(*w.window).contains("Port série : Liaison perdue : lecteur débranché ?"));

        TextHistory results(w.field("SAI_ProtocoleStatus"));
        w.sim.present("credit");
        w.field<QPushButton>("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(results.contains("Lecture->OK"), 10000);
        QCOMPARE(w.text("SAI_Usr"), QString("41"));
        w.field<QPushButton>("BTN_BadgeRead")->click();
    }
};

QTEST_MAIN(TestComforts)
#include "tst_comforts.moc"
