// The pages as built: tab titles, the parameter catalogue row by row, every
// widget's name, class and place, and the state after construction that the
// operations rely on.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <iterator>

#include "app/mainwindow.h"
#include "cataloguerows.h"
#include "pagewidgets.h"

namespace {
void Walk(QTreeWidgetItem *item, QList<QTreeWidgetItem *> &out)
{
    out << item;
    for (int i = 0; i < item->childCount(); ++i)
        Walk(item->child(i), out);
}

QString PositionOf(const QTreeWidgetItem *item)
{
    QStringList indexes;
    for (; item->parent(); item = item->parent())
        indexes.prepend(QString::number(item->parent()->indexOfChild(const_cast<QTreeWidgetItem *>(item))));
    indexes.prepend(QString::number(item->treeWidget()->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(item))));
    return indexes.join('.');
}

QString ShownText(const QObject *object)
{
    if (auto *label = qobject_cast<const QLabel *>(object))
        return label->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(object))
        return button->text();
    if (auto *group = qobject_cast<const QGroupBox *>(object))
        return group->title();
    if (auto *edit = qobject_cast<const QLineEdit *>(object))
        return edit->text();
    return QString();
}

// Where the widget sits in the named layout or splitter, in the notation of
// the widget table ("" when it is in neither).
QString SlotIn(QWidget *window, const QString &layoutName, QWidget *widget)
{
    if (layoutName.isEmpty()) {
        QLayout *own = widget->parentWidget()->layout();
        return own && own->indexOf(widget) >= 0 ? QString("in a layout") : QString();
    }
    if (auto *splitter = window->findChild<QSplitter *>(layoutName))
        return QString::number(splitter->indexOf(widget));
    QLayout *layout = window->findChild<QLayout *>(layoutName);
    if (!layout)
        return QString();
    if (auto *form = qobject_cast<QFormLayout *>(layout)) {
        int row = -1;
        QFormLayout::ItemRole role;
        form->getWidgetPosition(widget, &row, &role);
        return QString("%1:%2").arg(row).arg(role == QFormLayout::LabelRole ? "label" : "field");
    }
    const int index = layout->indexOf(widget);
    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        if (index >= 0)
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        const QString cell = QString("%1:%2").arg(row).arg(column);
        return rowSpan == 1 && columnSpan == 1 ? cell
                                               : cell + QString("+%1:%2").arg(rowSpan).arg(columnSpan);
    }
    return QString::number(index);
}

// Whether the window shows the whole widget: no ancestor cuts any part of it.
// Inside a scroll area the scroll area must be whole; the operator scrolls to
// the rest.
bool WhollyShown(QWidget *widget, QWidget *window)
{
    for (QWidget *above = widget->parentWidget(); above && above != window; above = above->parentWidget())
        if (auto *area = qobject_cast<QAbstractScrollArea *>(above))
            if (area->viewport()->isAncestorOf(widget))
                widget = area;
    const QRect rect(widget->mapTo(window, QPoint()), widget->size());
    for (QWidget *above = widget->parentWidget(); above != window; above = above->parentWidget())
        if (!QRect(above->mapTo(window, QPoint()), above->size()).contains(rect))
            return false;
    return window->rect().contains(rect);
}

// The controls an operator uses and the views he scrolls, as the window
// shows them now.
QList<QWidget *> ShownControls(QMainWindow *window)
{
    QList<QWidget *> controls;
    for (QWidget *widget : window->centralWidget()->findChildren<QWidget *>())
        if (widget->isVisible() && widget->window() == window
            && (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget)
                || qobject_cast<QComboBox *>(widget) || qobject_cast<QAbstractSpinBox *>(widget)
                || qobject_cast<QAbstractScrollArea *>(widget)))
            controls << widget;
    return controls;
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
                                 "Configuration", "Debug", "Tests", "Expert", "Historique"};
        QCOMPARE(tabs->count(), titles.size());
        for (int i = 0; i < titles.size(); ++i) {
            QCOMPARE(tabs->tabText(i), titles.at(i));
            QCOMPARE(tabs->isTabEnabled(i), i < 6 || i > 7);
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
        // Parameters are editable, headings and read-only parameters are not.
        for (QTreeWidgetItem *item : items)
            QCOMPARE(bool(item->flags() & Qt::ItemIsEditable),
                     !item->text(3).isEmpty() && item->text(9) != "1");
    }

    void catalogueRows_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(CatalogueRows)); ++i)
            QTest::newRow(CatalogueRows[i].position) << i;
    }

    // Every row of the catalogue, compared column by column in tree order.
    void catalogueRows()
    {
        QFETCH(int, index);
        QCOMPARE(items.size(), int(std::size(CatalogueRows)));
        const CatalogueRow &row = CatalogueRows[index];
        const QTreeWidgetItem *item = items.at(index);
        QCOMPARE(PositionOf(item), QString(row.position));
        // Items with an editor show its state, unchecked or the first option,
        // and so do the other items of the same parameter.
        bool editor = false;
        for (const CatalogueRow &other : CatalogueRows) {
            const bool same = &other == &row || (*row.identifier && QString(other.identifier) == row.identifier);
            editor = editor || (same && (QString(other.kind) == "10" || QString(other.kind) == "20"));
        }
        const QStringList expected{row.label, editor ? "0" : "", row.save, row.identifier,
                                   row.modified, "", "", row.kind, row.choices, row.attribute,
                                   row.version};
        for (int c = 0; c < expected.size(); ++c)
            QCOMPARE(item->text(c), expected.at(c));
        // Groups carry no identifier.
        if (item->childCount() > 0)
            QVERIFY(item->text(3).isEmpty());
    }

    void pageWidgets_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(PageWidgets)); ++i)
            QTest::newRow(PageWidgets[i].name) << i;
    }

    // Names, classes, parents and places: the by-name slot binding and every
    // operation rely on them.
    void pageWidgets()
    {
        QFETCH(int, index);
        const PageWidget &expected = PageWidgets[index];
        if (QString(expected.className).endsWith("Layout")) {
            auto *layout = window->findChild<QLayout *>(expected.name);
            QVERIFY(layout);
            QCOMPARE(layout->metaObject()->className(), expected.className);
            QCOMPARE(layout->parentWidget()->objectName(), QString(expected.parent));
            QCOMPARE(layout->spacing(), 6);
            QCOMPARE(layout->contentsMargins(), QMargins());
            if (auto *form = qobject_cast<QFormLayout *>(layout))
                if (form->objectName() != "formLayout_3")
                    QCOMPARE(form->fieldGrowthPolicy(), QFormLayout::AllNonFixedFieldsGrow);
            return;
        }
        auto *widget = window->findChild<QWidget *>(expected.name);
        QVERIFY(widget);
        QCOMPARE(widget->metaObject()->className(), expected.className);
        QCOMPARE(widget->parentWidget()->objectName(), QString(expected.parent));
        QCOMPARE(SlotIn(window.get(), expected.layout, widget), QString(expected.slot));
        QCOMPARE(ShownText(widget), QString(expected.text));
        QCOMPARE(widget->toolTip(), QString(expected.toolTip));
        if (expected.width > 0)
            QCOMPARE(widget->geometry(), QRect(expected.x, expected.y, expected.width, expected.height));
    }

    void pageWidgetSettings()
    {
        for (const char *name : {"BTN_BadgeRead", "BTN_BadgeCreate"})
            QVERIFY(window->findChild<QPushButton *>(name)->isCheckable());
        QVERIFY(!window->findChild<QPushButton *>("BTN_BadgeCreate")->isChecked());
        // Read-only rather than disabled: Tab and a screen reader reach it.
        QVERIFY(window->findChild<QLineEdit *>("SAI_UID")->isReadOnly());
        QVERIFY(!window->findChild<QGroupBox *>("groupBox_3")->isCheckable());
        QVERIFY(!window->findChild<QPushButton *>("BTN_DateHeureMAJ")->autoDefault());
        for (const char *name : {"splitter", "splitter_2"})
            QCOMPARE(window->findChild<QSplitter *>(name)->orientation(), Qt::Horizontal);
        for (const char *name : {"SAI_ProtocoleStatus", "SAI_SupportStatus", "SAI_BlackListStatus",
                                 "SAI_CeationSecuriteResult"})
            QCOMPARE(window->findChild<QWidget *>(name)->minimumWidth(), 100);
        QCOMPARE(window->findChild<QWidget *>("SAI_ReaderSnd")->minimumWidth(), 550);
        QCOMPARE(window->findChild<QWidget *>("SAI_BlockNumber")->maximumWidth(), 50);

        auto *bar = window->findChild<QHBoxLayout *>("horizontalLayout");
        QCOMPARE(bar->itemAt(1)->alignment(), Qt::AlignHCenter);
        auto *grid = window->findChild<QGridLayout *>("gridLayout");
        for (int column = 2; column < 5; ++column) {
            auto *caption = qobject_cast<QLabel *>(grid->itemAtPosition(0, column)->widget());
            QCOMPARE(caption->minimumWidth(), 20);
            QVERIFY(caption->alignment() & Qt::AlignHCenter);
            for (int row = 1; row < 5; ++row) {
                const Qt::Alignment centred = row == 4 && column == 2 ? Qt::AlignCenter : Qt::AlignHCenter;
                QCOMPARE(grid->itemAtPosition(row, column)->alignment(), centred);
            }
        }

        auto *table = window->findChild<QTableWidget *>("TABLE_BlackList");
        QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(table->alternatingRowColors());
        QVERIFY(!table->isSortingEnabled());
        QCOMPARE(table->horizontalHeader()->minimumSectionSize(), 20);
        QCOMPARE(table->verticalHeader()->defaultSectionSize(), 20);
        QCOMPARE(table->verticalHeader()->minimumSectionSize(), 10);

        QVERIFY(!tree->acceptDrops());
        QVERIFY(tree->alternatingRowColors());
        QCOMPARE(tree->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(tree->uniformRowHeights());
        QVERIFY(!tree->isSortingEnabled());
        const QStringList headers{"Désignation", "Valeur", "Save", "Identifiant", "Modifié", "Mask",
                                  "Max", "Widget", "WidgetArguments", "Attribut", "Version"};
        for (int c = 0; c < headers.size(); ++c)
            QCOMPARE(tree->headerItem()->text(c), headers.at(c));
        QCOMPARE(tree->columnWidth(0), 250);
        // The last visible column may stretch to the tree's width.
        QVERIFY(tree->columnWidth(1) >= 150);
    }

    // The palette the information group is drawn with, active and disabled.
    void informationGroupPalette()
    {
        const QPalette p = window->findChild<QGroupBox *>("groupBox_4")->palette();
        const QColor lilac(170, 170, 255), light(212, 212, 255), mid(113, 113, 170), grey(85, 85, 127);
        QCOMPARE(p.color(QPalette::Active, QPalette::Window), lilac);
        QCOMPARE(p.color(QPalette::Active, QPalette::Button), lilac);
        QCOMPARE(p.color(QPalette::Active, QPalette::Midlight), light);
        QCOMPARE(p.color(QPalette::Active, QPalette::AlternateBase), light);
        QCOMPARE(p.color(QPalette::Active, QPalette::Mid), mid);
        QCOMPARE(p.color(QPalette::Active, QPalette::Base), QColor(Qt::white));
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText,
                                         QPalette::Shadow, QPalette::ToolTipText})
            QCOMPARE(p.color(QPalette::Active, role), QColor(Qt::black));
        QCOMPARE(p.color(QPalette::Active, QPalette::BrightText), QColor(Qt::white));
        QCOMPARE(p.color(QPalette::Active, QPalette::ToolTipBase), QColor(255, 255, 220));
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            QCOMPARE(p.color(QPalette::Disabled, role), grey);
        QCOMPARE(p.color(QPalette::Disabled, QPalette::Base), lilac);
        QCOMPARE(p.color(QPalette::Disabled, QPalette::AlternateBase), lilac);
    }

    // The rectangles were drawn for a compact font: every caption must still
    // fit in its button once the window is laid out.
    void buttonCaptionsFit()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto *tabs = window->findChild<QTabWidget *>("ONG_Main");
        for (int page = 0; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            for (QPushButton *button : tabs->widget(page)->findChildren<QPushButton *>()) {
                const int needed = button->fontMetrics().horizontalAdvance(button->text());
                QVERIFY2(button->contentsRect().width() - 4 >= needed, qPrintable(button->objectName()));
            }
        }
        tabs->setCurrentIndex(0);
    }

    void controlsWhollyShownOnALaptop_data()
    {
        QTest::addColumn<int>("page");
        auto *tabs = window->findChild<QTabWidget *>("ONG_Main");
        for (int page = 0; page < tabs->count(); ++page)
            QTest::newRow(qPrintable(tabs->widget(page)->objectName())) << page;
    }

    // The smallest window an operator gets on a laptop still shows every
    // control of every page whole, the expert pages included.
    void controlsWhollyShownOnALaptop()
    {
        QFETCH(int, page);
        auto *tabs = window->findChild<QTabWidget *>("ONG_Main");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(960, 600);
        const bool enabled = tabs->isTabEnabled(page);
        tabs->setTabEnabled(page, true);
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        QCOMPARE(window->size(), QSize(960, 600));
        const QList<QWidget *> controls = ShownControls(window.get());
        QVERIFY(std::any_of(controls.cbegin(), controls.cend(),
                            [&](QWidget *c) { return tabs->widget(page)->isAncestorOf(c); }));
        for (QWidget *control : controls)
            QVERIFY2(WhollyShown(control, window.get()), qPrintable(control->objectName()));
        tabs->setTabEnabled(page, enabled);
        tabs->setCurrentIndex(0);
    }

    // A larger window goes to the parameter tree and the blacklist table.
    void treeAndTableTakeTheRoomOfALargerWindow()
    {
        auto *tabs = window->findChild<QTabWidget *>("ONG_Main");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QList<QSize> sizes;
        for (const QSize &windowSize : {QSize(960, 600), QSize(1400, 1000)}) {
            window->resize(windowSize);
            for (const char *name : {"treeWidget", "TABLE_BlackList", "TXTEDIT_Debug"}) {
                auto *view = window->findChild<QWidget *>(name);
                tabs->setCurrentWidget(view->parentWidget());
                QCoreApplication::processEvents();
                sizes << view->size();
            }
        }
        const int views = sizes.size() / 2;
        for (int i = 0; i < views; ++i) {
            QVERIFY(sizes.at(i + views).width() > sizes.at(i).width());
            QVERIFY(sizes.at(i + views).height() > sizes.at(i).height());
        }
        tabs->setCurrentIndex(0);
    }

    void appsConfigTree()
    {
        auto *apps = window->findChild<QTreeWidget *>("TREE_AppsConfig");
        QCOMPARE(apps->columnCount(), 3);
        QCOMPARE(apps->headerItem()->text(0), QString("Désignation"));
        QCOMPARE(apps->headerItem()->text(1), QString("Valeur"));
        QCOMPARE(apps->headerItem()->text(2), QString("Id"));
        QVERIFY(!apps->isColumnHidden(0) && !apps->isColumnHidden(1) && apps->isColumnHidden(2));
        QCOMPARE(apps->columnWidth(0), 200);
        QVERIFY(apps->columnWidth(1) >= 150);
        QVERIFY(apps->alternatingRowColors());
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
