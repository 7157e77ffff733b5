#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <memory>

#include "link/readerjob.h"
#include "link/readersession.h"

namespace Ui {
class MainWindow;
}
class BadgePage;
class QCloseEvent;
class QPlainTextEdit;
class QProgressBar;
class QSettings;
class QVariant;
class QTreeWidget;
class QTreeWidgetItem;

class BlackListPage;
class ConfigPage;
class HistoryPage;
class QLabel;
class ToolsPage;

// The one window of the tool. Each page's state and work live in its page
// object (config/, blacklist/, tools/); the slots hand the work over. The
// shell, the dispatcher and the settings are in app/; the badge page's
// members in badge/.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // preferredPort, when given, is listed first so that the automatic
    // open at start connects to it (pseudo-terminals are not enumerated).
    // expert enables the "Tests" and "Expert" pages.
    explicit MainWindow(const QString &preferredPort = QString(), bool expert = false,
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    QString AppsConfigReadString(const QString &key, const QString &defaultValue);
    int AppsConfigReadInt(const QString &key, int defaultValue);
    // Kept in the settings like an edit of the settings tree.
    void AppsConfigWriteString(const QString &key, const QString &value);

    bool BadgeRecordFromForm(QString &record);
    void BadgeRecordToForm(const QString &record);
    void BadgeFormClear();
    void BadgeCreateDefaults();

    QString ConfigStartFolder;
    // The reader on the port: its engine and its chain, whose answers the
    // session hands to the page or job that asked.
    ReaderSession Session;
    QProtocole &Protocole = Session.engine();
    CommandChain &Chain = Session.chain();
    ConfigPage *Config = nullptr;
    BlackListPage *BlackList = nullptr;
    ToolsPage *Tools = nullptr;
    HistoryPage *History = nullptr;

    int BadgeMode = 0;

protected:
    // Asks first while a badge operation is in flight or left unsettled.
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_BTN_Serial_clicked();
    void on_pushButton_3_clicked();
    void on_BTN_BadgeRead_clicked();
    void on_BTN_BadgeCreate_clicked();
    void on_BTN_TransactionDebit_clicked();
    void on_BTN_TransactionCredit_clicked();
    void on_BTN_ComReaderFind_clicked();

    // Configuration (config/).
    void on_BTN_ReaderConfigLoad_clicked();
    void on_BTN_ReaderConfigSave_clicked();
    void on_BTN_ReaderConfigAll_clicked();
    void on_BTN_FileSelect_clicked();
    void on_BTN_ReaderFileLoad_clicked();
    void on_BTN_ReaderFileSave_clicked();
    void on_treeWidget_itemChanged(QTreeWidgetItem *item, int column);

    // Blacklist (blacklist/).
    void on_BTN_BlackListNew_clicked();
    void on_BTN_BlackListDelete_clicked();
    void on_BTN_BlackListWriteToFile_clicked();
    void on_BTN_BlackListReadFromFile_clicked();
    void on_BTN_BlackListWriteToSupport_clicked();
    void on_BTN_BlackListReadFromSupport_clicked();
    void on_BTN_BlackListImportCsv_clicked();
    void on_BTN_BlackListExportCsv_clicked();

    // Maintenance tools (tools/).
    void on_BTN_ReaderRead_clicked();
    void on_BTN_ReaderWrite_clicked();
    void on_BTN_ReaderIncrement_clicked();
    void on_BTN_ReaderDecrement_clicked();
    void on_BTN_TraillerRead_clicked();
    void on_BTN_TraillerWrite_clicked();
    void on_BTN_TraillerDefault_clicked();
    void on_BTN_BadgeFormat_clicked();
    void on_BTN_DateHeureMAJ_clicked();
    void on_BTN_TestC1_clicked();
    void on_BTN_TestC2_clicked();
    void on_BTN_FirmwareFile_clicked();

    // Settings, journal and frame trace (app/comforts.cpp).
    void on_actionValeursParDefaut_triggered();
    void on_BTN_JournalSave_clicked();
    void on_CKB_FrameTrace_toggled(bool on);
    void on_BTN_FrameTraceSave_clicked();

    // History (ledger/historyslots.cpp).
    void on_BTN_HistoryExportCsv_clicked();
    void on_BTN_HistoryClosing_clicked();
    void on_BTN_HistoryClosingOpen_clicked();

public slots:
    void DebugShow(QString text);
    void DebugStepShow(const QString &text);
    void ComStatusShow(QString text);
    void ComDataProcess(unsigned int kind, unsigned int code, const QString &text);
    // An answer to a single request, handed to the page that sent it.
    void AnswerProcess(unsigned int code, const ReaderAnswer &answer);

private:
    // Shell (app/mainwindow.cpp).
    void PortListFill();
    void ToolBarPrepare();
    void ComStatusColor(Qt::GlobalColor color);
    void ReaderButtonsEnable();
    void ReaderButtonsDisable();
    // Enables what the link state, a running chain and the tree allow.
    void ReaderButtonsUpdate();
    void ChainProgressPrepare();
    void ChainProgressShow(const QString &name, int done, int total);
    void ChainFinished();
    void PagesPrepare();

    // History (ledger/historyslots.cpp).
    void HistoryPrepare();
    void LedgerContextUpdate();
    QLabel *OperatorLabel = nullptr;

    // Settings (app/appsconfig.cpp).
    void AppsConfigPrepare();

    // Dispatcher branches (app/dispatcher.cpp).
    // Sends when the slot is free; false (nothing sent) when it is taken.
    bool CommandSend(char c1, char c2, const QString &payload, unsigned int arg,
                     unsigned int timeoutMs);

    // Badge page (badge/badgeform.cpp, badge/badgepage.cpp).
    void BadgePagePrepare();
    BadgePage *Badge = nullptr;

    // The settings tree (app/appsconfig.cpp).
    void TreeSetEditable(QTreeWidgetItem *item, int column);

    // Settings, journal and frame trace (app/comforts.cpp).
    void SettingsRestore();
    void SettingsWatch();
    void SettingsWrite(const QString &key, const QVariant &value);
    void SettingsPortOpened();
    void SettingsGeometryWrite();
    void AppsConfigDefaultsKeep();
    void JournalPrepare();
    void JournalAdd(const QString &text);
    void FrameTraceShow(const TracedFrame &frame);
    void PaneSave(QPlainTextEdit *pane, const QString &title, const QString &fileName);
    void PortPicked(int index);
    std::unique_ptr<QSettings> Settings;  // null: nothing is kept
    QHash<QString, QString> AppsConfigDefaults;  // key -> value as defined
    // -- end of comforts --

    QString PreferredPort;
    // The port saved last time, no longer listed: shown, never opened at start.
    QString SavedPortAbsent;
    bool ExpertMode = false;
    bool ReaderButtonsOn = false;  // the link state as last reported
    QProgressBar *ChainProgress = nullptr;
    Ui::MainWindow *ui = nullptr;
};

#endif
