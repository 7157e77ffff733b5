#ifndef BLACKLISTPAGE_H
#define BLACKLISTPAGE_H

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "blacklist/blacklistjobs.h"
#include "blacklist/tablefile.h"

namespace Ui {
class MainWindow;
}
class QTableWidgetItem;
class QWidget;
class ReaderSession;

// The page "Liste noire": the table, its file, the CSV exchange with a
// spreadsheet, and the write to and read from the reader as jobs whose
// reports the page shows. Every row is checked as it is typed or loaded.
class BlackListPage : public QObject
{
    Q_OBJECT
public:
    BlackListPage(QWidget *window, Ui::MainWindow *ui, ReaderSession &session,
                  const QString &startFolder);

    void newRow();
    void deleteRow();
    void writeFile();
    void readFile();
    void writeToReader();
    void readFromReader();
    void importCsv();
    void exportCsv();
    QString filePath() const;
    // The write (with its backup and check), for those who follow its runs
    // (the ledger).
    const BlackListWriteJob &writeJob() const { return m_write; }

signals:
    // Results (a job's outcome, what failed, the page's own results).
    void journal(const QString &text);
    // Each step of a job, for the debug pane.
    void stepLine(const QString &text);

private:
    void writeEnded(JobOutcome outcome);
    void readEnded(JobOutcome outcome);
    bool operatorAgrees(const BlackListTransfer &transfer);
    void setStatus(const QString &text);

    QList<QStringList> rows() const;
    void replaceRows(const QList<QStringList> &rows);
    void appendRows(const QList<QStringList> &rows);
    void cellEdited(QTableWidgetItem *item);
    void scheduleMarks();
    void showMarks();
    void fitColumns();
    void applyFilter();
    void showCount();
    void sortBy(int column);

    QWidget *m_window;
    Ui::MainWindow *ui;
    const QString &m_startFolder;
    TTableFile m_file;
    BlackListWriteJob m_write;
    BlackListReadJob m_read;
    QString m_writeOutcome;
    ReaderSession &m_session;
    // Set while the page itself changes cells: its own changes are no edits.
    bool m_marking = false;
    bool m_marksPending = false;
    QIcon m_faultIcon;
    QIcon m_duplicateIcon;
    int m_sortColumn = -1;
    bool m_sortDescending = false;
};

#endif
