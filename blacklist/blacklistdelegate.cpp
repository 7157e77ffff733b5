#include "blacklist/blacklistdelegate.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "blacklist/blacklisttext.h"

QWidget *BlackListItemDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                             const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        const QString pattern = index.column() < BlackList::ColumnReason ? QStringLiteral("[^;=]*")
                                                                          : QStringLiteral("[^;]*");
        line->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), line));
    }
    return editor;
}
