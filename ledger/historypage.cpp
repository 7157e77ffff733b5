#include "ledger/historypage.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QMessageBox>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "ledger/ledgerclosing.h"
#include "ledger/ledgerexport.h"
#include "ui_mainwindow.h"
#include "util/textfile.h"

namespace {
// Typing in the badge filter waits for a pause before the query runs.
constexpr int FilterPauseMs = 250;
constexpr int ColumnHash = 18;

}

// The ledger's rows as the page shows them: the cells of the CSV.
class LedgerTableModel : public QSqlQueryModel
{
public:
    using QSqlQueryModel::QSqlQueryModel;

    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : LedgerColumnTitles().size();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return LedgerColumnTitles().value(section);
        return QSqlQueryModel::headerData(section, orientation, role);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return QVariant();
        if (index.row() != m_cachedRow) {
            // The stored columns, read through the base class: record(row)
            // would come back here.
            QSqlRecord stored = record();
            for (int column = 0; column < stored.count(); ++column)
                stored.setValue(column, QSqlQueryModel::data(createIndex(index.row(), column), Qt::DisplayRole));
            m_cached = LedgerRowCells(Ledger::FromRecord(stored));
            m_cachedRow = index.row();
        }
        return m_cached.value(index.column());
    }
    void forget()
    {
        m_cachedRow = -1;
    }

private:
    mutable int m_cachedRow = -1;
    mutable QStringList m_cached;
};

HistoryPage::HistoryPage(QWidget *window, Ui::MainWindow *ui, const QString &ledgerPath)
    : QObject(window), m_window(window), ui(ui), m_ledger(ledgerPath), m_view(ledgerPath)
{
    prepare();
}

HistoryPage::~HistoryPage()
{
    if (m_verifier)
        m_verifier->wait();
    // Its query goes before the connection it runs on.
    ui->TABLE_History->setModel(nullptr);
    delete m_model;
}

void HistoryPage::prepare()
{
    m_model = new LedgerTableModel(this);
    ui->TABLE_History->setModel(m_model);
    ui->TABLE_History->verticalHeader()->hide();
    ui->TABLE_History->horizontalHeader()->setStretchLastSection(false);
    ui->TABLE_History->setColumnHidden(ColumnHash, true);
    ui->COMB_HistoryKind->addItem(tr("Tous les types"), QString());
    for (const QString &kind : {LedgerKind::Debit, LedgerKind::Credit, LedgerKind::Creation,
                                LedgerKind::Configuration, LedgerKind::BlackList, LedgerKind::Clock,
                                LedgerKind::Format, LedgerKind::Closing})
        ui->COMB_HistoryKind->addItem(kind, kind);
    ui->COMB_HistoryOutcome->addItem(tr("Tous les résultats"), QString());
    for (const QString &outcome : {LedgerOutcome::Done, LedgerOutcome::Refused, LedgerOutcome::NotSent, LedgerOutcome::Unknown,
                                   LedgerOutcome::Applied, LedgerOutcome::NotApplied,
                                   LedgerOutcome::Undetermined, LedgerOutcome::Abandoned, LedgerOutcome::Failed})
        ui->COMB_HistoryOutcome->addItem(outcome, outcome);
    ui->COMB_HistoryOperator->addItem(tr("Tous les opérateurs"), QString());
    ui->DATE_HistoryFrom->setDate(QDate::currentDate());
    ui->DATE_HistoryTo->setDate(QDate::currentDate());

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(FilterPauseMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &HistoryPage::refresh);
    connect(ui->SAI_HistoryBadge, &QLineEdit::textChanged, m_refreshTimer, qOverload<>(&QTimer::start));
    for (QComboBox *combo : {ui->COMB_HistoryKind, ui->COMB_HistoryOutcome, ui->COMB_HistoryOperator})
        connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this, &HistoryPage::refresh);
    connect(ui->CKB_HistoryFrom, &QCheckBox::toggled, ui->DATE_HistoryFrom, &QWidget::setEnabled);
    connect(ui->CKB_HistoryTo, &QCheckBox::toggled, ui->DATE_HistoryTo, &QWidget::setEnabled);
    for (QCheckBox *box : {ui->CKB_HistoryFrom, ui->CKB_HistoryTo})
        connect(box, &QCheckBox::toggled, this, &HistoryPage::refresh);
    for (QDateEdit *date : {ui->DATE_HistoryFrom, ui->DATE_HistoryTo})
        connect(date, &QDateEdit::dateChanged, this, &HistoryPage::refresh);
    // The page is brought up to date when it is shown, not at each write.
    connect(ui->ONG_Main, &QTabWidget::currentChanged, this, [this] {
        if (m_refreshPending && ui->ONG_Main->currentWidget() == ui->ONG_Historique) {
            refreshOperators();
            refresh();
        }
    });
}

void HistoryPage::start()
{
    const bool opened = m_ledger.open();
    if (!m_ledger.setAsidePath().isEmpty())
        emit journal(tr("Historique endommagé : mis de côté sous %1, un nouveau commence.")
                         .arg(m_ledger.setAsidePath()));
    if (!opened || !m_view.open()) {
        emit journal(tr("Historique inaccessible : %1").arg(opened ? m_view.error() : m_ledger.error()));
        ui->LAB_HistoryTotals->setText(tr("Historique inaccessible : %1").arg(m_ledger.error()));
        return;
    }
    refreshOperators();
    refreshClosings();
    refresh();
    // The chain of a year of rows takes a moment to check: the window
    // does not wait for it.
    const QString path = m_ledger.path();
    m_verifier = QThread::create([this, path] {
        Ledger ledger(path);
        const LedgerVerification verification = ledger.verify();
        QMetaObject::invokeMethod(this, [this, verification] { verified(verification); }, Qt::QueuedConnection);
    });
    connect(m_verifier, &QThread::finished, m_verifier, &QObject::deleteLater);
    connect(m_verifier, &QObject::destroyed, this, [this] { m_verifier = nullptr; });
    m_verifier->start(QThread::LowPriority);
}

void HistoryPage::verified(const LedgerVerification &verification)
{
    if (verification.ok)
        return;
    emit journal(verification.badSeq > 0
                     ? tr("Historique altéré à la ligne %1 : %2").arg(verification.badSeq).arg(verification.reason)
                     : tr("Historique illisible : %1").arg(verification.reason));
}

void HistoryPage::setContext(const LedgerContext &context)
{
    m_ledger.setContext(context);
}

void HistoryPage::recordMaintenance(const QString &kind, const QString &outcome, const QString &detail)
{
    const LedgerResult result = m_ledger.recordMaintenance(kind, outcome, detail);
    if (!result.ok())
        emit journal(tr("Historique inaccessible : %1 faite mais non inscrite (%2)").arg(kind, result.error));
    changed();
}

void HistoryPage::changed()
{
    if (ui->ONG_Main->currentWidget() == ui->ONG_Historique)
        refresh();
    else
        m_refreshPending = true;
}

LedgerFilter HistoryPage::filter() const
{
    LedgerFilter filter;
    if (ui->CKB_HistoryFrom->isChecked())
        filter.from = ui->DATE_HistoryFrom->date();
    if (ui->CKB_HistoryTo->isChecked())
        filter.to = ui->DATE_HistoryTo->date();
    filter.badge = ui->SAI_HistoryBadge->text().trimmed();
    filter.kind = ui->COMB_HistoryKind->currentData().toString();
    filter.outcome = ui->COMB_HistoryOutcome->currentData().toString();
    filter.operatorName = ui->COMB_HistoryOperator->currentData().toString();
    return filter;
}

void HistoryPage::refresh()
{
    m_refreshTimer->stop();
    m_refreshPending = false;
    if (!m_view.isOpen())
        return;
    QVariantList binds;
    QSqlQuery query(m_view.database());
    query.prepare(Ledger::SelectSql(filter(), &binds));
    for (const QVariant &value : binds)
        query.addBindValue(value);
    query.exec();
    m_model->forget();
    m_model->setQuery(query);
    // Dates, UIDs and amounts whole: the columns fit the rows fetched so far.
    ui->TABLE_History->resizeColumnsToContents();
    m_totals = m_view.totals(filter());
    showTotals();
}

void HistoryPage::refreshOperators()
{
    QComboBox *combo = ui->COMB_HistoryOperator;
    const QStringList names = m_view.operators();
    QStringList shown;
    for (int i = 1; i < combo->count(); ++i)
        shown << combo->itemText(i);
    if (names == shown)
        return;
    const QString picked = combo->currentData().toString();
    const QSignalBlocker quiet(combo);
    while (combo->count() > 1)
        combo->removeItem(1);
    for (const QString &name : names)
        combo->addItem(name, name);
    combo->setCurrentIndex(qMax(0, combo->findData(picked)));
}

void HistoryPage::showTotals()
{
    ui->LAB_HistoryTotals->setText(tr("Crédits : %1   Débits : %2   Net : %3   Opérations : %4   Inconnus : %5")
                                       .arg(LedgerAmountText(m_totals.creditsCents),
                                            LedgerAmountText(m_totals.debitsCents),
                                            LedgerAmountText(m_totals.netCents()))
                                       .arg(m_totals.count)
                                       .arg(m_totals.unknown));
}

void HistoryPage::exportCsv()
{
    const QString title = tr("Exporter l'historique");
    const QString path = QFileDialog::getSaveFileName(
        m_window, title,
        QDir(QFileInfo(m_ledger.path()).absolutePath())
            .filePath(QStringLiteral("historique-%1.csv").arg(QDate::currentDate().toString(Qt::ISODate))),
        tr("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    const QList<LedgerEntry> rows = m_view.entries(filter());
    QString error;
    if (!FileWriteWhole(path, LedgerCsvContent(rows), &error)) {
        QMessageBox::warning(m_window, title, tr("Export impossible : %1").arg(error));
        return;
    }
    emit journal(tr("Historique exporté : %1 ligne(s) dans %2").arg(rows.size()).arg(path));
}

void HistoryPage::closeShift()
{
    const QString title = tr("Clôture de caisse");
    if (!m_ledger.isOpen() && !m_ledger.open()) {
        QMessageBox::warning(m_window, title, tr("Historique inaccessible : %1").arg(m_ledger.error()));
        return;
    }
    LedgerClosingReport report;
    report.summary = LedgerClosingPrepare(m_ledger);
    QMessageBox question(QMessageBox::Question, title, LedgerClosingQuestion(report.summary),
                         QMessageBox::Yes | QMessageBox::No, m_window);
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes)
        return;
    const LedgerResult closed = LedgerClosingRecord(m_ledger, report.summary);
    const std::optional<LedgerEntry> row = closed.ok() ? m_ledger.entry(closed.id) : std::nullopt;
    if (!row) {
        const QString error = closed.ok() ? m_ledger.error() : closed.error;
        emit journal(tr("Clôture de caisse impossible : %1").arg(error));
        QMessageBox::warning(m_window, title, tr("Clôture impossible : %1").arg(error));
        return;
    }
    report.closing = *row;
    report.site = m_site;
    report.reader = m_ledger.context().reader;
    report.operatorName = m_ledger.context().operatorName;
    const QString path = LedgerClosingPdfPath(*row);
    QString error;
    const QString totals = tr("%1 opération(s), crédits %2, débits %3, net %4")
                               .arg(report.summary.totals.count)
                               .arg(LedgerAmountText(report.summary.totals.creditsCents),
                                    LedgerAmountText(report.summary.totals.debitsCents),
                                    LedgerAmountText(report.summary.totals.netCents()));
    if (writeReport(path, report, &error))
        emit journal(tr("Clôture de caisse : %1 ; rapport : %2").arg(totals, path));
    else
        emit journal(tr("Clôture de caisse : %1 ; rapport PDF impossible à écrire : %2").arg(totals, error));
    refreshClosings();
    refreshOperators();
    changed();
}

bool HistoryPage::writeReport(const QString &path, const LedgerClosingReport &report, QString *error)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = tr("dossier %1 impossible à créer").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setTitle(tr("Clôture de caisse n° %1").arg(report.closing.seq));
        pdf.setCreator(QStringLiteral("KovrimManager"));
        QTextDocument document;
        // No ligatures: the hash is read and compared character by character.
        QFont font = document.defaultFont();
        font.setStyleStrategy(QFont::PreferNoShaping);
        document.setDefaultFont(font);
        document.setHtml(LedgerClosingHtml(report));
        document.print(&pdf);
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void HistoryPage::refreshClosings()
{
    QComboBox *combo = ui->COMB_HistoryClosings;
    combo->clear();
    for (const LedgerEntry &closing : m_view.closings())
        combo->addItem(tr("%1 par %2 (n° %3)")
                           .arg(closing.at.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm")),
                                closing.operatorName)
                           .arg(closing.seq),
                       closing.seq);
    ui->BTN_HistoryClosingOpen->setEnabled(combo->count() > 0);
}

void HistoryPage::openClosing()
{
    const std::optional<LedgerEntry> closing = m_view.entry(ui->COMB_HistoryClosings->currentData().toLongLong());
    if (!closing)
        return;
    const QString path = LedgerClosingPdfPath(*closing);
    if (!QFileInfo::exists(path)) {
        QMessageBox::warning(m_window, tr("Clôture de caisse"), tr("Rapport introuvable : %1").arg(path));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        emit journal(tr("Rapport impossible à ouvrir : %1").arg(path));
}
