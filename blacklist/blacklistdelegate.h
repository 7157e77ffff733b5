#ifndef BLACKLISTDELEGATE_H
#define BLACKLISTDELEGATE_H

#include <QStyledItemDelegate>

// Cell editor of the blacklist table: ";" separates the file's cells and
// "=" the entry's pairs, so neither can be typed where it would split one.
class BlackListItemDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
};

#endif
