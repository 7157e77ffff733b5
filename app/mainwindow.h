#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QList>
#include <QMainWindow>
#include <QString>

#include "link/Protocole.h"

namespace Ui {
class MainWindow;
}
class QTreeWidget;
class QTreeWidgetItem;

// The one window of the tool. Its members are defined in the .cpp of the
// folder that owns them: app/ (shell, dispatcher, settings), badge/,
// config/, blacklist/.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // preferredPort, when given, is listed first so that the automatic
    // open at start connects to it (pseudo-terminals are not enumerated).
    explicit MainWindow(const QString &preferredPort = QString(), QWidget *parent = nullptr);
    ~MainWindow() override;

    QString AppsConfigReadString(const QString &key, const QString &defaultValue);
    int AppsConfigReadInt(const QString &key, int defaultValue);

    bool BadgeRecordFromForm(QString &record);
    void BadgeRecordToForm(const QString &record);
    void BadgeFormClear();
    void BadgeCreateDefaults();

    QString ConfigStartFolder;
    QProtocole Protocole;

    // Configuration transfer state.
    QList<QTreeWidgetItem *> ToDoList;
    quint8 ToDoIndex = 0;
    QTreeWidgetItem *ToDoItem = nullptr;
    QString ObjetToSave;
    quint8 ObjetIndex = 0;
    bool TreeLoading = true;
    quint32 ModifCounter = 0;

    int BadgeMode = 0;

private slots:
    void on_BTN_Serial_clicked();
    void on_pushButton_3_clicked();
    void on_BTN_BadgeRead_clicked();
    void on_BTN_BadgeCreate_clicked();
    void on_BTN_TransactionDebit_clicked();
    void on_BTN_TransactionCredit_clicked();
    void on_BTN_ComReaderFind_clicked();

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
    void ReaderButtonsSetEnabled(bool enabled);

    // Settings (app/appsconfig.cpp).
    void AppsConfigPrepare();

    // Dispatcher branches (app/dispatcher.cpp).
    void PollingEventProcess(const QString &answer);
    void BadgeCreateResultProcess();
    void BadgeReadResultProcess();
    void TransactionResultProcess();
    void BadgeReadRequest(unsigned int timeoutMs);
    // Sends when the slot is free; false (nothing sent) when it is taken.
    bool CommandSend(char c1, char c2, const QString &payload, unsigned int arg,
                     unsigned int timeoutMs);
    void UserNumberIncrement();

    // Badge page (badge/badgeform.cpp, badge/transaction.cpp).
    void BadgeTypesPrepare();
    void BadgeFormValidatorsPrepare();
    void TransactionSend(bool debit);

    // Parameter tree (config/paramtree.cpp).
    void ParamTreePrepare();
    void TreeSetEditable(QTreeWidgetItem *item, int column);

    // Blacklist (blacklist/blacklisttable.cpp).
    void BlackListTablePrepare();

    QString PreferredPort;
    Ui::MainWindow *ui = nullptr;
};

#endif
