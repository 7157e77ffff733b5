// The window's side of the ledger: the page "Historique", who works, and
// a row for each reader write the pages make.
#include <QLabel>
#include <QStatusBar>

#include "core/journal.h"
#include "app/mainwindow.h"
#include "blacklist/blacklistpage.h"
#include "badge/badgepage.h"
#include "config/configpage.h"
#include "ledger/historypage.h"
#include "ledger/ledgerbadgerecorder.h"
#include "ledger/ledgerjobrecorder.h"
#include "tools/toolspage.h"
#include "ui_mainwindow.h"

namespace {
const QString KeyOperator = QStringLiteral("OPERATEUR");
}

void MainWindow::HistoryPrepare()
{
    History = new HistoryPage(this, ui, Ledger::DefaultPath());
    connect(History, &HistoryPage::journal, this, &MainWindow::JournalAdd);
    OperatorLabel = new QLabel(this);
    OperatorLabel->setObjectName(QStringLiteral("LAB_Operator"));
    statusBar()->addPermanentWidget(OperatorLabel);

    const auto record = [this](const QString &kind, const QString &outcome, const QString &detail) {
        History->recordMaintenance(kind, outcome, detail);
    };
    new LedgerJobRecorder(Config->saveJob(), LedgerKind::Configuration, record, History);
    new LedgerJobRecorder(BlackList->writeJob(), LedgerKind::BlackList, record, History);
    new LedgerJobRecorder(Tools->clockJob(), LedgerKind::Clock, record, History);
    // The format is a single command: its result line is its outcome.
    connect(ui->SAI_CeationSecuriteResult, &QLineEdit::textChanged, History, [record](const QString &text) {
        if (JournalKeeps(text))
            record(LedgerKind::Format,
                   text.endsWith(QLatin1String("->OK")) ? LedgerOutcome::Done : LedgerOutcome::Failed, text);
    });
    connect(Config, &ConfigPage::busyChanged, this, &MainWindow::LedgerContextUpdate);
    connect(ui->TREE_AppsConfig, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item) {
        if (item->text(2) == KeyOperator)
            LedgerContextUpdate();
    });
    LedgerContextUpdate();
    History->start();
    // Money moves only once its row is written; what an earlier run left
    // unknown is listed again, its badge locked.
    auto *money = new LedgerBadgeRecorder(History->ledger(), Badge->operations(), History);
    connect(money, &LedgerBadgeRecorder::journal, this, &MainWindow::JournalAdd);
    connect(money, &LedgerBadgeRecorder::recorded, History, &HistoryPage::changed);
    if (const int restored = money->restore())
        JournalAdd(tr("Opérations à régler d'une session précédente : %1").arg(restored));
}

// Who works, on which port and reader, as every row names them.
void MainWindow::LedgerContextUpdate()
{
    LedgerContext context;
    context.operatorName = Ledger::OperatorName(AppsConfigReadString(KeyOperator, QString()));
    context.port = Protocole.GetPortName();
    const ConfigModel &model = Config->model();
    const auto known = [&model](const char *identifier) {
        const ConfigParameter *parameter = model.find(QLatin1String(identifier));
        return parameter && parameter->valueKnown ? model.value(QLatin1String(identifier)) : QString();
    };
    const QString site = known("3.0.0");
    const QString hardware = known("3.0.2");
    if (!site.isEmpty() || !hardware.isEmpty())
        context.reader = tr("site %1, matériel %2").arg(site, hardware);
    History->setContext(context);
    History->setSite(known("3.0.1"));
    OperatorLabel->setText(tr("Opérateur : %1").arg(context.operatorName));
}

void MainWindow::on_BTN_HistoryExportCsv_clicked()
{
    History->exportCsv();
}

void MainWindow::on_BTN_HistoryClosing_clicked()
{
    History->closeShift();
}

void MainWindow::on_BTN_HistoryClosingOpen_clicked()
{
    History->openClosing();
}
