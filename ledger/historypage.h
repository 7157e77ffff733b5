#ifndef HISTORYPAGE_H
#define HISTORYPAGE_H

#include <QObject>
#include <QString>
#include <memory>

#include "ledger/ledger.h"

namespace Ui {
class MainWindow;
}
class LedgerTableModel;
struct LedgerClosingReport;
class QThread;
class QTimer;
class QWidget;

// The page "Historique": the ledger, newest first, filtered and totalled,
// its CSV export and the shift closing with its PDF report. It owns the
// window's ledger: the badge page and the maintenance records write
// through it, and it shows what they wrote.
class HistoryPage : public QObject
{
    Q_OBJECT
public:
    HistoryPage(QWidget *window, Ui::MainWindow *ui, const QString &ledgerPath);
    ~HistoryPage() override;

    // Opens the ledger and checks its chain in the background; what is
    // wrong is journaled.
    void start();
    Ledger &ledger() { return m_ledger; }
    bool isAvailable() const { return m_ledger.isOpen(); }

    void setContext(const LedgerContext &context);
    void setSite(const QString &site) { m_site = site; }

    // A reader write from the window, whatever its outcome.
    void recordMaintenance(const QString &kind, const QString &outcome, const QString &detail);
    // Something was written: the table and its totals follow.
    void changed();

    void exportCsv();
    void closeShift();
    void openClosing();

    LedgerFilter filter() const;
    LedgerTotals shownTotals() const { return m_totals; }

signals:
    // Results and failures, for the journal and the status bar.
    void journal(const QString &text);

private:
    void prepare();
    void refresh();
    void refreshOperators();
    void refreshClosings();
    void showTotals();
    void verified(const LedgerVerification &verification);
    bool writeReport(const QString &path, const LedgerClosingReport &report, QString *error);

    QWidget *m_window;
    Ui::MainWindow *ui;
    Ledger m_ledger;
    // The table reads through a connection of its own: its open query
    // never stands in the way of a write.
    Ledger m_view;
    LedgerTableModel *m_model = nullptr;
    LedgerTotals m_totals;
    QString m_site;
    QTimer *m_refreshTimer = nullptr;
    QThread *m_verifier = nullptr;
    bool m_refreshPending = false;
};

#endif
