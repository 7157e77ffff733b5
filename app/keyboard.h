#ifndef KEYBOARD_H
#define KEYBOARD_H

#include <QList>
#include <QString>
#include <QStringList>

class QMainWindow;
class QTreeWidget;
class QWidget;

// A window a technician drives from the keyboard and a screen reader can
// name. The tab order, the keys, the label buddies and the accessible
// names are set here, from tables of object names, after the pages are
// built: the form keeps its layout, and a widget added later is still
// reached (in reading order, after the listed ones).

// The keys of the window. Ctrl+1 ... Ctrl+8 the pages in their order,
// Ctrl+9 the page "Historique" where there is one; F5 the "Lire" and
// Ctrl+Entrée the "Ecrire" of the page shown; Ctrl+F the blacklist
// search. No key moves money: debit, credit and creation are reached
// with Tab and pressed with Space.
void KeyboardPrepare(QMainWindow *window);

// Names for assistive tools under `root` (the window or a dialog): label
// buddies, accessible names of controls without visible text, tooltips as
// descriptions (kept in step), and item views left with Tab.
void AccessiblePrepare(QWidget *root);

// The widgets Tab stops on under `page`: those named, in that order, then
// any other in reading order (top to bottom, then left to right).
QList<QWidget *> FocusOrder(QWidget *page, const QStringList &names);

// Whether Tab stops on the widget (editors inside item views and the parts
// of compound controls are their control's business).
bool TakesTabFocus(const QWidget *widget);

// What a screen reader calls the control: its accessible name, its own
// text, or the text of the label whose buddy it is. Empty when nothing.
QString AccessibleNameOf(const QWidget *widget);

// The tree is one stop of Tab: its cell editors take the focus from the
// current row (Space, F2, Entrée or a typed letter) and give it back with
// Tab, Shift+Tab or Echap; typing edits the `valueColumn`.
void TreeKeyboardPrepare(QTreeWidget *tree, int valueColumn);

#endif
