#ifndef CLIRUNNER_H
#define CLIRUNNER_H

#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

#include "cli/cliargs.h"
#include "config/paramlogic.h"

struct BlackListTransfer;
class CliOutput;
class ConfigModel;
struct ConfigChange;
class ConfigSaveJob;
class Ledger;
class ReaderJob;
class ReaderSession;

// Runs one command of the command line on one reader, with the core's
// session and jobs, and returns the exit status. Each reader operation
// waits in a local event loop: one process, one reader, one command.
class CliRunner
{
public:
    CliRunner(const CliOptions &options, CliOutput &out);
    ~CliRunner();
    int run();

    // SIGINT, SIGTERM or SIGHUP, the count-th so far. The first lets the
    // exchange in flight end, then the job stops (a writing job puts the
    // reader back) and the command ends with 128 + signo; the second ends
    // the process at once, naming what may be left pending.
    void signalled(int signo, int count);

private:
    int dispatch();
    int ports();
    int configRead();
    int configDiff();
    int configWrite();
    int blacklistRead();
    int blacklistWrite();
    int blacklistDiff();
    int clockSet();
    int clockCheck();
    int badgeRead();
    int ledgerExport();
    int ledgerVerify();
    int ledgerPending();

    // The ledger (cli/cliledger.cpp): opened before a command that writes
    // to a reader, so that nothing is written unrecorded; the write's
    // outcome recorded after it.
    int ledgerOpen();
    void ledgerRecord(int status);

    // 0 once the port is open, else the exit status (said why).
    int openPort();
    void openFailed(const QString &device);
    int interruptedStatus() const;
    // What a stop at once may leave in the reader, for the second signal.
    void setPending(const QString &text) { m_pending = text; }
    // Runs the job to its end: its exit status.
    int runJob(ReaderJob &job);
    // A job that only reads: when the link was lost and the port comes back
    // within a few seconds, or when a reader that answered went silent, the
    // whole read runs again (three runs at most).
    int runRead(ReaderJob &job);
    bool waitReconnected();
    // The reader's whole configuration into the model.
    int loadReader(ConfigModel &model);
    // The configuration file named on the command line (65 when unreadable).
    int readConfigFile(const ConfigModel &model, QList<ConfigLine> *lines);
    // The model's changes after the file was laid over the reader's values.
    int configChanges(QList<ConfigLine> *lines, ConfigModel &model);
    void reportDryRun(const ConfigModel &model, const QList<ConfigChange> &changes);
    void reportWrite(const ConfigSaveJob &job);
    void reportPerReader(const ConfigModel &model, const QList<ConfigChange> &perReader,
                         const QString &what);
    // The entries of the command's blacklist FILE (a CSV when its name ends
    // in .csv) and its rows, normalised; 65 when it cannot be sent.
    int readBlackListInput(BlackListTransfer *transfer, QList<QStringList> *rows);
    // Writes `content` to standard output (FILE "-"): 74 when it cannot.
    int writeOutput(const QByteArray &content);
    void reportPartial(const ReaderJob &job);
    QString inputPath() const;

    const CliOptions &m_options;
    CliOutput &m_out;
    QString m_port;
    std::unique_ptr<ReaderSession> m_session;
    int m_signal = 0;
    ReaderJob *m_job = nullptr;            // the job under way
    std::function<void()> m_stopWaiting;   // ends a wait that is no job's
    QString m_pending;
    std::unique_ptr<Ledger> m_ledger;
    QStringList m_ledgerNotes;  // the jobs' outcome and journal lines
};

#endif
