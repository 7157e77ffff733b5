#ifndef TREEEDITORS_H
#define TREEEDITORS_H

#include <QCheckBox>
#include <QComboBox>

class QTreeWidget;
class QTreeWidgetItem;

// Scrolling the tree over a combo box must not change a reader parameter
// behind the operator's back: until the box has the focus (given from its row), the
// wheel scrolls the tree instead. One guard serves every box of a tree.
class TreeWheelGuard : public QObject
{
    Q_OBJECT
public:
    explicit TreeWheelGuard(QTreeWidget *tree);
    void watch(QComboBox *box);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidget *Tree;
};

// Cell editors of the parameter tree. Each sits over the "Valeur" cell of
// its item and keeps that cell's text equal to its state: the index of the
// chosen option, or "1" / "0" for a check box. The tree owns them.
class QTreeComboBox : public QComboBox
{
    Q_OBJECT
public:
    QTreeComboBox(QWidget *parent, QTreeWidgetItem *item);
    ~QTreeComboBox() override;

public slots:
    void ComboBoxCurrentIndexChanged(int Index);

private:
    QTreeWidgetItem *Item;  // not owned: the tree outlives its editors' use
};

class QTreeCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    QTreeCheckBox(QWidget *parent, QTreeWidgetItem *item);
    ~QTreeCheckBox() override;

public slots:
    void CheckBoxStateChanged(int state);

private:
    QTreeWidgetItem *Item;
};

#endif
