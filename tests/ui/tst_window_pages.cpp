// The pages as built: tab titles, the parameter catalogue's shape and the
// state after construction that the operations rely on.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "app/mainwindow.h"

namespace {
void Walk(QTreeWidgetItem *item, QList<QTreeWidgetItem *> &out)
{
    out << item;
    for (int i = 0; i < item->childCount(); ++i)
        Walk(item->child(i), out);
}
}

class TestWindowPages : public QObject
{
    Q_OBJECT
    std::unique_ptr<MainWindow> window;
    QList<QTreeWidgetItem *> items;
    QTreeWidget *tree = nullptr;

private slots:
    void initTestCase()
    {
        window = std::make_unique<MainWindow>("/nonexistent/kovrim-tty");
        tree = window->findChild<QTreeWidget *>("treeWidget");
        QVERIFY(tree);
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            Walk(tree->topLevelItem(i), items);
    }
    void cleanupTestCase() { window.reset(); }

    void tabsInOrderWithTestsAndExpertDisabled()
    {
        auto *tabs = window->findChild<QTabWidget *>("ONG_Main");
        const QStringList titles{"Clé/Carte", "Liste noire", "Lecteur", "Firmware",
                                 "Configuration", "Debug", "Tests", "Expert"};
        QCOMPARE(tabs->count(), titles.size());
        for (int i = 0; i < titles.size(); ++i) {
            QCOMPARE(tabs->tabText(i), titles.at(i));
            QCOMPARE(tabs->isTabEnabled(i), i < 6);
        }
        QCOMPARE(tabs->currentIndex(), 0);
    }

    void catalogueShape()
    {
        QCOMPARE(items.size(), 193);
        QStringList top;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            top << tree->topLevelItem(i)->text(0);
        QCOMPARE(top, (QStringList{"Lecteur", "Fonctionnement", "Gestion Appareils Timer",
                                   "Compteurs Déportés", "Accepteur", "Retours Inhibition",
                                   "Réseau", "Version", "Divers"}));
        QSet<QString> distinct;
        QMap<QString, int> kinds;
        int withId = 0, attributes = 0;
        for (QTreeWidgetItem *item : items) {
            if (!item->text(3).isEmpty()) {
                ++withId;
                distinct << item->text(3);
            }
            ++kinds[item->text(7)];
            attributes += item->text(9) == "1";
        }
        QCOMPARE(withId, 143);
        QCOMPARE(distinct.size(), 140);
        QCOMPARE(kinds.value("10"), 57);
        QCOMPARE(kinds.value("20"), 13);
        QCOMPARE(kinds.value("3"), 8);
        QCOMPARE(kinds.value("2"), 5);
        QCOMPARE(kinds.value("1"), 3);
        QCOMPARE(kinds.value(""), 107);
        QCOMPARE(attributes, 5);
        QCOMPARE(tree->topLevelItem(0)->child(0)->child(3)->text(2), QString("KovrimReader"));
        QCOMPARE(tree->topLevelItem(4)->child(1)->child(1)->text(8).split(';').size(), 4);
        QCOMPARE(tree->topLevelItem(5)->child(0)->child(1)->text(8), QString("0 V;24V"));
    }

    void parameterTreeColumnsAfterConstruction()
    {
        QCOMPARE(tree->columnCount(), 11);
        QCOMPARE(tree->headerItem()->text(10), QString("Version"));
        for (int c = 0; c < 11; ++c)
            QCOMPARE(tree->isColumnHidden(c), c >= 2);
        // Parameters are editable, headings are not.
        for (QTreeWidgetItem *item : items)
            QCOMPARE(bool(item->flags() & Qt::ItemIsEditable), !item->text(3).isEmpty());
    }

    void formStateAfterConstruction()
    {
        for (const char *name : {"SAI_Usr", "SAI_Grp"}) {
            auto *edit = window->findChild<QLineEdit *>(name);
            edit->clear();
            QTest::keyClicks(edit, "12a345678901");
            QCOMPARE(edit->text(), QString("1234567890"));
        }
        auto *types = window->findChild<QComboBox *>("COMBO_BadgeType");
        const QStringList names{"Crédit", "Exploitant", "Accès", "Unité", "Facturation", "Audit"};
        const QList<int> data{16, 2, 128, 32, 64, 8};
        QCOMPARE(types->count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(types->itemText(i), names.at(i));
            QCOMPARE(types->itemData(i).toInt(), data.at(i));
        }
        auto *table = window->findChild<QTableWidget *>("TABLE_BlackList");
        QCOMPARE(table->rowCount(), 0);
        QStringList headers;
        for (int c = 0; c < table->columnCount(); ++c)
            headers << table->horizontalHeaderItem(c)->text();
        QCOMPARE(headers, (QStringList{"Date", "Uid", "Utilisateur", "Groupe", "Raison"}));
        QCOMPARE(window->findChild<QLabel *>("LAB_Version")->text(), QString("Version:1.12"));
    }
};

QTEST_MAIN(TestWindowPages)
#include "tst_window_pages.moc"
