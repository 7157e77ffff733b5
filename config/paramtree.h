#ifndef PARAMTREE_H
#define PARAMTREE_H

#include <QList>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// Columns of the parameter tree.
namespace TreeColumn {
constexpr int Label = 0;
constexpr int Value = 1;
constexpr int Save = 2;
constexpr int Identifier = 3;
constexpr int Modified = 4;
constexpr int Kind = 7;
constexpr int Choices = 8;
}

// Operations on a parameter tree (the window's treeWidget or any other
// tree of the same columns). Walks are depth first, each item before its
// children.

// Places the editor of `item` and of each descendant into `editorColumn`,
// after the kind text in `kindColumn`: a check box for "10", a combo box
// of the ";"-separated choices for "20". A new check box's cell reads "0",
// its state, as a new combo box's reads "0", its first option.
void TreeWidgetsCreate(QTreeWidget *tree, QTreeWidgetItem *item, int kindColumn, int editorColumn);

enum TreeDirection : bool { TreeRead = false, TreeWrite = true };
// Reading returns the item's value (its editor's state, else its cell).
// Writing puts `value` into the editor or the cell and returns empty text;
// an editor item's cell then holds the editor's state again.
QString TreeItemValue(TreeDirection direction, QTreeWidget *tree, QTreeWidgetItem *item,
                      const QString &value, int kindColumn, int valueColumn);
// Copies each editor's state into its value cell, for `item` and below.
// Cells already equal are left alone: an untouched cell is no change.
void TreeValuesFromWidgets(QTreeWidget *tree, QTreeWidgetItem *item, int kindColumn,
                           int valueColumn);

// Ascending "Modifié" number; texts that are no number count as 0.
bool TreeItemLessThan(const QTreeWidgetItem *first, const QTreeWidgetItem *second);
// Appends the parameter items (identifier not empty) of the subtree whose
// text in `column` is not exactly "0". Headings are never written.
void TreeToDoSave(QTreeWidgetItem *item, QList<QTreeWidgetItem *> *list, int column);

// Every item of the tree, in walk order.
QList<QTreeWidgetItem *> TreeItems(QTreeWidget *tree);

#endif
