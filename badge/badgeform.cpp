// The window's badge operations, handed to the badge page.
#include "app/mainwindow.h"
#include "badge/badgepage.h"

#include <QCloseEvent>

bool MainWindow::BadgeRecordFromForm(QString &record)
{
    record += Badge->recordFromForm();
    return true;
}

void MainWindow::BadgeRecordToForm(const QString &record)
{
    Badge->recordToForm(record);
}

void MainWindow::BadgeFormClear()
{
    Badge->formClear();
}

void MainWindow::BadgeCreateDefaults()
{
    Badge->createDefaults();
}

void MainWindow::on_BTN_BadgeRead_clicked()
{
    Badge->readClicked();
}

void MainWindow::on_BTN_BadgeCreate_clicked()
{
    Badge->createClicked();
}

void MainWindow::on_BTN_TransactionDebit_clicked()
{
    Badge->transactionClicked(true);
}

void MainWindow::on_BTN_TransactionCredit_clicked()
{
    Badge->transactionClicked(false);
}

void MainWindow::BadgePagePrepare()
{
    BadgePage::Link link;
    link.send = [this](char c1, char c2, const QString &payload, unsigned int arg, unsigned int timeoutMs) {
        return CommandSend(c1, c2, payload, arg, timeoutMs);
    };
    link.setPolling = [this](bool on) { Protocole.Polling.store(on, std::memory_order_release); };
    link.settingText = [this](const QString &key, const QString &fallback) {
        return AppsConfigReadString(key, fallback);
    };
    link.settingInt = [this](const QString &key, int fallback) { return AppsConfigReadInt(key, fallback); };
    link.settingWrite = [this](const QString &key, const QString &value) { AppsConfigWriteString(key, value); };
    Badge = new BadgePage(this, ui, BadgeMode, link);
    connect(Badge, &BadgePage::journal, this, &MainWindow::JournalAdd);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (Badge && !Badge->closeAllowed()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
