#ifndef CLISIGNALS_H
#define CLISIGNALS_H

#include <QObject>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP as events of the main loop (a pipe written by
// the handler): the command decides what a stop means between two
// exchanges. Each signal is reported with how many came so far. Until
// Arm(), a signal ends the process as usual: nothing has reached a reader,
// and a read of standard input is not left waiting.
class CliSignals : public QObject
{
    Q_OBJECT
public:
    explicit CliSignals(QObject *parent = nullptr);
    ~CliSignals() override;

    // The status a shell gives a process ended by `signo`: 128 + signo.
    static int ExitStatus(int signo) { return 128 + signo; }
    static QString Name(int signo);
    // From now on the signals are the command's to handle.
    static void Arm();

signals:
    void received(int signo, int count);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    int m_count = 0;
};

#endif
