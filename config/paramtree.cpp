#include "config/paramtree.h"

#include <QDebug>
#include <QSet>
#include <QTreeWidget>

#include "config/paramlogic.h"
#include "config/treeeditors.h"

namespace {
const QString Zero = QStringLiteral("0");

void SetTextIfChanged(QTreeWidgetItem *item, int column, const QString &text)
{
    // The first write into a cell is a change even when empty: skip it.
    if (item->text(column) != text)
        item->setText(column, text);
}

TreeWheelGuard *WheelGuardOf(QTreeWidget *tree)
{
    auto *guard = tree->findChild<TreeWheelGuard *>(QString(), Qt::FindDirectChildrenOnly);
    return guard ? guard : new TreeWheelGuard(tree);
}

void CollectItems(QTreeWidgetItem *item, QList<QTreeWidgetItem *> *items)
{
    items->append(item);
    for (int i = 0; i < item->childCount(); ++i)
        CollectItems(item->child(i), items);
}
}

void TreeWidgetsCreate(QTreeWidget *tree, QTreeWidgetItem *item, int kindColumn, int editorColumn)
{
    const QString kind = item->text(kindColumn);
    if (kind == QLatin1String(KindCheckBox)) {
        tree->setItemWidget(item, editorColumn, new QTreeCheckBox(tree, item));
        SetTextIfChanged(item, editorColumn, Zero);
    } else if (kind == QLatin1String(KindComboBox)) {
        auto *box = new QTreeComboBox(tree, item);
        box->addItems(item->text(TreeColumn::Choices).split(QLatin1Char(';')));
        WheelGuardOf(tree)->watch(box);
        tree->setItemWidget(item, editorColumn, box);
    }
    for (int i = 0; i < item->childCount(); ++i)
        TreeWidgetsCreate(tree, item->child(i), kindColumn, editorColumn);
}

QString TreeItemValue(TreeDirection direction, QTreeWidget *tree, QTreeWidgetItem *item,
                      const QString &value, int kindColumn, int valueColumn)
{
    const QString kind = item->text(kindColumn);
    QWidget *editor = tree->itemWidget(item, valueColumn);
    auto *check = kind == QLatin1String(KindCheckBox) ? qobject_cast<QCheckBox *>(editor) : nullptr;
    auto *combo = kind == QLatin1String(KindComboBox) ? qobject_cast<QComboBox *>(editor) : nullptr;

    if (direction == TreeRead) {
        if (check)
            return check->isChecked() ? QStringLiteral("1") : Zero;
        if (combo)
            return QString::number(combo->currentIndex());
        return item->text(valueColumn);
    }
    if (check) {
        check->setChecked(CheckStateFromText(value));
    } else if (combo) {
        int index = 0;
        if (ComboIndexFromText(value, combo->count(), &index))
            combo->setCurrentIndex(index);
    } else {
        item->setText(valueColumn, value);
        return QString();
    }
    // A box already in that state says nothing: keep its cell in step.
    SetTextIfChanged(item, valueColumn, TreeItemValue(TreeRead, tree, item, QString(), kindColumn,
                                                      valueColumn));
    return QString();
}

void TreeValuesFromWidgets(QTreeWidget *tree, QTreeWidgetItem *item, int kindColumn, int valueColumn)
{
    SetTextIfChanged(item, valueColumn,
                     TreeItemValue(TreeRead, tree, item, QString(), kindColumn, valueColumn));
    for (int i = 0; i < item->childCount(); ++i)
        TreeValuesFromWidgets(tree, item->child(i), kindColumn, valueColumn);
}

bool TreeItemLessThan(const QTreeWidgetItem *first, const QTreeWidgetItem *second)
{
    return ModifOrderKey(first->text(TreeColumn::Modified))
           < ModifOrderKey(second->text(TreeColumn::Modified));
}

void TreeToDoSave(QTreeWidgetItem *item, QList<QTreeWidgetItem *> *list, int column)
{
    const QString identifier = item->text(TreeColumn::Identifier);
    const QString mark = item->text(column);
    if (!identifier.isEmpty() && mark != Zero) {
        list->append(item);
        qDebug("VALEUR %s CHANGE:%s", qUtf8Printable(identifier), qUtf8Printable(mark));
    }
    for (int i = 0; i < item->childCount(); ++i)
        TreeToDoSave(item->child(i), list, column);
}

QList<QTreeWidgetItem *> TreeItems(QTreeWidget *tree)
{
    QList<QTreeWidgetItem *> items;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        CollectItems(tree->topLevelItem(i), &items);
    return items;
}
