#include "config/configpage.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTreeWidget>
#include <utility>

#include "config/configstore.h"
#include "config/paramtree.h"
#include "config/writepreview.h"
#include "link/readersession.h"
#include "tools/readertools.h"
#include "ui_mainwindow.h"

namespace {
// The reader tells the minute, so a minute or two is no drift worth a word.
constexpr qint64 ClockDriftToleratedSecs = 120;

void SetTextIfChanged(QTreeWidgetItem *item, int column, const QString &text)
{
    if (item->text(column) != text)
        item->setText(column, text);
}

// A value still to write is in bold, its label and its editor too, and
// says so to a screen reader: not told by a colour alone.
void ChangedMark(QTreeWidget *tree, QTreeWidgetItem *item, bool changed)
{
    for (int column : {TreeColumn::Label, TreeColumn::Value}) {
        QFont font = item->font(column);
        if (font.bold() != changed) {
            font.setBold(changed);
            item->setFont(column, font);
        }
    }
    const QString state = changed ? ConfigPage::tr("Modifié, à écrire dans le lecteur") : QString();
    if (item->data(TreeColumn::Value, Qt::AccessibleDescriptionRole).toString() != state)
        item->setData(TreeColumn::Value, Qt::AccessibleDescriptionRole, state);
    if (QWidget *editor = tree->itemWidget(item, TreeColumn::Value)) {
        QFont font = editor->font();
        if (font.bold() != changed) {
            font.setBold(changed);
            editor->setFont(font);
            editor->setAccessibleDescription(state);
        }
    }
}
}

ConfigPage::ConfigPage(QWidget *window, Ui::MainWindow *ui, ReaderSession &session,
                       const QString &startFolder)
    : QObject(window),
      m_window(window),
      ui(ui),
      m_startFolder(startFolder),
      m_load(session, m_model),
      m_save(session, m_model),
      m_read(session)
{
    prepareTree();
    connect(&m_model, &ConfigModel::parameterChanged, this, &ConfigPage::show);
    for (ReaderJob *job : {static_cast<ReaderJob *>(&m_load), static_cast<ReaderJob *>(&m_save)}) {
        connectJob(*job);
        // A job's status texts are steps: its outcome line is the journal's.
        connect(job, &ReaderJob::statusChanged, ui->SAI_ConfigStatus, &QLineEdit::setText);
        connect(job, &ReaderJob::finished, this, &ConfigPage::busyUpdate);
    }
    connectJob(m_read);
    connect(&m_load, &ReaderJob::finished, this, &ConfigPage::clockCheck);
    connect(&m_read, &ReaderJob::finished, this, &ConfigPage::readBeforeWriteEnded);
    connect(&session, &ReaderSession::portStateChanged, this, &ConfigPage::linkChanged);
}

// Closed, lost or opened again, the link may now lead to another reader:
// nothing known from the old one is taken for the new one's, and a
// preview made for the old one is never written into the new one.
void ConfigPage::linkChanged()
{
    if (m_preview) {
        WritePreviewDialog *preview = m_preview;
        m_previewCancelled = true;
        preview->reject();
    }
    m_model.forgetReader();
}

void ConfigPage::connectJob(ReaderJob &job)
{
    connect(&job, &ReaderJob::outcomeLine, this, &ConfigPage::journal);
    connect(&job, &ReaderJob::journal, this, &ConfigPage::journal);
    connect(&job, &ReaderJob::stepLine, this, &ConfigPage::stepLine);
}

// The page's own results go to the journal too, once for a run of equal ones.
void ConfigPage::setStatus(const QString &text)
{
    if (ui->SAI_ConfigStatus->text() == text)
        return;
    ui->SAI_ConfigStatus->setText(text);
    emit journal(text);
}

// A load reads the reader's clock too: a drifting one is told, a missing,
// refused or unreadable one is no news.
void ConfigPage::clockCheck(JobOutcome outcome)
{
    if (outcome != JobOutcome::Done)
        return;
    const std::optional<ReaderClockTexts> texts = ClockTextsRead(m_load.reads());
    const std::optional<qint64> drift =
        texts ? ClockDriftSecs(*texts, QDateTime::currentDateTime()) : std::nullopt;
    if (drift && qAbs(*drift) > ClockDriftToleratedSecs)
        emit journal(tr("Horloge du lecteur décalée de %1 min : utiliser MAJ Date/Heure").arg(qAbs(*drift) / 60));
}

void ConfigPage::prepareTree()
{
    QTreeWidget *tree = ui->treeWidget;
    for (int column = 2; column < tree->columnCount(); ++column)
        tree->hideColumn(column);
    tree->setColumnWidth(0, 250);
    tree->setColumnWidth(1, 150);
    tree->setAlternatingRowColors(true);
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        TreeWidgetsCreate(tree, tree->topLevelItem(i), TreeColumn::Kind, TreeColumn::Value);
    for (QTreeWidgetItem *item : TreeItems(tree)) {
        const QString identifier = item->text(TreeColumn::Identifier);
        if (identifier.isEmpty())
            continue;
        m_items[identifier].append(item);
        // Shown, never edited: the reader's own versions and clock.
        const ConfigParameter *parameter = m_model.find(identifier);
        if (!parameter || !parameter->readOnly) {
            item->setFlags(item->flags() | Qt::ItemIsEditable);
            continue;
        }
        if (QWidget *editor = tree->itemWidget(item, TreeColumn::Value))
            editor->setEnabled(false);
        // Told apart at a glance, and why it takes no edit.
        const QBrush grey = tree->palette().brush(QPalette::Disabled, QPalette::Text);
        for (int column : {TreeColumn::Label, TreeColumn::Value}) {
            item->setForeground(column, grey);
            item->setToolTip(column, tr("Lecture seule : donné par le lecteur, jamais écrit"));
        }
    }
    showAll();
    // Nothing to save before a configuration has been read or loaded.
    ui->BTN_ReaderConfigSave->setEnabled(false);
    ui->BTN_ReaderFileSave->setEnabled(false);
}

// Every item of the parameter shows the model: its editor or cell, the
// last value written and the mark.
void ConfigPage::show(const QString &identifier)
{
    const ConfigParameter *parameter = m_model.find(identifier);
    if (!parameter)
        return;
    const QString modified = m_model.modifiedText(identifier);
    QString canonical;
    const bool showable = ConfigValueCanonical(*parameter, parameter->value, &canonical);
    m_showing = true;
    for (QTreeWidgetItem *item : m_items.value(identifier)) {
        showUnknownValue(item, *parameter, showable);
        if (showable)
            TreeItemValue(TreeWrite, ui->treeWidget, item, parameter->value, TreeColumn::Kind,
                          TreeColumn::Value);
        SetTextIfChanged(item, TreeColumn::Save, parameter->lastWritten);
        SetTextIfChanged(item, TreeColumn::Modified, modified);
        ChangedMark(ui->treeWidget, item, parameter->changed());
    }
    m_showing = false;
}

// A reader value its editor has no state for is shown as given, in red,
// until the operator picks one of the editor's own.
void ConfigPage::showUnknownValue(QTreeWidgetItem *item, const ConfigParameter &parameter,
                                  bool showable)
{
    QWidget *editor = ui->treeWidget->itemWidget(item, TreeColumn::Value);
    if (!editor)
        return;
    const QString text = showable ? QString() : parameter.value + ConfigUnknownValueSuffix();
    editor->setStyleSheet(showable ? QString() : QStringLiteral("color: red"));
    editor->setToolTip(showable ? QString() : tr("Valeur du lecteur inconnue du catalogue : jamais écrite "
                                                 "sans un autre choix"));
    if (auto *box = qobject_cast<QCheckBox *>(editor)) {
        box->setText(text);
        box->setTristate(!showable);
        if (!showable)
            box->setCheckState(Qt::PartiallyChecked);
    } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        while (combo->count() > parameter.choiceCount)
            combo->removeItem(combo->count() - 1);
        if (!showable) {
            combo->addItem(text);
            combo->setCurrentIndex(combo->count() - 1);
        }
    }
    if (!showable)
        item->setText(TreeColumn::Value, parameter.value);
}

void ConfigPage::showAll()
{
    for (int i = 0; i < m_model.count(); ++i)
        show(m_model.at(i).identifier);
}

void ConfigPage::itemChanged(QTreeWidgetItem *item, int column)
{
    if (column != TreeColumn::Value || m_showing)
        return;
    const QString identifier = item->text(TreeColumn::Identifier);
    // A heading is never written: nothing to record.
    if (identifier.isEmpty())
        return;
    const QString value = TreeItemValue(TreeRead, ui->treeWidget, item, QString(), TreeColumn::Kind,
                                        TreeColumn::Value);
    // While a chain runs the model is the chain's: the edit is undone.
    if (!isBusy() && m_model.edit(identifier, value)) {
        const ConfigParameter *parameter = m_model.find(identifier);
        if (parameter->changed())
            setStatus(tr("Modification à sauvegarder !"));
    }
    show(identifier);
}

void ConfigPage::setTreeEditable(bool editable)
{
    QTreeWidget *tree = ui->treeWidget;
    tree->setEditTriggers(editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                       | QAbstractItemView::AnyKeyPressed
                                   : QAbstractItemView::NoEditTriggers);
    // A cell editor open at the start commits into a busy page: undone.
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it) {
        const ConfigParameter *parameter = m_model.find(it.key());
        for (QTreeWidgetItem *item : it.value())
            if (QWidget *editor = tree->itemWidget(item, TreeColumn::Value))
                editor->setEnabled(editable && !parameter->readOnly);
    }
}

// While a chain or the preview has the model, the tree takes no edit and
// the buttons that would start another wait.
void ConfigPage::busyUpdate()
{
    setTreeEditable(!isBusy());
    if (m_model.hasConfiguration())
        ui->BTN_ReaderFileSave->setEnabled(!isBusy());
    emit busyChanged();
}

QString ConfigPage::backupFolder() const
{
    return QDir(m_startFolder).filePath(QStringLiteral("sauvegardes"));
}

void ConfigPage::load()
{
    if (isBusy())
        return;
    m_load.start();
    busyUpdate();
}

// A write never goes blind: the values it replaces are read first where
// unknown, the operator sees each change beside the reader's value, the
// reader's values are kept in a file, and what the reader kept is read
// back.
void ConfigPage::save()
{
    if (isBusy() || !m_model.hasConfiguration())
        return;
    qDebug("LANCE LA SAUVEGARDE");
    QStringList identifiers;
    for (const ConfigChange &change : m_model.changes())
        identifiers << change.identifier;
    if (identifiers.isEmpty()) {
        setStatus(tr("Aucune modification"));
        return;
    }
    // The preview and the backup name the reader they were made for.
    const QStringList unknown = m_model.unknownToReader(ReaderIdentity::Identifiers() + identifiers);
    if (unknown.isEmpty()) {
        preview();
        return;
    }
    m_read.setIdentifiers(unknown, tr("Lecture avant écriture"));
    if (!m_read.start())
        return;
    setStatus(tr("Lecture avant écriture ..."));
    busyUpdate();
}

void ConfigPage::readBeforeWriteEnded(JobOutcome outcome)
{
    // The read's outcome and failure lines say why in the journal.
    if (outcome != JobOutcome::Done) {
        ui->SAI_ConfigStatus->setText(tr("Save: ->Echec"));
        busyUpdate();
        return;
    }
    m_model.applyReaderValues(m_read.reads());
    preview();
}

void ConfigPage::preview()
{
    const QList<ConfigChange> changes = m_model.changes();
    if (changes.isEmpty()) {
        setStatus(tr("Aucune modification"));
        busyUpdate();
        return;
    }
    m_previewIdentity = m_model.readerIdentity();
    m_preview = new WritePreviewDialog(m_model, changes, m_window);
    m_preview->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_preview, &QDialog::finished, this, &ConfigPage::previewClosed);
    busyUpdate();
    // Not exec(): no event loop nested in the page's own handling.
    m_preview->open();
}

void ConfigPage::previewClosed(int result)
{
    const QList<ConfigChange> chosen = m_preview->selected();
    m_preview = nullptr;
    if (std::exchange(m_previewCancelled, false)) {
        setStatus(tr("Save: ->Annulé"));
        emit journal(tr("Aperçu fermé : la liaison avec le lecteur a changé"));
        busyUpdate();
        return;
    }
    if (result != QDialog::Accepted || chosen.isEmpty()) {
        setStatus(tr("Save: ->Annulé"));
        busyUpdate();
        return;
    }
    m_save.setChanges(chosen);
    m_save.setIdentity(m_previewIdentity);
    m_save.setBackupFolder(backupFolder());
    m_save.setCheck(true);
    if (!m_save.start())
        saveFailedToStart();
    busyUpdate();
}

// Another chain took the link while the operator looked, or it closed.
void ConfigPage::saveFailedToStart()
{
    ui->SAI_ConfigStatus->setText(tr("Save: ->Echec"));
    emit journal(tr("Ecriture impossible : liaison fermée ou occupée"));
}

void ConfigPage::chooseFile()
{
    ui->SAI_FIleName->setText(QFileDialog::getOpenFileName(m_window, tr("Configuration"),
                                                           m_startFolder, tr("config (*.txt)")));
}

void ConfigPage::loadFile()
{
    if (isBusy())
        return;
    if (ui->SAI_FIleName->text().isEmpty())
        chooseFile();
    QString refusal;
    QStringList refusedLines;
    if (!ConfigFileLoad(ui->SAI_FIleName->text(), m_model, &refusal, &refusedLines)) {
        if (refusal.isEmpty())
            QMessageBox::critical(m_window, tr("Erreur"), tr("Impossible d'ouvrir le fichier"));
        else
            QMessageBox::critical(m_window, tr("Erreur"),
                                  tr("Fichier de configuration refusé : %1").arg(refusal));
        return;
    }
    ui->BTN_ReaderFileSave->setEnabled(true);
    emit busyChanged();
    setStatus(tr("Origine des données->Fichier"));
    if (refusedLines.isEmpty()) {
        QMessageBox::information(m_window, tr("Information"), tr("Configuration chargée"));
        return;
    }
    for (const QString &line : qAsConst(refusedLines))
        emit journal(tr("Fichier : %1").arg(line));
    QMessageBox::warning(m_window, tr("Attention"),
                         (refusedLines.size() > 1
                              ? tr("Configuration chargée sauf %1 lignes refusées :").arg(refusedLines.size())
                              : tr("Configuration chargée sauf une ligne refusée :"))
                             + QLatin1Char('\n') + refusedLines.join(QLatin1Char('\n')));
}

void ConfigPage::saveFile()
{
    // A file of one load, never of two: no save while a load fills the model.
    if (isBusy())
        return;
    const QString start = ui->SAI_FIleName->text().isEmpty() ? m_startFolder
                                                             : ui->SAI_FIleName->text();
    ui->SAI_FIleName->setText(
        QFileDialog::getSaveFileName(m_window, tr("Configuration"), start, tr("config (*.txt)")));
    if (!ConfigFileSave(ui->SAI_FIleName->text(), m_model)) {
        QMessageBox::critical(m_window, tr("Erreur"), tr("Impossible de créer le fichier"));
        return;
    }
    QMessageBox::information(m_window, tr("Information"), tr("Configuration enregistrée"));
}

void ConfigPage::showAllColumns()
{
    for (int column = 1; column < ui->treeWidget->columnCount(); ++column)
        ui->treeWidget->showColumn(column);
}
