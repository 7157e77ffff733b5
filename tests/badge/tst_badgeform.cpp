// The badge form of the window, without a reader: record to form and back,
// creation defaults, the two mode buttons and the settings look-up.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "app/mainwindow.h"

class TestBadgeForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindow> window;

    QLineEdit *edit(const char *name) { return window->findChild<QLineEdit *>(name); }
    QComboBox *types() { return window->findChild<QComboBox *>("COMBO_BadgeType"); }
    QDateEdit *validity() { return window->findChild<QDateEdit *>("SAI_ValiditeDate"); }
    QPushButton *button(const char *name) { return window->findChild<QPushButton *>(name); }

    void setSetting(const QString &key, const QString &value)
    {
        auto *tree = window->findChild<QTreeWidget *>("TREE_AppsConfig");
        const auto found = tree->findItems(key, Qt::MatchExactly | Qt::MatchRecursive, 2);
        QVERIFY(!found.isEmpty());
        found.first()->setText(1, value);
    }

    void removeSetting(const QString &key)
    {
        auto *tree = window->findChild<QTreeWidget *>("TREE_AppsConfig");
        const auto found = tree->findItems(key, Qt::MatchExactly | Qt::MatchRecursive, 2);
        QVERIFY(!found.isEmpty());
        delete found.first();
    }

private slots:
    void init()
    {
        // A port that cannot exist: the window stays disconnected.
        window = std::make_unique<MainWindow>("/nonexistent/kovrim-tty");
    }
    void cleanup() { window.reset(); }

    void recordFillsTheForm_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        QTest::newRow("credit in hundredths") << "Cn0=1234" << "SAI_Credit" << "12.34";
        QTest::newRow("small credit") << "Cn0=5" << "SAI_Credit" << "0.05";
        QTest::newRow("bad credit kept") << "Cn0=12a" << "SAI_Credit" << "7.00";
        QTest::newRow("negative shown negative") << "Lct=-150" << "SAI_LastCreditTransaction" << "-1.50";
        QTest::newRow("level counts from one") << "Lev=0" << "SAI_Level" << "1";
        QTest::newRow("bad level") << "Lev=abc" << "SAI_Level" << "1";
        QTest::newRow("second equals cut") << "Usr=12=13" << "SAI_Usr" << "12";
        QTest::newRow("date shown dd/MM/yy") << "Cda=160906" << "SAI_CreationDate" << "06/09/16";
        QTest::newRow("impossible date kept") << "Cda=160231" << "SAI_CreationDate" << "01/01/15";
        QTest::newRow("last debit date") << "Ldd=201231" << "SAI_LastDebitDate" << "31/12/20";
        QTest::newRow("uid from poll answer") << "11100000;UID=04A1B2" << "SAI_UID" << "04A1B2";
        QTest::newRow("repeated key overwrites") << "Nal=A;Nal=B" << "SAI_LastName" << "B";
        QTest::newRow("unknown and empty parts") << ";Zzz=1;;Nac=ACME" << "SAI_Compagny" << "ACME";
        QTest::newRow("short garbage") << "1" << "SAI_Usr" << "99";
    }
    void recordFillsTheForm()
    {
        QFETCH(QString, record);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        edit("SAI_Credit")->setText("7.00");
        edit("SAI_CreationDate")->setText("01/01/15");
        edit("SAI_Usr")->setText("99");
        window->BadgeRecordToForm(record);
        QCOMPARE(edit(field.toLatin1())->text(), expected);
    }

    void recordChoosesTheTypeByData()
    {
        window->BadgeRecordToForm("Tyc=128");
        QCOMPARE(types()->currentText(), QString("Accès"));
        window->BadgeRecordToForm("Tyc=99");
        QCOMPARE(types()->currentText(), QString("Accès"));
        window->BadgeRecordToForm("Tyc=x");
        QCOMPARE(types()->currentText(), QString("Accès"));
    }

    void recordSetsTheValidityEditor()
    {
        window->BadgeRecordToForm("Vda=200906");
        QCOMPARE(validity()->date(), QDate(2020, 9, 6));
        QCOMPARE(validity()->text(), QString("06/09/20"));
    }

    void validityStartsBlankAndStaysWritable_data()
    {
        QTest::addColumn<QString>("record");   // read into the fresh form first
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("written");
        QTest::newRow("fresh form") << QString() << QString() << false;
        QTest::newRow("first writable date") << "Vda=000101" << "01/01/00" << true;
        QTest::newRow("last writable date") << "Vda=991231" << "31/12/99" << true;
    }

    // A blank validity writes no date; any date the editor shows is written.
    void validityStartsBlankAndStaysWritable()
    {
        QFETCH(QString, record);
        QFETCH(QString, shown);
        QFETCH(bool, written);
        if (!record.isEmpty())
            window->BadgeRecordToForm(record);
        QCOMPARE(validity()->text().trimmed(), shown);
        QString built;
        window->BadgeRecordFromForm(built);
        QCOMPARE(built.contains(";Vda="), written);
        if (written)
            QVERIFY(built.contains(record));
        // Spinning below the range stops at the blank, not at a date of 1999.
        validity()->setDate(QDate(1990, 1, 1));
        QCOMPARE(validity()->text().trimmed(), QString());
    }

    void formBuildsTheRecord()
    {
        types()->setCurrentIndex(0);
        window->BadgeFormClear();
        edit("SAI_Remise")->clear();
        QString record;
        QVERIFY(window->BadgeRecordFromForm(record));
        QCOMPARE(record, QString("Tyc=16"));

        edit("SAI_Usr")->setText("41");
        edit("SAI_Grp")->setText("1");
        edit("SAI_Level")->setText("1");
        validity()->setDisplayFormat("dd/MM/yy");
        validity()->setDate(QDate(2020, 9, 6));
        edit("SAI_CreationDate")->setText("06/09/16");
        edit("SAI_Remise")->setText("0");
        edit("SAI_Credit")->setText("2.00");
        record.clear();
        window->BadgeRecordFromForm(record);
        QCOMPARE(record, QString("Tyc=16;Usr=41;Grp=1;Lev=0;Vda=200906;Cda=160906;Rem=0;Cn0=200"));
    }

    void typedTextCannotInjectPairs()
    {
        auto *name = edit("SAI_LastName");
        name->clear();
        QTest::keyClicks(name, "x;Cn0=999999");
        QCOMPARE(name->text(), QString("xCn0999999"));
    }

    // Amounts are kept as typed: a refused one says why, a French one is read.
    void typedCreditIsReadOrRefusedVisibly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("credit");  // the record's pair, empty when left out
        QTest::newRow("comma") << "12,50" << "" << "Cn0=1250";
        QTest::newRow("thousands") << "1 000,00" << "" << "Cn0=100000";
        QTest::newRow("letter") << "12.345a" << "Caractère non permis : « a »" << "";
        QTest::newRow("three decimals") << "0,505" << "Deux décimales au plus" << "";
    }
    void typedCreditIsReadOrRefusedVisibly()
    {
        QFETCH(QString, typed);
        QFETCH(QString, tip);
        QFETCH(QString, credit);
        auto *field = edit("SAI_Credit");
        field->clear();
        QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), typed);
        QCOMPARE(field->toolTip(), tip);
        QCOMPARE(field->styleSheet().isEmpty(), tip.isEmpty());
        QString record;
        window->BadgeRecordFromForm(record);
        QCOMPARE(record.section(';', -1).startsWith("Cn0=") ? record.section(';', -1) : QString(), credit);
    }

    void createDefaultsComeFromTheSettings()
    {
        button("BTN_BadgeCreate")->click();
        QVERIFY(window->Protocole.Polling.load());
        QCOMPARE(window->BadgeMode, 1);
        const QDate today = QDate::currentDate();
        QCOMPARE(edit("SAI_Usr")->text(), QString("1"));
        QCOMPARE(edit("SAI_Grp")->text(), QString("1"));
        QCOMPARE(edit("SAI_Credit")->text(), QString("200"));
        QCOMPARE(edit("SAI_Remise")->text(), QString("0"));
        QCOMPARE(edit("SAI_Level")->text(), QString("1"));
        QCOMPARE(edit("SAI_LastName")->text(), QString());
        QCOMPARE(edit("SAI_CreationDate")->text(), today.toString("dd/MM/yy"));
        QCOMPARE(validity()->date(), today.addMonths(92));
    }

    void validityMonthsSetting_data()
    {
        QTest::addColumn<QString>("months");
        QTest::addColumn<int>("expected");
        QTest::newRow("twelve") << "12" << 12;
        QTest::newRow("word falls back") << "douze" << 48;
    }
    void validityMonthsSetting()
    {
        QFETCH(QString, months);
        QFETCH(int, expected);
        setSetting("CREATION.DEFAUT.VALIDITE.MOIS.NB", months);
        window->BadgeCreateDefaults();
        QCOMPARE(validity()->date(), QDate::currentDate().addMonths(expected));
    }

    void missingSettingsUseTheCallersDefaults()
    {
        removeSetting("CREATION.DEFAUT.VALIDITE.MOIS.NB");
        removeSetting("CREATION.DEFAUT.CREDIT");
        window->BadgeCreateDefaults();
        QCOMPARE(validity()->date(), QDate::currentDate().addMonths(48));
        QCOMPARE(edit("SAI_Credit")->text(), QString("1"));
        QCOMPARE(window->AppsConfigReadString("creation.defaut.nom", "d"), QString("d"));
        QCOMPARE(window->AppsConfigReadString("CREATION.DEFAUT.NOM", "d"), QString());
        QCOMPARE(window->AppsConfigReadInt("CREDIT.DEFAUT.NUMERO", 7), 0);
    }

    void modeButtonsExcludeEachOther()
    {
        edit("SAI_UID")->setText("UID1");
        edit("SAI_Remise")->setText("5");
        button("BTN_BadgeCreate")->click();
        QVERIFY(button("BTN_BadgeCreate")->isChecked());
        button("BTN_BadgeRead")->click();
        QVERIFY(button("BTN_BadgeRead")->isChecked());
        QVERIFY(!button("BTN_BadgeCreate")->isChecked());
        QCOMPARE(window->BadgeMode, 0);
        QVERIFY(window->Protocole.Polling.load());
        // Cleared for the read, UID and discount too: one badge per form.
        QCOMPARE(edit("SAI_Usr")->text(), QString());
        QCOMPARE(validity()->text().trimmed(), QString());
        QCOMPARE(edit("SAI_UID")->text(), QString());
        QCOMPARE(edit("SAI_Remise")->text(), QString());

        edit("SAI_Usr")->setText("5");
        button("BTN_BadgeRead")->click();
        QVERIFY(!window->Protocole.Polling.load());
        QCOMPARE(edit("SAI_Usr")->text(), QString("5"));
    }
};

QTEST_MAIN(TestBadgeForm)
#include "tst_badgeform.moc"
