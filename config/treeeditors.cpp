#include "config/treeeditors.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTreeWidget>
#include <QWheelEvent>

namespace {
constexpr int ColValue = 1;
}

QTreeComboBox::QTreeComboBox(QWidget *parent, QTreeWidgetItem *item) : QComboBox(nullptr), Item(item)
{
    setParent(parent);
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &QTreeComboBox::ComboBoxCurrentIndexChanged, Qt::DirectConnection);
}

QTreeComboBox::~QTreeComboBox() = default;

void QTreeComboBox::ComboBoxCurrentIndexChanged(int Index)
{
    Item->setText(ColValue, QString::number(Index));
    qDebug("Value = %d", Index);
}

QTreeCheckBox::QTreeCheckBox(QWidget *parent, QTreeWidgetItem *item) : QCheckBox(nullptr), Item(item)
{
    setParent(parent);
    connect(this, &QCheckBox::stateChanged, this, &QTreeCheckBox::CheckBoxStateChanged,
            Qt::DirectConnection);
}

QTreeCheckBox::~QTreeCheckBox() = default;

void QTreeCheckBox::CheckBoxStateChanged(int state)
{
    Item->setText(ColValue, state != 0 ? QStringLiteral("1") : QStringLiteral("0"));
}

TreeWheelGuard::TreeWheelGuard(QTreeWidget *tree) : QObject(tree), Tree(tree) {}

void TreeWheelGuard::watch(QComboBox *box)
{
    box->setFocusPolicy(Qt::StrongFocus);
    box->installEventFilter(this);
}

bool TreeWheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QComboBox *>(watched);
    if (event->type() != QEvent::Wheel || !box || box->hasFocus())
        return false;
    QCoreApplication::sendEvent(Tree->viewport(), event);
    return true;
}
