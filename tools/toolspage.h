#ifndef TOOLSPAGE_H
#define TOOLSPAGE_H

#include <QObject>
#include <QString>

#include "link/commandchain.h"
#include "tools/cardaccess.h"
#include "tools/clockjob.h"

namespace Ui {
class MainWindow;
}
class QWidget;
class ReaderSession;
struct ReaderAnswer;

// The pages "Tests" and "Expert" and the clock: raw block and trailer
// access, badge format, output tests, the firmware file.
class ToolsPage : public QObject
{
    Q_OBJECT
public:
    ToolsPage(QWidget *window, Ui::MainWindow *ui, ReaderSession &session,
              const QString &startFolder);

    void readBlock();
    void writeBlock();
    void changeValue(bool increment);
    void readTrailer();
    void writeTrailer();
    void defaultKeys();
    void formatBadge();
    void clockSet();
    void outputTest(const QString &name, const char *id);
    void firmwareFile();
    // The clock setting, for those who follow its runs (the ledger).
    const ClockJob &clockJob() const { return m_clock; }

    // Answers to the page's requests, by operation.
    void CoupleurBlockResultProcess(const ReaderAnswer &reply);
    void TrailerWriteResultProcess(const ReaderAnswer &reply);
    void TrailerReadResultProcess(const ReaderAnswer &reply);
    void BadgeFormatResultProcess(const ReaderAnswer &reply);
    void TestResultProcess(const ReaderAnswer &reply);

signals:
    // Results (the clock setting's outcome, what failed).
    void journal(const QString &text);
    // Each step of the clock setting, for the debug pane.
    void stepLine(const QString &text);
    // A format went to the badge: what the badge form shows of it is gone.
    void badgeFormatted();

private:
    bool CommandSend(char c1, char c2, const QString &payload, unsigned int arg,
                     unsigned int timeoutMs);
    bool BlockCommandPrepare(const char *debugLine, int *block, QString *key,
                             const char *blockErrorLine = nullptr);
    void BlockChangeSend(char c2, int block, const QString &key, BlockChange change);
    bool TrailerCommandPrepare(const char *debugLine, int *block, QString *key);
    bool LockConfirmed(int sector);
    void TrailerFieldsClear();
    bool FormatConfirmed();
    void clockEnded(JobOutcome outcome);

    QWidget *m_window;
    Ui::MainWindow *ui;
    ReaderSession &m_session;
    const QString &m_startFolder;
    ClockJob m_clock;
    bool m_blockReadPending = false;  // the outstanding block command is a read
};

#endif
