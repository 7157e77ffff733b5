// What the operator keeps between runs, the journal of results and the
// frame trace of the "Debug" page.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTreeWidget>

#include "core/appsettings.h"
#include "core/journal.h"
#include "app/mainwindow.h"
#include "core/portlist.h"
#include "ui_mainwindow.h"

namespace {
constexpr int AppsColValue = 1;
constexpr int AppsColKey = 2;
constexpr int JournalMaxLines = 5000;
constexpr int TraceMaxFrames = 10000;
constexpr int StatusBarShowMs = 10000;
// Longer settings come from a hand-edited file and are ignored.
constexpr int SettingMaxChars = 1000;
constexpr int GeometryMaxBytes = 4096;

const QString KeyPort = QStringLiteral("Port");
const QString KeyGeometry = QStringLiteral("Geometry");
const QString KeyConfigFile = QStringLiteral("ConfigFile");
const QString KeyFrameTrace = QStringLiteral("FrameTrace");
const QString AppsGroup = QStringLiteral("AppsConfig/");

// Every item of the settings tree that carries a key, in tree order.
QList<QTreeWidgetItem *> KeyedItems(QTreeWidget *tree)
{
    QList<QTreeWidgetItem *> keyed;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if (!(*it)->text(AppsColKey).isEmpty())
            keyed << *it;
    return keyed;
}
}

void MainWindow::SettingsWrite(const QString &key, const QVariant &value)
{
    if (Settings)
        Settings->setValue(key, value);
}

void MainWindow::SettingsPortOpened()
{
    SettingsWrite(KeyPort, Protocole.GetPortName());
}

void MainWindow::SettingsGeometryWrite()
{
    SettingsWrite(KeyGeometry, saveGeometry());
}

void MainWindow::AppsConfigDefaultsKeep()
{
    for (QTreeWidgetItem *item : KeyedItems(ui->TREE_AppsConfig))
        if (!AppsConfigDefaults.contains(item->text(AppsColKey)))
            AppsConfigDefaults.insert(item->text(AppsColKey), item->text(AppsColValue));
}

// Before the port list is filled: a saved port may be the one to open.
void MainWindow::SettingsRestore()
{
    Settings = SettingsStoreOpen();
    if (!Settings)
        return;
    const QByteArray geometry = Settings->value(KeyGeometry).toByteArray();
    if (!geometry.isEmpty() && geometry.size() <= GeometryMaxBytes)
        restoreGeometry(geometry);
    for (QTreeWidgetItem *item : KeyedItems(ui->TREE_AppsConfig)) {
        const QString key = AppsGroup + item->text(AppsColKey);
        if (Settings->contains(key))
            item->setText(AppsColValue, SettingsText(*Settings, key, SettingMaxChars));
    }
    ui->SAI_FIleName->setText(SettingsText(*Settings, KeyConfigFile, SettingMaxChars));
    ui->CKB_FrameTrace->setChecked(Settings->value(KeyFrameTrace, false).toBool());
    if (PreferredPort.isEmpty()) {
        const QString saved = SettingsText(*Settings, KeyPort, SettingMaxChars);
        if (SavedPortUsable(saved, SerialPortNamesAndLocations()))
            PreferredPort = saved;
        else
            SavedPortAbsent = saved;
    }
}

// Each choice is written when it changes; the geometry when the window goes.
void MainWindow::SettingsWatch()
{
    connect(ui->TREE_AppsConfig, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem *item, int column) {
                if (column == AppsColValue && !item->text(AppsColKey).isEmpty())
                    SettingsWrite(AppsGroup + item->text(AppsColKey), item->text(AppsColValue));
            });
    connect(ui->SAI_FIleName, &QLineEdit::textChanged, this,
            [this](const QString &name) { SettingsWrite(KeyConfigFile, name); });
    connect(ui->COMB_Serial, QOverload<int>::of(&QComboBox::activated), this, &MainWindow::PortPicked);
    connect(ui->COMB_Serial, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        ui->COMB_Serial->setToolTip(ui->COMB_Serial->itemData(index, Qt::ToolTipRole).toString());
    });
}

void MainWindow::on_actionValeursParDefaut_triggered()
{
    for (QTreeWidgetItem *item : KeyedItems(ui->TREE_AppsConfig)) {
        const auto found = AppsConfigDefaults.constFind(item->text(AppsColKey));
        if (found != AppsConfigDefaults.constEnd())
            item->setText(AppsColValue, found.value());
    }
    statusBar()->showMessage(tr("Réglages : valeurs par défaut rétablies"), StatusBarShowMs);
}

// Another port picked by hand: the engine stops trying the lost one.
void MainWindow::PortPicked(int index)
{
    if (ui->COMB_Serial->itemText(index) != Protocole.GetPortName())
        Protocole.ReconnectCancel();
}

void MainWindow::JournalPrepare()
{
    ui->TXTEDIT_Journal->setMaximumBlockCount(JournalMaxLines);
    ui->TXTEDIT_FrameTrace->setMaximumBlockCount(TraceMaxFrames);
    // Aligned columns of bytes, at the size of the window's own font.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(font().pointSize());
    ui->TXTEDIT_FrameTrace->setFont(fixed);
    // The configuration and blacklist pages journal their results
    // themselves: their status lines show every step of a job.
    for (QLineEdit *line : {ui->SAI_ProtocoleStatus, ui->SAI_TestCmdStatus, ui->SAI_TrailerReadResult,
                            ui->SAI_ReaderRcv, ui->SAI_CeationSecuriteResult})
        connect(line, &QLineEdit::textChanged, this, &MainWindow::JournalAdd);
    connect(ui->LINEEDIT_Com, &QLineEdit::textChanged, this, [this](const QString &text) {
        // A long open error does not fit the field.
        ui->LINEEDIT_Com->setToolTip(text);
        JournalAdd(tr("Port série : %1").arg(text));
    });
    connect(&Protocole, &QProtocole::SIG_Frame, this, &MainWindow::FrameTraceShow);
}

// Shown for a while in the status bar too: the polling text that follows
// at once in the status line does not hide a failure.
void MainWindow::JournalAdd(const QString &text)
{
    if (!JournalKeeps(text))
        return;
    ui->TXTEDIT_Journal->appendPlainText(JournalLine(QDateTime::currentDateTime(), text));
    statusBar()->showMessage(text, StatusBarShowMs);
}

void MainWindow::on_BTN_JournalSave_clicked()
{
    PaneSave(ui->TXTEDIT_Journal, tr("Enregistrer le journal"), QStringLiteral("journal.txt"));
}

void MainWindow::on_CKB_FrameTrace_toggled(bool on)
{
    Protocole.TraceOn.store(on, std::memory_order_relaxed);
    SettingsWrite(KeyFrameTrace, on);
}

void MainWindow::FrameTraceShow(const TracedFrame &frame)
{
    // Frames already on their way when the trace was switched off.
    if (ui->CKB_FrameTrace->isChecked())
        ui->TXTEDIT_FrameTrace->appendPlainText(FrameTraceLine(frame));
}

void MainWindow::on_BTN_FrameTraceSave_clicked()
{
    PaneSave(ui->TXTEDIT_FrameTrace, tr("Enregistrer la trace"), QStringLiteral("trace.txt"));
}

void MainWindow::PaneSave(QPlainTextEdit *pane, const QString &title, const QString &fileName)
{
    const QString path = QFileDialog::getSaveFileName(this, title, QDir(ConfigStartFolder).filePath(fileName),
                                                      tr("Texte (*.txt)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!TextFileWrite(path, pane->toPlainText(), &error))
        QMessageBox::warning(this, title, tr("Enregistrement impossible : %1").arg(error));
    else
        statusBar()->showMessage(tr("Enregistré : %1").arg(path), StatusBarShowMs);
}
