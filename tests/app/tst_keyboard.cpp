// The window without a mouse: each page's work done with the keyboard
// alone against the simulated reader, Tab that never traps the focus, and a
// name for every control a screen reader lands on.
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QVBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "app/keyboard.h"
#include "config/configpage.h"
#include "config/paramtree.h"
#include "tests/support/linkwindow.h"

namespace {
constexpr int ChainMs = 20000;
// More than any page has controls: a walk this long that has not come
// back is caught.
constexpr int WalkLimit = 400;

QWidget *Focused()
{
    return QApplication::focusWidget();
}

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QVERIFY(Focused());
    QTest::keyClick(Focused(), Qt::Key(key), modifiers);
}

// What the desktop does when a dialog opens or closes (the offscreen
// platform does not).
bool Activate(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window && Focused(); });
}

// Tab until `target` has the focus; false when a whole walk misses it.
bool TabTo(const QWidget *target, Qt::Key key = Qt::Key_Tab)
{
    for (int step = 0; step < WalkLimit && Focused() != target; ++step)
        Press(key);
    return Focused() == target;
}

QString Described(const QWidget *widget)
{
    const QString name = widget->objectName();
    return name.isEmpty() ? QString(widget->metaObject()->className()) : name;
}

// Down the tree, opening the branch that holds `target`, until it is the
// current row.
bool TreeWalkTo(QTreeWidget *tree, QTreeWidgetItem *target)
{
    const QList<QTreeWidgetItem *> order = TreeItems(tree);
    for (int step = 0; step < WalkLimit && tree->currentItem() != target; ++step) {
        QTreeWidgetItem *current = tree->currentItem();
        bool holds = false;
        for (QTreeWidgetItem *up = target->parent(); up && current; up = up->parent())
            holds = holds || up == current;
        if (holds && !current->isExpanded())
            Press(Qt::Key_Right);
        else
            Press(order.indexOf(current) > order.indexOf(target) ? Qt::Key_Up : Qt::Key_Down);
    }
    return tree->currentItem() == target;
}

// A control the operator can land on (Tab or click), not a part of
// another control.
bool IsControl(const QWidget *widget, const QWidget *root)
{
    if (widget->focusPolicy() == Qt::NoFocus || widget->window() != root || widget->focusProxy()
        || widget->objectName().startsWith(QLatin1String("qt_")))
        return false;
    for (const QWidget *parent = widget->parentWidget(); parent && parent != root; parent = parent->parentWidget())
        if (qobject_cast<const QAbstractSpinBox *>(parent) || qobject_cast<const QComboBox *>(parent)
            || qobject_cast<const QTabBar *>(parent))
            return false;
    return true;
}

// What a screen reader says for each control without a name: "..." is no
// name either.
QStringList Unnamed(QWidget *root)
{
    QStringList unnamed;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!IsControl(widget, root))
            continue;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
        const QString name = face ? face->text(QAccessible::Name).trimmed() : QString();
        if (name.isEmpty() || name == QLatin1String("..."))
            unnamed << Described(widget);
    }
    return unnamed;
}

// The controls Tab must reach under `root` as the window stands.
QSet<QWidget *> TabStops(QWidget *root, QWidget *window)
{
    QSet<QWidget *> stops;
    for (QWidget *widget : root->findChildren<QWidget *>())
        if (IsControl(widget, window) && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus
            && widget->isEnabled() && widget->isVisible() && !widget->focusProxy()
            && !qobject_cast<QAbstractScrollArea *>(widget->parentWidget()->parentWidget()))
            stops << widget;
    return stops;
}

// From each stop, Tab (or Shift+Tab) goes round every stop of the page
// before it comes back. Returns what went wrong, empty when nothing.
QStringList TrapsFrom(const QSet<QWidget *> &stops, Qt::Key key)
{
    QStringList faults;
    for (QWidget *start : stops) {
        start->setFocus(Qt::OtherFocusReason);
        if (Focused() != start) {
            faults << Described(start) + " ne prend pas le focus";
            continue;
        }
        QSet<QWidget *> seen;
        int step = 0;
        do {
            Press(key);
            seen << Focused();
        } while (Focused() != start && ++step < WalkLimit);
        if (Focused() != start) {
            QStringList path;
            for (int i = 0; i < 30; ++i) { Press(key); path << Described(Focused()); }
            faults << Described(start) + " : le tour ne revient pas " + path.join(" ");
        }
        for (QWidget *missed : stops - seen)
            faults << Described(start) + " -> manque " + Described(missed);
    }
    return faults;
}
}

class TestKeyboard : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowOnLink> w;

    QAbstractButton *button(const char *name) const { return w->button(name); }
    QTabWidget *pages() const { return w->field<QTabWidget>("ONG_Main"); }
    QStringList requests;  // "c1c2 payload" the reader received

    void start(bool expert = false)
    {
        w = std::make_unique<WindowOnLink>();
        QVERIFY(w->start(expert));
        w->operatorAgrees.on = false;  // the walks answer with the keyboard
        w->window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w->window.get()));
        requests.clear();
        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &payload) {
            requests << QString("%1%2 %3").arg(c1).arg(c2).arg(QString::fromLatin1(payload));
        });
    }

    QStringList requestsOf(const QString &letters) const
    {
        return requests.filter(QRegularExpression("^" + letters + " "));
    }

    // Answers the next modal box with the keyboard: Tab to the button, Space.
    void answerWithKeys(QMessageBox::StandardButton answer, QString *text)
    {
        QTimer::singleShot(20, this, [this, answer, text] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                answerWithKeys(answer, text);
                return;
            }
            *text = box->text();
            if (Activate(box) && TabTo(box->button(answer)))
                Press(Qt::Key_Space);
        });
    }

private slots:
    void cleanup() { w.reset(); }

    // Each control has a name: a label, its own text or an accessible name.
    void everyControlHasAName()
    {
        start(true);
        const QStringList unnamed = Unnamed(w->window.get());
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        // Tooltips are descriptions too.
        auto *filter = w->field("SAI_BlackListFilter");
        QCOMPARE(filter->accessibleDescription(), filter->toolTip());
        w->field("LINEEDIT_Com")->setToolTip("Ouvert");
        QCOMPARE(w->field("LINEEDIT_Com")->accessibleDescription(), QString("Ouvert"));
    }

    // From every control of every page, Tab and Shift+Tab go round the
    // whole page and come back; so do they from a cell or tree editor.
    void tabNeverTraps()
    {
        start(true);
        for (int index = 0; index < pages()->count(); ++index) {
            Press(Qt::Key_1 + index, Qt::ControlModifier);
            QCOMPARE(pages()->currentIndex(), index);
            const QSet<QWidget *> stops = TabStops(pages()->currentWidget(), w->window.get())
                                          + TabStops(w->field<QWidget>("centralWidget"), w->window.get());
            QVERIFY(stops.size() > 2);
            QStringList faults = TrapsFrom(stops, Qt::Key_Tab) + TrapsFrom(stops, Qt::Key_Backtab);
            QVERIFY2(faults.isEmpty(), qPrintable(pages()->tabText(index) + " : " + faults.join("; ")));
        }

        // The parameter tree's editor, reached with Space on its row, is left with Tab.
        Press(Qt::Key_3, Qt::ControlModifier);
        auto *tree = w->field<QTreeWidget>("treeWidget");
        QVERIFY(TabTo(tree));
        QTreeWidgetItem *combo = tree->findItems("2.0.10", Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier)
                                     .value(0);
        QVERIFY(combo);
        QVERIFY(TreeWalkTo(tree, combo));
        Press(Qt::Key_Space);
        QCOMPARE(Focused(), tree->itemWidget(combo, TreeColumn::Value));
        Press(Qt::Key_Tab);
        QCOMPARE(Focused(), w->field<QWidget>("COMB_Serial"));
        QVERIFY(TabTo(tree, Qt::Key_Backtab));
        Press(Qt::Key_Space);
        Press(Qt::Key_Backtab);
        QCOMPARE(Focused(), w->field<QWidget>("BTN_DateHeureMAJ"));

        // A blacklist cell being typed is kept when Tab leaves the table.
        Press(Qt::Key_2, Qt::ControlModifier);
        auto *table = w->field<QTableWidget>("TABLE_BlackList");
        QVERIFY(TabTo(button("BTN_BlackListNew")));
        Press(Qt::Key_Space);
        QTRY_COMPARE(table->rowCount(), 1);
        QVERIFY(TabTo(table));
        Press(Qt::Key_Home, Qt::ControlModifier);
        Press(Qt::Key_Right);
        Press(Qt::Key_F2);
        QTest::keyClicks(Focused(), "04a1b2c3");
        Press(Qt::Key_Tab);
        QCOMPARE(Focused(), w->field<QWidget>("COMB_Serial"));
        QCOMPARE(table->item(0, 1)->text(), QString("04A1B2C3"));

    }

    // Read a badge with F5, then debit it: Tab to the amount, type it, Tab
    // to "Débiter", Space. No other key sends a transaction.
    void badgeReadAndDebitByKeyboard()
    {
        start();
        TextHistory protocol(w->field("SAI_ProtocoleStatus"));
        Press(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(Focused(), w->field<QWidget>("SAI_Usr"));
        w->sim.present("credit");
        Press(Qt::Key_F5);
        QTRY_VERIFY(button("BTN_BadgeRead")->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(protocol.contains("Lecture->OK"), 10000);
        QCOMPARE(w->text("SAI_Credit"), QString("15.00"));
        Press(Qt::Key_F5);  // reading stops
        QTRY_VERIFY_WITH_TIMEOUT(!button("BTN_BadgeRead")->isChecked() && w->idle()
                                     && !w->window->Protocole.Polling.load(),
                                 5000);

        QVERIFY(TabTo(w->field("SAI_Transaction")));
        QTest::keyClicks(Focused(), "1,50");
        for (QWidget *on : {w->field<QWidget>("SAI_Transaction"), w->field<QWidget>("BTN_TransactionDebit")}) {
            QVERIFY(TabTo(on));
            for (int key : {Qt::Key_Return, Qt::Key_Enter})
                for (Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ControlModifier})
                    Press(key, modifiers);
        }
        for (const char *name : {"BTN_TransactionDebit", "BTN_TransactionCredit", "BTN_BadgeCreate"})
            QVERIFY2(button(name)->shortcut().isEmpty(), name);
        // A read goes on the wire after whatever those keys sent.
        w->sim.remove();
        w->sim.present("credit");
        protocol.clear();
        Press(Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(protocol.contains("Lecture->OK"), 10000);
        Press(Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(w->idle() && !w->window->Protocole.Polling.load(), 5000);
        QCOMPARE(requestsOf("BT"), QStringList());
        QCOMPARE(requestsOf("BN"), QStringList());

        QVERIFY(TabTo(w->field("SAI_Transaction")));
        Press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Focused(), "1,50");
        QVERIFY(TabTo(button("BTN_TransactionDebit")));
        Press(Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(protocol.contains("Transaction->OK"), 5000);
        QCOMPARE(requestsOf("BT").size(), 1);
        QVERIFY(requestsOf("BT").constFirst().contains("Tra=150"));
        QTRY_COMPARE_WITH_TIMEOUT(w->text("SAI_Credit"), QString("13.50"), 5000);
    }

    // Read the configuration with F5, change a text and a choice with the
    // keys, write with Ctrl+Entrée through the preview.
    void configurationByKeyboard()
    {
        start();
        Press(Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(Focused(), w->field<QWidget>("SAI_FIleName"));
        Press(Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(w->idle() && w->text("SAI_ConfigStatus") == "Lecture Ok", ChainMs);

        auto *tree = w->field<QTreeWidget>("treeWidget");
        const auto item = [tree](const char *id) {
            return tree->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier).value(0);
        };
        QVERIFY(TabTo(tree));
        QVERIFY(TreeWalkTo(tree, item("2.0.10")));
        auto *choice = qobject_cast<QComboBox *>(tree->itemWidget(item("2.0.10"), TreeColumn::Value));
        const int before = choice->currentIndex();
        Press(Qt::Key_Space);
        QCOMPARE(Focused(), choice);
        Press(before + 1 < choice->count() ? Qt::Key_Down : Qt::Key_Up);
        const int chosen = choice->currentIndex();
        QVERIFY(chosen != before);
        Press(Qt::Key_Escape);
        QCOMPARE(Focused(), tree);
        QVERIFY(TreeWalkTo(tree, item("3.0.1")));
        Press(Qt::Key_F2);
        Press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Focused(), "Laverie Clavier");
        Press(Qt::Key_Return);
        QTRY_COMPARE(item("3.0.1")->text(TreeColumn::Value), QString("Laverie Clavier"));
        // Changed values are told by more than a colour.
        QVERIFY(item("3.0.1")->font(TreeColumn::Label).bold());
        QVERIFY(choice->font().bold());
        QVERIFY(!item("3.0.2") || !item("3.0.2")->font(TreeColumn::Label).bold());

        Press(Qt::Key_Return, Qt::ControlModifier);
        QTRY_VERIFY(QApplication::activeModalWidget()
                    && QApplication::activeModalWidget()->objectName() == "DLG_WritePreview");
        // The preview: named, its table, "Ecrire" and "Annuler" in turn.
        QWidget *preview = QApplication::activeModalWidget();
        QVERIFY(Activate(preview));
        QCOMPARE(Unnamed(preview), QStringList());
        const QSet<QWidget *> stops = TabStops(preview, preview);
        QCOMPARE(stops.size(), 3);
        const QStringList faults = TrapsFrom(stops, Qt::Key_Tab) + TrapsFrom(stops, Qt::Key_Backtab);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
        // Space unticks and ticks again the row the table is on.
        auto *rows = preview->findChild<QTableWidget *>("TABLE_WritePreview");
        QVERIFY(TabTo(rows));
        Press(Qt::Key_Space);
        QCOMPARE(rows->item(rows->currentRow(), 0)->checkState(), Qt::Unchecked);
        Press(Qt::Key_Space);
        QCOMPARE(rows->item(rows->currentRow(), 0)->checkState(), Qt::Checked);
        QVERIFY(TabTo(preview->findChild<QPushButton *>("BTN_WritePreviewWrite")));
        Press(Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(w->idle() && w->text("SAI_ConfigStatus") == QString::fromUtf8("Vérification->OK"),
                                 ChainMs);
        QCOMPARE(w->sim.config().value("3.0.1"), QString("Laverie Clavier"));
        QCOMPARE(w->sim.config().value("2.0.10"), QString::number(chosen));
        QVERIFY(!item("3.0.1")->font(TreeColumn::Label).bold());
    }

    // Read the reader's list with F5, add a row with the keys, write it with
    // Ctrl+Entrée and answer the question with Tab and Space; Ctrl+F finds.
    void blackListByKeyboard()
    {
        start();
        Press(Qt::Key_2, Qt::ControlModifier);
        auto *table = w->field<QTableWidget>("TABLE_BlackList");
        Press(Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(w->text("SAI_BlackListStatus"), QString("LN Lecture->OK"), ChainMs);
        QVERIFY(TabTo(button("BTN_BlackListNew")));
        Press(Qt::Key_Space);
        QTRY_COMPARE(table->rowCount(), 1);
        QVERIFY(TabTo(table));
        Press(Qt::Key_End, Qt::ControlModifier);
        Press(Qt::Key_Home);
        Press(Qt::Key_Right);
        Press(Qt::Key_F2);
        QTest::keyClicks(Focused(), "04a1b2c3d4e5f6a7b8c9");

        // Written straight from the cell being typed: the key commits it first.
        QString question;
        answerWithKeys(QMessageBox::Yes, &question);
        Press(Qt::Key_Return, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(w->idle() && w->sim.listFile().entries().size() == 1, ChainMs);
        QVERIFY(question.startsWith("Remplacer la liste noire du lecteur"));
        QVERIFY(w->sim.listFile().entries().constFirst().contains("UID=04A1B2C3D4E5F6A7B8C9"));
        QVERIFY(Activate(w->window.get()));

        Press(Qt::Key_1, Qt::ControlModifier);
        Press(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(pages()->currentWidget()->objectName(), QString("ONG_BlackList"));
        QCOMPARE(Focused(), w->field<QWidget>("SAI_BlackListFilter"));
        QTest::keyClicks(Focused(), "zzz");
        QVERIFY(table->isRowHidden(0));
    }

    // The UID column holds the longest UID whole, a faulty cell carries an
    // icon and its reason, the last column takes the rest.
    void blackListCellsReadWithoutColour()
    {
        start();
        Press(Qt::Key_2, Qt::ControlModifier);
        auto *table = w->field<QTableWidget>("TABLE_BlackList");
        QVERIFY(TabTo(button("BTN_BlackListNew")));
        Press(Qt::Key_Space);
        Press(Qt::Key_Space);
        QTRY_COMPARE(table->rowCount(), 2);
        table->item(0, 1)->setText("04A1B2C3D4E5F6A7B8C9");
        table->item(1, 1)->setText("04A1");
        QTRY_VERIFY(!table->item(1, 1)->toolTip().isEmpty());
        QVERIFY(table->item(1, 1)->data(Qt::DecorationRole).value<QIcon>().isNull() == false);
        QCOMPARE(table->item(1, 1)->data(Qt::AccessibleDescriptionRole).toString(), table->item(1, 1)->toolTip());
        QVERIFY(table->item(0, 1)->data(Qt::DecorationRole).isNull());
        const int uid = table->fontMetrics().horizontalAdvance("04A1B2C3D4E5F6A7B8C9");
        QVERIFY2(table->columnWidth(1) > uid, qPrintable(QString::number(table->columnWidth(1))));
        QVERIFY(table->horizontalHeader()->stretchLastSection());
        table->item(1, 1)->setText("04A1B2C3");
        QTRY_VERIFY(table->item(1, 1)->data(Qt::DecorationRole).isNull());
        QCOMPARE(table->item(1, 1)->toolTip(), QString());
    }

    // Named controls first, as listed; the others by rows, top to bottom,
    // each row left to right, a row holding what starts above the middle of
    // its first.
    void focusOrderReadsRows()
    {
        QWidget page;
        page.resize(400, 200);
        const auto edit = [&page](const char *name, int x, int y) {
            auto *line = new QLineEdit(&page);
            line->setObjectName(name);
            line->setGeometry(x, y, 100, 20);
        };
        edit("rightTop", 200, 10);
        edit("leftTop", 10, 14);
        edit("listed", 300, 150);
        edit("rightBottom", 200, 48);
        edit("leftBottom", 10, 52);
        QStringList order;
        for (QWidget *widget : FocusOrder(&page, {"listed", "absent"}))
            order << widget->objectName();
        QCOMPARE(order, (QStringList{"listed", "leftTop", "rightTop", "leftBottom", "rightBottom"}));
    }

    // A panel added after the tables were written is reached by Tab;
    // Ctrl+9 shows the page "Historique" and a field of it.
    void widgetsAddedLaterAreReached()
    {
        start();
        auto *panel = new QGroupBox("Panneau");
        auto *panelButton = new QPushButton("Régler", panel);
        (new QVBoxLayout(panel))->addWidget(panelButton);
        w->field<QWidget>("ONG_ReadWrite")->layout()->addWidget(panel);
        auto *ledger = w->field<QWidget>("ONG_Historique");

        Press(Qt::Key_9, Qt::ControlModifier);
        QCOMPARE(pages()->currentWidget(), ledger);
        QVERIFY(ledger->isAncestorOf(Focused()));
        QStringList faults = TrapsFrom(TabStops(w->field<QWidget>("centralWidget"), w->window.get()), Qt::Key_Tab);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
        Press(Qt::Key_1, Qt::ControlModifier);
        QTRY_VERIFY(panelButton->isVisible());
        QVERIFY(TabTo(panelButton));
        faults = TrapsFrom(TabStops(w->field<QWidget>("centralWidget"), w->window.get()), Qt::Key_Backtab);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
        QCOMPARE(pages()->tabToolTip(pages()->indexOf(ledger)), QString("Ctrl+9"));
    }

    // The keys are shown where the operator looks, and no text got a "&".
    void keysAreShownNotTyped()
    {
        start();
        QCOMPARE(pages()->tabToolTip(0), QString("Ctrl+1"));
        QVERIFY(button("BTN_ReaderConfigLoad")->toolTip().endsWith("(F5)"));
        QVERIFY(button("BTN_BlackListWriteToSupport")->toolTip().endsWith(QString::fromUtf8("(Ctrl+Entrée)")));
        auto *read = w->window->findChild<QAction *>("actionConfigRead");
        QVERIFY(read->toolTip().contains("F5"));
        Press(Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(read->shortcut(), QKeySequence(Qt::Key_F5));
        Press(Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(read->shortcut(), QKeySequence());
        for (QAbstractButton *b : w->window->findChildren<QAbstractButton *>())
            QVERIFY2(!b->text().contains('&'), qPrintable(b->text()));
        for (int index = 0; index < pages()->count(); ++index)
            QVERIFY(!pages()->tabText(index).contains('&'));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
