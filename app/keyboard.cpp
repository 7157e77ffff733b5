#include "app/keyboard.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <functional>

namespace {

// Each page's controls in reading order: left to right, top to bottom,
// group by group. `first` is the field that takes the focus when the page
// is shown.
struct PageOrder {
    const char *page;
    const char *first;
    QStringList widgets;
};

const QList<PageOrder> &PageOrders()
{
    static const QList<PageOrder> orders = {
        {"ONG_ReadWrite", "SAI_Usr",
         {"BTN_BadgeRead", "BTN_BadgeCreate", "SAI_ProtocoleStatus", "SAI_SupportStatus",
          // "Information :", left column then right column
          "SAI_UID", "SAI_Usr", "SAI_Grp", "SAI_Level", "SAI_Domaine", "SAI_LastName", "SAI_FirstName",
          "SAI_Compagny", "SAI_Remise", "SAI_CreationDate", "SAI_ValiditeDate", "COMBO_BadgeType", "SAI_Credit",
          "SAI_UniteProduit", "SAI_UniteTarif", "SAI_LastDebitDate", "SAI_LastDebitTransaction",
          "SAI_LastCreditDate", "SAI_LastCreditTransaction", "SAI_LastCreditAmount",
          "SAI_Transaction", "BTN_TransactionDebit", "BTN_TransactionCredit",
          "CKB_CreationForce", "CKB_AutoId"}},
        {"ONG_BlackList", "SAI_BlackListFilter",
         {"BTN_BlackListNew", "BTN_BlackListDelete", "BTN_BlackListReadFromReader", "BTN_BlackListWriteToReader",
          "BTN_BlackListReadFromSupport", "BTN_BlackListWriteToSupport", "BTN_BlackListReadFromFile",
          "BTN_BlackListWriteToFile", "SAI_BlackListStatus", "SAI_BlackListFilter", "BTN_BlackListImportCsv",
          "BTN_BlackListExportCsv", "TABLE_BlackList"}},
        {"ONG_ReaderConfig", "SAI_FIleName",
         {"BTN_ReaderConfigLoad", "BTN_ReaderConfigSave", "SAI_ConfigStatus", "BTN_ReaderFileLoad",
          "BTN_ReaderFileSave", "SAI_FIleName", "BTN_FileSelect", "LINEDIT_DateHeure", "BTN_DateHeureMAJ",
          "treeWidget"}},
        {"ONG_Firmware", "SAI_FirmwareStatus", {"SAI_FirmwareStatus", "BTN_FirmwareFile", "BTN_FirmwareProgram"}},
        {"ONG_Configuration", "TREE_AppsConfig", {"BTN_ReaderConfigAll", "TREE_AppsConfig"}},
        {"ONG_Debug", "TXTEDIT_Debug",
         {"pushButton_3", "TXTEDIT_Debug", "BTN_JournalSave", "TXTEDIT_Journal", "CKB_FrameTrace",
          "BTN_FrameTraceSave", "TXTEDIT_FrameTrace"}},
        {"ONG_Test", "SAI_TestDurationImpulsion",
         {"SAI_TestCmdStatus", "SAI_TestDurationImpulsion", "BTN_TestC1", "BTN_TestC2", "BTN_TestC3",
          "BTN_TestC4", "BTN_TestC5", "BTN_TestC6", "BTN_TestC7", "BTN_TestC8"}},
        {"ONG_Expert", "SAI_KeyToUsed",
         {"BTN_ReaderRead", "BTN_ReaderWrite", "BTN_ReaderIncrement", "BTN_ReaderDecrement", "CKB_KeyType",
          "SAI_KeyToUsed", "BTN_TraillerDefault", "SAI_BlockNumber", "SAI_ReaderSnd", "SAI_ReaderRcv",
          "SAI_BlockValue", "BTN_TraillerRead", "BTN_TraillerWrite", "SAI_TrailerReadResult",
          // the sector grid, row by row, then the keys beside it
          "SAI_Sector", "CKB_C1B0", "CKB_C2B0", "CKB_C3B0", "CKB_C1B1", "CKB_C2B1", "CKB_C3B1", "CKB_C1B2",
          "CKB_C2B2", "CKB_C3B2", "CKB_C1B3", "CKB_C2B3", "CKB_C3B3", "SAI_KeyA", "SAI_KeyB",
          "BTN_BadgeFormat", "SAI_CeationSecuriteResult"}},
    };
    return orders;
}

// Above the pages: the serial-port bar.
const QStringList FrameOrder = {"COMB_Serial", "BTN_ComReaderFind", "BTN_Serial", "LINEEDIT_Com"};

// The page's "Lire" (F5) and "Ecrire" (Ctrl+Entrée), with what their
// tooltips say when they have none, and the toolbar's actions that stand
// for them. The badge page has no write key: its creation puts credit on
// a badge, and debit and credit move money.
struct PageKeys {
    const char *page;
    const char *read;
    const char *readTip;
    const char *readAction;
    const char *write;
    const char *writeTip;
    const char *writeAction;
};

const PageKeys PageKeyTable[] = {
    {"ONG_ReadWrite", "BTN_BadgeRead", QT_TRANSLATE_NOOP("Keyboard", "Lire les badges présentés"), nullptr,
     nullptr, nullptr, nullptr},
    {"ONG_BlackList", "BTN_BlackListReadFromSupport", QT_TRANSLATE_NOOP("Keyboard", "Lire la liste noire du lecteur"),
     nullptr, "BTN_BlackListWriteToSupport",
     QT_TRANSLATE_NOOP("Keyboard", "Ecrire la liste noire dans le lecteur"), nullptr},
    {"ONG_ReaderConfig", "BTN_ReaderConfigLoad", QT_TRANSLATE_NOOP("Keyboard", "Lire les paramètres du lecteur"),
     "actionConfigRead", "BTN_ReaderConfigSave",
     QT_TRANSLATE_NOOP("Keyboard", "Ecrire les paramètres modifiés dans le lecteur"), "actionConfigWrite"},
};

const char *const ReadKeyText = "F5";
const char *const WriteKeyText = QT_TRANSLATE_NOOP("Keyboard", "Ctrl+Entrée");
const char *const FindKeyText = "Ctrl+F";
const char *const BlackListPage = "ONG_BlackList";
const char *const BlackListSearch = "SAI_BlackListFilter";
const int NumberedPages = 8;
const char *const LedgerPageTitle = "Historique";

// Fields whose label stands beside them outside a form layout.
const char *const BuddyPairs[][2] = {
    {"label", "COMB_Serial"},       {"label_15", "SAI_TestDurationImpulsion"},
    {"label_13", "CKB_KeyType"},    {"label_12", "SAI_KeyToUsed"},
    {"label_2", "SAI_BlockNumber"}, {"label_14", "SAI_Sector"},
    {"LAB_Journal", "TXTEDIT_Journal"}, {"LAB_WritePreview", "TABLE_WritePreview"},
};

// Controls with no visible text of their own, nor a label beside them.
const char *const Names[][2] = {
    {"BTN_ComReaderFind", QT_TRANSLATE_NOOP("Keyboard", "Actualiser la liste des ports série")},
    {"LINEEDIT_Com", QT_TRANSLATE_NOOP("Keyboard", "Etat de la liaison")},
    {"SAI_ProtocoleStatus", QT_TRANSLATE_NOOP("Keyboard", "Etat des opérations sur le badge")},
    {"SAI_SupportStatus", QT_TRANSLATE_NOOP("Keyboard", "Support présenté")},
    {"SAI_Transaction", QT_TRANSLATE_NOOP("Keyboard", "Montant de la transaction")},
    {"SAI_BlackListStatus", QT_TRANSLATE_NOOP("Keyboard", "Etat de la liste noire")},
    {"SAI_BlackListFilter", QT_TRANSLATE_NOOP("Keyboard", "Rechercher dans la liste noire")},
    {"TABLE_BlackList", QT_TRANSLATE_NOOP("Keyboard", "Liste noire")},
    {"SAI_ConfigStatus", QT_TRANSLATE_NOOP("Keyboard", "Etat de la configuration")},
    {"SAI_FIleName", QT_TRANSLATE_NOOP("Keyboard", "Fichier de configuration")},
    {"BTN_FileSelect", QT_TRANSLATE_NOOP("Keyboard", "Choisir le fichier de configuration")},
    {"LINEDIT_DateHeure", QT_TRANSLATE_NOOP("Keyboard", "Date et heure")},
    {"treeWidget", QT_TRANSLATE_NOOP("Keyboard", "Paramètres du lecteur")},
    {"SAI_FirmwareStatus", QT_TRANSLATE_NOOP("Keyboard", "Fichier firmware")},
    {"BTN_FirmwareFile", QT_TRANSLATE_NOOP("Keyboard", "Choisir le fichier firmware")},
    {"TREE_AppsConfig", QT_TRANSLATE_NOOP("Keyboard", "Réglages de l'application")},
    {"TXTEDIT_Debug", QT_TRANSLATE_NOOP("Keyboard", "Messages de debug")},
    {"TXTEDIT_FrameTrace", QT_TRANSLATE_NOOP("Keyboard", "Trace des trames")},
    {"SAI_TestCmdStatus", QT_TRANSLATE_NOOP("Keyboard", "Etat des tests")},
    {"SAI_ReaderSnd", QT_TRANSLATE_NOOP("Keyboard", "Données à envoyer")},
    {"SAI_ReaderRcv", QT_TRANSLATE_NOOP("Keyboard", "Résultat de la commande bloc")},
    {"SAI_BlockValue", QT_TRANSLATE_NOOP("Keyboard", "Valeur du bloc")},
    {"SAI_TrailerReadResult", QT_TRANSLATE_NOOP("Keyboard", "Résultat de la commande trailer")},
    {"SAI_CeationSecuriteResult", QT_TRANSLATE_NOOP("Keyboard", "Résultat de la création sécurité")},
};

// Fields shown, never typed, that Tab and a screen reader must still reach:
// read-only rather than disabled.
const char *const ReadOnlyFields[] = {"SAI_UID"};

// The access bits' check boxes: column C1..C3, row +0, +1, +2, Trailer.
const char *const AccessRows[] = {"+0", "+1", "+2", "Trailer"};

QString Tr(const char *text)
{
    return QCoreApplication::translate("Keyboard", text);
}

QString WithKey(const QString &tip, const QString &key)
{
    if (tip.isEmpty() || tip == key)
        return key;
    const QString shown = QStringLiteral(" (%1)").arg(key);
    return tip.endsWith(shown) ? tip : tip + shown;
}

bool InsideCompound(const QWidget *widget)
{
    for (const QWidget *parent = widget->parentWidget(); parent && !parent->isWindow();
         parent = parent->parentWidget())
        if (qobject_cast<const QAbstractScrollArea *>(parent) || qobject_cast<const QAbstractSpinBox *>(parent)
            || qobject_cast<const QComboBox *>(parent) || qobject_cast<const QTabBar *>(parent))
            return true;
    return false;
}

bool Usable(const QWidget *widget, const QWidget *page)
{
    return widget->isEnabled() && widget->isVisibleTo(page);
}

// The view whose cell editor (or item widget) has the focus, if any.
QAbstractItemView *EditedView(QWidget *focus)
{
    for (QWidget *parent = focus ? focus->parentWidget() : nullptr; parent; parent = parent->parentWidget())
        if (auto *view = qobject_cast<QAbstractItemView *>(parent))
            return focus != view && view->viewport()->isAncestorOf(focus) ? view : nullptr;
    return nullptr;
}

// An open cell editor is committed before a key acts: what was typed is
// part of what is written.
void CommitOpenEditor()
{
    if (QAbstractItemView *view = EditedView(QApplication::focusWidget()))
        view->setFocus(Qt::OtherFocusReason);
}

// Tab and Shift+Tab leave a cell editor, and the view with it, for the next
// control; without this the view's delegate walks the cells for ever.
// Installed on the application: it sees the key before the delegate does.
class EditorTabOut : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const bool back = key->key() == Qt::Key_Backtab
                          || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
        if ((key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab)
            || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        QKeyEvent tab(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab,
                      back ? Qt::ShiftModifier : Qt::NoModifier);
        // A date's Tab walks its sections: it goes on to the next control
        // instead, the sections being typed in turn. Its parent moves the
        // window's focus on.
        if (auto *date = qobject_cast<QDateTimeEdit *>(widget); date && date->parentWidget()) {
            QCoreApplication::sendEvent(date->parentWidget(), &tab);
            return true;
        }
        QAbstractItemView *view = EditedView(widget);
        if (!view)
            return false;
        view->setFocus(Qt::OtherFocusReason);  // the editor commits and closes
        QCoreApplication::sendEvent(view, &tab);
        return true;
    }
};

void EditorTabOutInstall()
{
    static EditorTabOut *filter = nullptr;
    if (filter)
        return;
    filter = new EditorTabOut(qApp);
    qApp->installEventFilter(filter);
}

// Tooltips also describe the control to assistive tools, as they change.
class TooltipMirror : public QObject
{
public:
    using QObject::QObject;

    void watch(QWidget *widget)
    {
        copy(widget);
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ToolTipChange)
            copy(static_cast<QWidget *>(watched));
        return false;
    }

private:
    static void copy(QWidget *widget)
    {
        if (!widget->toolTip().isEmpty() && widget->accessibleDescription() != widget->toolTip())
            widget->setAccessibleDescription(widget->toolTip());
    }
};

// Tab goes on to the next control from a table or a text (arrows walk
// the cells; nobody types a tab character here).
void TabLeaves(QWidget *widget)
{
    if (auto *view = qobject_cast<QAbstractItemView *>(widget))
        view->setTabKeyNavigation(false);
    if (auto *text = qobject_cast<QPlainTextEdit *>(widget))
        text->setTabChangesFocus(true);
    if (auto *text = qobject_cast<QTextEdit *>(widget))
        text->setTabChangesFocus(true);
}

// A name for a control added without one: its placeholder, its tooltip,
// or the title of its group.
QString FallbackName(const QWidget *widget)
{
    if (auto *line = qobject_cast<const QLineEdit *>(widget); line && !line->placeholderText().isEmpty())
        return line->placeholderText();
    if (!widget->toolTip().isEmpty())
        return widget->toolTip();
    for (const QWidget *parent = widget->parentWidget(); parent; parent = parent->parentWidget())
        if (auto *group = qobject_cast<const QGroupBox *>(parent))
            return group->title().remove(QLatin1Char(':')).trimmed();
    return QString();
}

void BuddiesPrepare(QWidget *root)
{
    for (QFormLayout *form : root->findChildren<QFormLayout *>()) {
        for (int row = 0; row < form->rowCount(); ++row) {
            QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole);
            QLayoutItem *field = form->itemAt(row, QFormLayout::FieldRole);
            auto *caption = label ? qobject_cast<QLabel *>(label->widget()) : nullptr;
            if (caption && field && field->widget() && !caption->buddy())
                caption->setBuddy(field->widget());
        }
    }
    for (const auto &pair : BuddyPairs) {
        auto *caption = root->findChild<QLabel *>(QLatin1String(pair[0]));
        auto *field = root->findChild<QWidget *>(QLatin1String(pair[1]));
        if (caption && field && !caption->buddy())
            caption->setBuddy(field);
        // Assistive tools look for a buddy among the field's siblings only,
        // and not at all for a table.
        if (caption && field && field->accessibleName().isEmpty()
            && (caption->parentWidget() != field->parentWidget() || qobject_cast<QAbstractItemView *>(field)))
            field->setAccessibleName(caption->text());
    }
}

void ReadOnlyFieldsPrepare(QWidget *root)
{
    for (const char *name : ReadOnlyFields)
        if (auto *field = root->findChild<QLineEdit *>(QLatin1String(name)); field && !field->isEnabled()) {
            field->setReadOnly(true);
            field->setEnabled(true);
        }
}

void NamesPrepare(QWidget *root)
{
    for (const auto &named : Names)
        if (auto *widget = root->findChild<QWidget *>(QLatin1String(named[0])); widget && widget->accessibleName().isEmpty())
            widget->setAccessibleName(Tr(named[1]));
    for (int column = 1; column <= 3; ++column)
        for (int block = 0; block < 4; ++block)
            if (auto *box = root->findChild<QCheckBox *>(QStringLiteral("CKB_C%1B%2").arg(column).arg(block)))
                box->setAccessibleName(QStringLiteral("C%1, %2").arg(column).arg(QLatin1String(AccessRows[block])));
}

// A QAction whose shortcut commits an open cell editor before it acts.
class ShortcutCommit : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Shortcut)
            CommitOpenEditor();
        return false;
    }
};

// The window's keys and tab order; lives as long as the window.
class WindowKeys : public QObject
{
public:
    explicit WindowKeys(QMainWindow *window);

private:
    struct Owner {
        QWidget *page;
        QAction *action;
        QList<QKeySequence> keys;
    };

    void pageKeysPrepare();
    QAction *keyAction(QWidget *page, const char *buttonName, const char *actionName, const QString &tip,
                       const QString &keyText);
    QAction *windowAction(const QString &name, const QKeySequence &key, std::function<void()> act);
    void pagesKeysPrepare();
    void pageShown(int index);
    void chainAll();
    QList<QWidget *> pageOrder(QWidget *page) const;
    void focusFirstField(QWidget *page);
    int ledgerIndex() const;
    void tabTipsShow();
    void selectPage(int index);
    void search();

    QMainWindow *m_window;
    QTabWidget *m_pages;
    ShortcutCommit *m_commit;
    QList<Owner> m_owners;
};

WindowKeys::WindowKeys(QMainWindow *window)
    : QObject(window), m_window(window), m_pages(window->findChild<QTabWidget *>(QStringLiteral("ONG_Main"))),
      m_commit(new ShortcutCommit(this))
{
    AccessiblePrepare(window);
    for (const char *name : {"treeWidget", "TREE_AppsConfig"})
        if (auto *tree = window->findChild<QTreeWidget *>(QLatin1String(name)))
            TreeKeyboardPrepare(tree, 1);
    if (!m_pages)
        return;
    m_pages->tabBar()->setAccessibleName(Tr(QT_TRANSLATE_NOOP("Keyboard", "Pages")));
    pageKeysPrepare();
    pagesKeysPrepare();
    connect(m_pages, &QTabWidget::currentChanged, this, &WindowKeys::pageShown);
    pageShown(m_pages->currentIndex());
}

void WindowKeys::pageKeysPrepare()
{
    const QList<QKeySequence> writeKeys = {QKeySequence(Qt::CTRL | Qt::Key_Return),
                                           QKeySequence(Qt::CTRL | Qt::Key_Enter)};
    for (const PageKeys &entry : PageKeyTable) {
        auto *page = m_window->findChild<QWidget *>(QLatin1String(entry.page));
        if (!page)
            continue;
        if (QAction *read = keyAction(page, entry.read, entry.readAction, Tr(entry.readTip), QLatin1String(ReadKeyText)))
            m_owners.append({page, read, {QKeySequence(Qt::Key_F5)}});
        if (!entry.write)
            continue;
        if (QAction *write = keyAction(page, entry.write, entry.writeAction, Tr(entry.writeTip), Tr(WriteKeyText)))
            m_owners.append({page, write, writeKeys});
    }
}

// The action that carries a page's key: the toolbar's where one stands for
// the button, else one of the window's own that presses the button. The key
// is shown in the button's tooltip and in the toolbar action's.
QAction *WindowKeys::keyAction(QWidget *page, const char *buttonName, const char *actionName,
                               const QString &tip, const QString &keyText)
{
    auto *button = m_window->findChild<QAbstractButton *>(QLatin1String(buttonName));
    if (!button)
        return nullptr;
    button->setToolTip(WithKey(button->toolTip().isEmpty() ? tip : button->toolTip(), keyText));
    QAction *action = actionName ? m_window->findChild<QAction *>(QLatin1String(actionName)) : nullptr;
    if (action) {
        action->setToolTip(Tr(QT_TRANSLATE_NOOP("Keyboard", "%1 ; %2 sur la page %3"))
                               .arg(action->toolTip(), keyText, m_pages->tabText(m_pages->indexOf(page))));
    } else {
        action = new QAction(button->text(), m_window);
        action->setObjectName(QStringLiteral("actionKey_") + QLatin1String(buttonName));
        connect(action, &QAction::triggered, button, [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        });
        m_window->addAction(action);
    }
    action->installEventFilter(m_commit);
    return action;
}

QAction *WindowKeys::windowAction(const QString &name, const QKeySequence &key, std::function<void()> act)
{
    auto *action = new QAction(m_window);
    action->setObjectName(name);
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, std::move(act));
    m_window->addAction(action);
    return action;
}

// Ctrl+1 ... Ctrl+8 the pages in their order, Ctrl+9 the ledger's page;
// the key is in each tab's tooltip.
void WindowKeys::pagesKeysPrepare()
{
    for (int number = 1; number <= NumberedPages; ++number) {
        windowAction(QStringLiteral("actionPage%1").arg(number), QKeySequence(Qt::CTRL | (Qt::Key_0 + number)),
                     [this, number] { selectPage(number - 1); });
    }
    windowAction(QStringLiteral("actionPage9"), QKeySequence(Qt::CTRL | Qt::Key_9),
                 [this] { selectPage(ledgerIndex()); });
    windowAction(QStringLiteral("actionSearch"), QKeySequence(Qt::CTRL | Qt::Key_F), [this] { search(); });
    if (auto *field = m_window->findChild<QLineEdit *>(QLatin1String(BlackListSearch)))
        field->setToolTip(WithKey(field->toolTip(), QLatin1String(FindKeyText)));
}

// The ledger's page, wherever it stands; -1 when there is none.
int WindowKeys::ledgerIndex() const
{
    for (int index = 0; index < m_pages->count(); ++index)
        if (m_pages->tabText(index) == QLatin1String(LedgerPageTitle))
            return index;
    return -1;
}

// A tab's own tooltip is kept, the key added to it.
void WindowKeys::tabTipsShow()
{
    for (int index = 0; index < qMin(NumberedPages, m_pages->count()); ++index)
        m_pages->setTabToolTip(index, WithKey(m_pages->tabToolTip(index), QStringLiteral("Ctrl+%1").arg(index + 1)));
    if (ledgerIndex() >= NumberedPages)
        m_pages->setTabToolTip(ledgerIndex(), WithKey(m_pages->tabToolTip(ledgerIndex()), QStringLiteral("Ctrl+9")));
}

void WindowKeys::selectPage(int index)
{
    if (index < 0 || index >= m_pages->count() || !m_pages->isTabEnabled(index))
        return;
    m_pages->setCurrentIndex(index);
    focusFirstField(m_pages->widget(index));
}

void WindowKeys::search()
{
    auto *page = m_window->findChild<QWidget *>(QLatin1String(BlackListPage));
    auto *field = m_window->findChild<QLineEdit *>(QLatin1String(BlackListSearch));
    if (!page || !field)
        return;
    m_pages->setCurrentWidget(page);
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
}

// The page's keys go to its buttons, and its controls are chained again:
// a control added since is reached too. The first field takes the focus,
// unless the operator is going through the tabs.
void WindowKeys::pageShown(int index)
{
    QWidget *page = m_pages->widget(index);
    for (const Owner &owner : qAsConst(m_owners))
        owner.action->setShortcuts(owner.page == page ? owner.keys : QList<QKeySequence>());
    tabTipsShow();
    chainAll();
    if (page && !m_pages->tabBar()->hasFocus())
        focusFirstField(page);
}

QList<QWidget *> WindowKeys::pageOrder(QWidget *page) const
{
    for (const PageOrder &order : PageOrders())
        if (page->objectName() == QLatin1String(order.page))
            return FocusOrder(page, order.widgets);
    return FocusOrder(page, QStringList());
}

// The tabs, the page shown, the serial-port bar, then the other pages
// (skipped, being hidden). Tab goes round: the bar comes before the tabs
// again. The tab widget stands first in the window's chain, where Tab
// wraps to: it hands its focus to the tabs.
void WindowKeys::chainAll()
{
    QList<QWidget *> chain{m_pages->tabBar()};
    QWidget *current = m_pages->currentWidget();
    if (current)
        chain << pageOrder(current);
    for (const QString &name : FrameOrder)
        if (auto *widget = m_window->findChild<QWidget *>(name))
            chain << widget;
    for (int index = 0; index < m_pages->count(); ++index)
        if (m_pages->widget(index) != current)
            chain << pageOrder(m_pages->widget(index));
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
    // A table or text added since would keep Tab to itself.
    for (QWidget *widget : qAsConst(chain))
        TabLeaves(widget);
}

void WindowKeys::focusFirstField(QWidget *page)
{
    if (!page)
        return;
    QString first;
    for (const PageOrder &order : PageOrders())
        if (page->objectName() == QLatin1String(order.page))
            first = QLatin1String(order.first);
    auto *named = first.isEmpty() ? nullptr : page->findChild<QWidget *>(first);
    if (named && Usable(named, page)) {
        named->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (QWidget *widget : pageOrder(page))
        if (Usable(widget, page)) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
}

// Space, F2 or Entrée on a row gives the focus to its cell editor, a typed
// letter goes to its combo box; Echap in the editor gives it back.
class TreeKeys : public QObject
{
public:
    TreeKeys(QTreeWidget *tree, int valueColumn) : QObject(tree), m_tree(tree), m_column(valueColumn) {}

    void watchEditor(QWidget *editor) { editor->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched != m_tree) {
            if (key->key() != Qt::Key_Escape)
                return false;
            m_tree->setFocus(Qt::OtherFocusReason);
            return true;
        }
        QTreeWidgetItem *item = m_tree->currentItem();
        QWidget *editor = item ? m_tree->itemWidget(item, m_column) : nullptr;
        if (!editor || !editor->isEnabled() || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return false;
        switch (key->key()) {
        case Qt::Key_Space:
            if (auto *box = qobject_cast<QCheckBox *>(editor)) {
                box->click();
                return true;
            }
            Q_FALLTHROUGH();
        case Qt::Key_F2:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            editor->setFocus(Qt::OtherFocusReason);
            return true;
        default:
            break;
        }
        if (qobject_cast<QComboBox *>(editor) && !key->text().trimmed().isEmpty()) {
            editor->setFocus(Qt::OtherFocusReason);
            QCoreApplication::sendEvent(editor, event);
            return true;
        }
        return false;
    }

private:
    QTreeWidget *m_tree;
    int m_column;
};
}

QList<QWidget *> FocusOrder(QWidget *page, const QStringList &names)
{
    QList<QWidget *> order;
    for (const QString &name : names)
        if (auto *widget = page->findChild<QWidget *>(name); widget && TakesTabFocus(widget) && !order.contains(widget))
            order << widget;
    QList<QWidget *> others;
    // Popups (a combo box's list) are windows of their own.
    for (QWidget *widget : page->findChildren<QWidget *>())
        if (TakesTabFocus(widget) && widget->window() == page->window() && !order.contains(widget))
            others << widget;
    // Top to bottom by rows, a row being the widgets whose top lies above
    // the middle of the row's first; left to right in a row.
    const auto place = [page](const QWidget *widget) { return QRect(widget->mapTo(page, QPoint()), widget->size()); };
    std::stable_sort(others.begin(), others.end(),
                     [&](const QWidget *a, const QWidget *b) { return place(a).top() < place(b).top(); });
    for (int start = 0; start < others.size();) {
        const QRect first = place(others.at(start));
        int end = start + 1;
        while (end < others.size() && place(others.at(end)).top() < first.center().y())
            ++end;
        std::stable_sort(others.begin() + start, others.begin() + end,
                         [&](const QWidget *a, const QWidget *b) { return place(a).left() < place(b).left(); });
        start = end;
    }
    return order + others;
}

bool TakesTabFocus(const QWidget *widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !widget->focusProxy() && !widget->isWindow()
           && !InsideCompound(widget);
}

QString AccessibleNameOf(const QWidget *widget)
{
    if (!widget->accessibleName().isEmpty())
        return widget->accessibleName();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        const QString text = QString(button->text()).remove(QLatin1Char('&')).trimmed();
        if (!text.isEmpty() && text != QLatin1String("..."))
            return text;
    }
    if (auto *tabs = qobject_cast<const QTabBar *>(widget); tabs && tabs->count() > 0)
        return tabs->tabText(qMax(0, tabs->currentIndex()));
    for (const QLabel *label : widget->window()->findChildren<QLabel *>())
        if (label->buddy() == widget && !label->text().trimmed().isEmpty())
            return label->text();
    return QString();
}

void AccessiblePrepare(QWidget *root)
{
    EditorTabOutInstall();
    ReadOnlyFieldsPrepare(root);
    BuddiesPrepare(root);
    NamesPrepare(root);
    auto *mirror = new TooltipMirror(root);
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : qAsConst(widgets)) {
        if (widget->window() != root->window())
            continue;
        if (TakesTabFocus(widget) && AccessibleNameOf(widget).isEmpty())
            widget->setAccessibleName(FallbackName(widget));
        if (widget->focusPolicy() != Qt::NoFocus || !widget->toolTip().isEmpty())
            mirror->watch(widget);
        TabLeaves(widget);
    }
}

void TreeKeyboardPrepare(QTreeWidget *tree, int valueColumn)
{
    auto *keys = new TreeKeys(tree, valueColumn);
    tree->installEventFilter(keys);
    tree->setTabKeyNavigation(false);
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        QWidget *editor = tree->itemWidget(*it, valueColumn);
        if (!editor)
            continue;
        // One stop of Tab for the whole tree, not one per parameter; and
        // the arrows walking the rows never hand the focus to an editor,
        // whose value the next arrow would change. Space or F2 does.
        editor->setFocusPolicy(Qt::NoFocus);
        editor->setAccessibleName((*it)->text(0));
        keys->watchEditor(editor);
    }
    // Typing and F2 edit the value, never the label.
    QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, tree,
                     [tree, valueColumn](const QModelIndex &current) {
                         if (current.isValid() && current.column() != valueColumn)
                             tree->selectionModel()->setCurrentIndex(current.sibling(current.row(), valueColumn),
                                                                     QItemSelectionModel::NoUpdate);
                     });
}

void KeyboardPrepare(QMainWindow *window)
{
    new WindowKeys(window);
}
