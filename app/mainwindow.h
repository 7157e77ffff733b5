#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <memory>

#include "blacklist/tablefile.h"
#include "link/Protocole.h"
#include "link/commandchain.h"

namespace Ui {
class MainWindow;
}
class BadgePage;
class QPlainTextEdit;
class QProgressBar;
class QSettings;
class QVariant;
class QTreeWidget;
class QTreeWidgetItem;

// The chains of commands the window runs, one at a time.
enum ChainId : int {
    CHAIN_CONFIG_LOAD = 1,
    CHAIN_CONFIG_SAVE,
    CHAIN_BLACKLIST_WRITE,
    CHAIN_BLACKLIST_READ,
    CHAIN_CLOCK,
};

// The one window of the tool. Its members are defined in the .cpp of the
// folder that owns them: app/ (shell, dispatcher, settings), badge/,
// config/, blacklist/, tools/.
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

    bool BadgeRecordFromForm(QString &record);
    void BadgeRecordToForm(const QString &record);
    void BadgeFormClear();
    void BadgeCreateDefaults();

    QString ConfigStartFolder;
    QProtocole Protocole;
    ProtocoleChainLink ChainLink{Protocole};
    CommandChain Chain{ChainLink};

    // Configuration transfer state.
    QList<QTreeWidgetItem *> ToDoList;
    quint8 ToDoIndex = 0;
    QTreeWidgetItem *ToDoItem = nullptr;
    QString ObjetToSave;
    quint8 ObjetIndex = 0;
    bool TreeLoading = true;
    quint32 ModifCounter = 0;
    // A configuration is in the tree (read from the reader or a file):
    // only then may it be written to a reader.
    bool TreeHasConfiguration = false;

    int BadgeMode = 0;

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

public slots:
    void DebugShow(QString text);
    void ComStatusShow(QString text);
    void ComDataProcess(unsigned int kind, unsigned int code, const QString &text);

private:
    // Shell (app/mainwindow.cpp).
    void PortListFill();
    void ComStatusColor(Qt::GlobalColor color);
    void ReaderButtonsEnable();
    void ReaderButtonsDisable();
    // Enables what the link state, a running chain and the tree allow.
    void ReaderButtonsUpdate();
    void ChainProgressPrepare();
    void ChainProgressShow(const QString &name, int done, int total);
    void ChainFinished(int id, bool succeeded);

    // Settings (app/appsconfig.cpp).
    void AppsConfigPrepare();

    // Dispatcher branches (app/dispatcher.cpp).
    // Sends when the slot is free; false (nothing sent) when it is taken.
    bool CommandSend(char c1, char c2, const QString &payload, unsigned int arg,
                     unsigned int timeoutMs);

    // Badge page (badge/badgeform.cpp, badge/badgepage.cpp).
    void BadgePagePrepare();
    BadgePage *Badge = nullptr;

    // Parameter tree (config/).
    void ParamTreePrepare();
    void TreeSetEditable(QTreeWidgetItem *item, int column);
    void ConfigGetResultProcess();
    void ConfigPutResultProcess();
    void ConfigCommitResultProcess();
    bool ToDoFirst();
    bool ToDoNext();
    void TreeSiblingsMirror(QTreeWidgetItem *item);
    void ConfigStatusAppend(const QString &text);
    void ConfigChainAborted();
    void ConfigChainFinished(int id, bool succeeded);
    void ConfigReadSend();
    void ConfigLoadComplete();
    void ConfigWriteSend();
    void ConfigCommitSend();
    // False when the file cannot be opened, or (with *refusal saying why)
    // when it is no configuration text.
    bool ConfigFileLoad(const QString &path, QString *refusal);
    bool ConfigFileSave(const QString &path);
    void ConfigFileSaveItem(QIODevice *file, QTreeWidgetItem *item);
    QElapsedTimer ConfigLoadTimer;
    QString ToDoSentValue;    // the value and mark of the write awaiting its answer
    QString ToDoSentMark;
    bool TreeMirroring = false;
    // -- end of config --

    // Blacklist (blacklist/).
    void BlackListTablePrepare();
    void BlackListClearResultProcess();
    void BlackListAddResultProcess();
    void BlackListGetResultProcess();
    QString BlackListFilePath() const;
    void BlackListAddSend();
    void BlackListWriteFailed();
    void BlackListGetSend();
    void BlackListReadEnd();
    TTableFile BlackListFile;
    // The write sends the entries the table held at the click: an edit
    // meanwhile can neither skip nor repeat a row.
    QStringList BlackListEntries;
    bool BlackListClearing = false;
    // The read collects the entries before it touches the table.
    QList<QStringList> BlackListReadRows;
    // -- end of blacklist --

    // Maintenance tools (tools/).
    void CoupleurBlockResultProcess();
    void TrailerWriteResultProcess();
    void TrailerReadResultProcess();
    void BadgeFormatResultProcess();
    void TestResultProcess();
    bool BlockCommandPrepare(const char *debugLine, int *block, QString *key,
                             const char *blockErrorLine = nullptr);
    void BlockValueSend(bool increment);
    bool TrailerCommandPrepare(const char *debugLine, int *block, QString *key);
    void ClockAnswerProcess(bool ok, char status, const QString &text);
    void ClockFinished(bool succeeded);
    void OutputTestSend(const QString &name, const char *id);
    QString ClockTimeText;       // the time of the moment whose date went first
    bool ClockDateSent = false;  // the answer awaited is the date's
    // -- end of tools --

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
