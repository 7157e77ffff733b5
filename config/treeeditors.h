#ifndef TREEEDITORS_H
#define TREEEDITORS_H

#include <QCheckBox>
#include <QComboBox>

class QTreeWidgetItem;

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
