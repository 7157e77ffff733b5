#ifndef BLACKLISTPAGE_H
#define BLACKLISTPAGE_H

#include <QObject>
#include <QString>

#include "blacklist/blacklistjobs.h"
#include "blacklist/tablefile.h"

namespace Ui {
class MainWindow;
}
class QWidget;
class ReaderSession;

// The page "Liste noire": the table, its file, and the write to and read
// from the reader as jobs whose reports the page shows.
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
    QString filePath() const;

signals:
    // Results (a job's outcome, what failed, the page's own results).
    void journal(const QString &text);
    // Each step of a job, for the debug pane.
    void stepLine(const QString &text);

private:
    void writeEnded(JobOutcome outcome);
    void readEnded(JobOutcome outcome);
    void checkNotStarted();
    void setStatus(const QString &text);

    QWidget *m_window;
    Ui::MainWindow *ui;
    const QString &m_startFolder;
    TTableFile m_file;
    BlackListWriteJob m_write;
    BlackListReadJob m_read;
    BlackListReadJob m_check;
    ReaderSession &m_session;
};

#endif
