#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QHash>
#include <QMessageBox>
#include <QSaveFile>
#include <QTreeWidget>
#include <algorithm>

#include "app/mainwindow.h"
#include "config/paramlogic.h"
#include "config/paramtree.h"
#include "ui_mainwindow.h"

void MainWindow::on_BTN_FileSelect_clicked()
{
    ui->SAI_FIleName->setText(QFileDialog::getOpenFileName(this, tr("Configuration"),
                                                           ConfigStartFolder, tr("config (*.txt)")));
}

void MainWindow::on_BTN_ReaderFileLoad_clicked()
{
    // The tree is the chain's model while one runs.
    if (Chain.isRunning())
        return;
    if (ui->SAI_FIleName->text().isEmpty())
        on_BTN_FileSelect_clicked();
    QString refusal;
    if (!ConfigFileLoad(ui->SAI_FIleName->text(), &refusal)) {
        if (refusal.isEmpty())
            QMessageBox::critical(this, tr("Erreur"), tr("Impossible d'ouvrir le fichier"));
        else
            QMessageBox::critical(this, tr("Erreur"),
                                  tr("Fichier de configuration refusé : %1").arg(refusal));
        return;
    }
    ui->BTN_ReaderFileSave->setEnabled(true);
    ui->SAI_ConfigStatus->setText(tr("Origine des données->Fichier"));
    QMessageBox::information(this, tr("Information"), tr("Configuration chargée"));
}

// Reads the whole file first: a file that is not a configuration text
// leaves the tree as it was.
bool MainWindow::ConfigFileLoad(const QString &path, QString *refusal)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    // Read within the bound: a huge file is refused without being read whole.
    const QByteArray content = file.read(ConfigFileMax + 1);
    if (file.error() != QFileDevice::NoError) {
        *refusal = tr("lecture impossible");
        return false;
    }
    file.close();
    QList<ConfigLine> lines;
    if (!ConfigFileParse(content, &lines, refusal))
        return false;

    QMultiHash<QString, QTreeWidgetItem *> byIdentifier;
    const QList<QTreeWidgetItem *> items = TreeItems(ui->treeWidget);
    for (auto it = items.crbegin(); it != items.crend(); ++it) {
        const QString identifier = (*it)->text(TreeColumn::Identifier);
        if (!identifier.isEmpty())
            byIdentifier.insert(identifier, *it);  // values() gives walk order
    }
    // A file that names no parameter (empty, or some other text) is no
    // configuration: it is refused rather than reported as loaded.
    const bool parameterFound = std::any_of(lines.cbegin(), lines.cend(), [&](const ConfigLine &line) {
        return byIdentifier.contains(line.identifier);
    });
    if (!parameterFound) {
        *refusal = tr("aucun paramètre du lecteur");
        return false;
    }
    for (const ConfigLine &line : lines) {
        for (QTreeWidgetItem *item : byIdentifier.values(line.identifier))
            TreeItemValue(TreeWrite, ui->treeWidget, item, line.value, TreeColumn::Kind,
                          TreeColumn::Value);
    }
    if (!TreeHasConfiguration) {
        TreeHasConfiguration = true;
        ReaderButtonsUpdate();
    }
    return true;
}

void MainWindow::on_BTN_ReaderFileSave_clicked()
{
    const QString start = ui->SAI_FIleName->text().isEmpty() ? ConfigStartFolder
                                                             : ui->SAI_FIleName->text();
    ui->SAI_FIleName->setText(
        QFileDialog::getSaveFileName(this, tr("Configuration"), start, tr("config (*.txt)")));
    if (!ConfigFileSave(ui->SAI_FIleName->text())) {
        QMessageBox::critical(this, tr("Erreur"), tr("Impossible de créer le fichier"));
        return;
    }
    QMessageBox::information(this, tr("Information"), tr("Configuration enregistrée"));
}

// Written aside and put in place only when complete: a failure leaves the
// previous file as it was.
bool MainWindow::ConfigFileSave(const QString &path)
{
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < ui->treeWidget->topLevelItemCount(); ++i)
        ConfigFileSaveItem(&file, ui->treeWidget->topLevelItem(i));
    return file.commit();
}

void MainWindow::ConfigFileSaveItem(QIODevice *file, QTreeWidgetItem *item)
{
    const QString identifier = item->text(TreeColumn::Identifier);
    if (!identifier.isEmpty()) {
        // The editor's state, as the save to the reader sends it.
        const QString value = TreeItemValue(TreeRead, ui->treeWidget, item, QString(),
                                            TreeColumn::Kind, TreeColumn::Value);
        const QByteArray line = ConfigFileLine(identifier, value);
        file->write(line);
        qDebug("%s", line.chopped(1).constData());
    }
    for (int i = 0; i < item->childCount(); ++i)
        ConfigFileSaveItem(file, item->child(i));
}
