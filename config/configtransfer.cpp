#include <QDebug>
#include <QTreeWidget>
#include <algorithm>

#include "app/mainwindow.h"
#include "config/paramlogic.h"
#include "config/paramtree.h"
#include "link/commands.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

namespace {
const QString Zero = QStringLiteral("0");

// A failed save may leave values written but not committed, which the
// reader may drop: their items are marked again, so that the next save
// writes and commits them instead of finding nothing to do.
void RemarkWritten(const QList<QTreeWidgetItem *> &saved, quint32 *counter)
{
    for (QTreeWidgetItem *item : saved) {
        if (item->text(TreeColumn::Modified) == Zero)
            item->setText(TreeColumn::Modified, QString::number(++*counter));
    }
}
}

void MainWindow::ConfigStatusAppend(const QString &text)
{
    ui->SAI_ConfigStatus->setText(ui->SAI_ConfigStatus->text() + text);
}

// A chain that the link ends (port closed, slot never freed) says so like
// an unanswered command.
void MainWindow::ConfigChainAborted()
{
    ConfigStatusAppend(QStringLiteral("->TIMEOUT"));
}

// Whatever ended a load or a save, the tree is left consistent.
void MainWindow::ConfigChainFinished(int id, bool succeeded)
{
    if (id == CHAIN_CONFIG_LOAD)
        TreeLoading = false;  // the operator's next edits count as changes again
    else if (id == CHAIN_CONFIG_SAVE && !succeeded)
        RemarkWritten(ToDoList, &ModifCounter);
}

void MainWindow::on_BTN_ReaderConfigLoad_clicked()
{
    const QList<QTreeWidgetItem *> parameters = ui->treeWidget->findItems(
        QStringLiteral("."), Qt::MatchContains | Qt::MatchRecursive, TreeColumn::Identifier);
    // Started first: a running chain keeps its state untouched.
    if (!Chain.start(CHAIN_CONFIG_LOAD, tr("Lecture"), parameters.size(), [this] { ConfigChainAborted(); }))
        return;
    ToDoList = parameters;
    TreeLoading = true;
    ui->SAI_ConfigStatus->setText(tr("GetValue->"));
    ConfigLoadTimer.start();
    ModifCounter = 0;
    if (ToDoFirst())
        ConfigReadSend();
    else
        ConfigLoadComplete();
}

void MainWindow::ConfigReadSend()
{
    Chain.send(ChainRequest{Cmd::FamilyValue, Cmd::ValueGet,
                            ToDoItem->text(TreeColumn::Identifier), ARG_CONFIG_GET_RESULT,
                            CmdTimeout::ValueGet});
}

void MainWindow::ConfigGetResultProcess()
{
    qDebug("ARG_CONFIG_PUT_RESULT");
    bool ok = false;
    char status = 0;
    QString answer;
    if (!Protocole.CmdAnswer(ok, status, answer) || !Chain.isRunning(CHAIN_CONFIG_LOAD))
        return;
    if (!ok) {
        ConfigStatusAppend(QStringLiteral("->TIMEOUT"));
        Chain.fail();
        return;
    }
    if (status == Cmd::StatusOk) {
        ToDoItem->setText(TreeColumn::Modified, Zero);
        TreeItemValue(TreeWrite, ui->treeWidget, ToDoItem, answer, TreeColumn::Kind,
                      TreeColumn::Value);
        ConfigStatusAppend(QStringLiteral("->OK"));
    } else {
        ConfigStatusAppend(QStringLiteral("->UNKNOWN"));
    }
    Chain.step();
    if (ToDoNext()) {
        ui->SAI_ConfigStatus->setText(
            tr("Get value (%1)").arg(ToDoItem->text(TreeColumn::Identifier)));
        ConfigReadSend();
    } else {
        ConfigLoadComplete();
    }
}

void MainWindow::ConfigLoadComplete()
{
    qDebug("Durée du chargement %ld", long(ConfigLoadTimer.elapsed()));
    // In step from now on: a parameter whose read was refused, as any other,
    // is written only once its value changes.
    for (QTreeWidgetItem *item : TreeItems(ui->treeWidget)) {
        if (!item->text(TreeColumn::Identifier).isEmpty())
            if (item->text(TreeColumn::Modified) != Zero)
                item->setText(TreeColumn::Modified, Zero);
    }
    ui->SAI_ConfigStatus->setText(tr("Lecture Ok"));
    TreeHasConfiguration = true;
    ui->BTN_ReaderFileSave->setEnabled(true);
    Chain.succeed();
}

void MainWindow::on_BTN_ReaderConfigSave_clicked()
{
    if (!TreeHasConfiguration || Chain.isRunning())
        return;
    qDebug("MET A JOUR LES VALEURS A PARTIR DES WIDGET");
    QTreeWidget *tree = ui->treeWidget;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        TreeValuesFromWidgets(tree, tree->topLevelItem(i), TreeColumn::Kind, TreeColumn::Value);
    qDebug("LANCE LA SAUVEGARDE");
    ObjetToSave.clear();
    ToDoList.clear();
    qDebug("APRES CLEAR IL Y A %d DANS LISTE", int(ToDoList.size()));
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        TreeToDoSave(tree->topLevelItem(i), &ToDoList, TreeColumn::Modified);
    qDebug("APRES TreeToDoSave IL Y A %d DANS LISTE", int(ToDoList.size()));
    // Equal marks keep the tree's order.
    std::stable_sort(ToDoList.begin(), ToDoList.end(), TreeItemLessThan);
    if (!ToDoFirst()) {
        ui->SAI_ConfigStatus->setText(tr("Aucune modification"));
        return;
    }
    // Checked before the first write: the reader gets all of it or nothing.
    for (QTreeWidgetItem *item : qAsConst(ToDoList)) {
        const QString identifier = item->text(TreeColumn::Identifier);
        if (!PayloadFits(ValuePutPayload(identifier, item->text(TreeColumn::Value)))) {
            ui->SAI_ConfigStatus->setText(tr("Save: ->Echec (%1 : valeur trop longue)").arg(identifier));
            return;
        }
    }
    if (!Chain.start(CHAIN_CONFIG_SAVE, tr("Ecriture"), ToDoList.size(), [this] { ConfigChainAborted(); }))
        return;
    ConfigWriteSend();
}

void MainWindow::ConfigWriteSend()
{
    // What goes to the reader, so that its acceptance records exactly that
    // even if the operator edits the item meanwhile.
    ToDoSentValue = ToDoItem->text(TreeColumn::Value);
    ToDoSentMark = ToDoItem->text(TreeColumn::Modified);
    Chain.send(ChainRequest{Cmd::FamilyValue, Cmd::ValuePut,
                            ValuePutPayload(ToDoItem->text(TreeColumn::Identifier), ToDoSentValue),
                            ARG_CONFIG_PUT_RESULT, CmdTimeout::ValuePut});
}

void MainWindow::ConfigPutResultProcess()
{
    qDebug("ARG_CONFIG_PUT_RESULT");
    bool ok = false;
    char status = 0;
    const bool result = Protocole.CmdAnswer(ok, status) != 0;
    if (!Chain.isRunning(CHAIN_CONFIG_SAVE))
        return;
    if (!result) {
        ui->SAI_ConfigStatus->setText(tr("Save ->Echec"));
        Chain.fail();
        return;
    }
    if (!ok) {
        ConfigStatusAppend(QStringLiteral("->TIMEOUT"));
        Chain.fail();
        return;
    }
    if (status != Cmd::StatusOk) {
        ui->SAI_ConfigStatus->setText(tr("Save: ->Echec"));
        Chain.fail();
        return;
    }
    const QString identifier = ToDoItem->text(TreeColumn::Identifier);
    ToDoItem->setText(TreeColumn::Save, ToDoSentValue);
    if (ToDoItem->text(TreeColumn::Modified) == ToDoSentMark)
        ToDoItem->setText(TreeColumn::Modified, Zero);
    const QString object = ObjectNumber(identifier);
    qDebug("OBJET TO SAVE:%s", qUtf8Printable(object));
    if (ObjectListAdd(ObjetToSave, object))
        qDebug("ObjetToSAve ADD");
    ui->SAI_ConfigStatus->setText(tr("Save:%1->OK").arg(identifier));
    Chain.step();
    if (ToDoNext()) {
        ConfigWriteSend();
        return;
    }
    ObjetIndex = 0;
    const QStringList objects = ObjetToSave.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (objects.isEmpty()) {
        Chain.succeed();  // nothing was written that needs a commit
        return;
    }
    qDebug("IL Y A %d A SAUVEGARDER", int(objects.size()));
    Chain.setPhase(tr("Validation"), objects.size());
    ConfigCommitSend();
}

void MainWindow::ConfigCommitSend()
{
    const QString object = ObjetToSave.split(QLatin1Char('.'), Qt::SkipEmptyParts).value(ObjetIndex);
    ui->SAI_ConfigStatus->setText(tr("Save(%1) :").arg(object));
    Chain.send(ChainRequest{Cmd::FamilyValue, Cmd::ValuePut, CommitPayload(object),
                            ARG_CONFIG_PUT_SAVE_RESULT, CmdTimeout::ValuePut});
    ++ObjetIndex;
}

void MainWindow::ConfigCommitResultProcess()
{
    qDebug("ARG_CONFIG_PUT_SAVE RESULT");
    bool ok = false;
    char status = 0;
    if (!Protocole.CmdAnswer(ok, status) || !Chain.isRunning(CHAIN_CONFIG_SAVE))
        return;
    if (!ok) {
        ConfigStatusAppend(QStringLiteral("->TIMEOUT"));
        Chain.fail();
        return;
    }
    if (status != Cmd::StatusOk) {
        ConfigStatusAppend(QStringLiteral("->FAILED"));
        Chain.fail();
        return;
    }
    ConfigStatusAppend(QStringLiteral("->OK"));
    Chain.step();
    if (ObjetIndex < ObjetToSave.split(QLatin1Char('.'), Qt::SkipEmptyParts).size()) {
        qDebug("IL Y A %d A SAUVEGARDER", int(ObjetIndex));
        ConfigCommitSend();
    } else {
        Chain.succeed();
    }
}
