#ifndef CLIRUNNER_H
#define CLIRUNNER_H

#include <QList>
#include <QStringList>
#include <memory>

#include "cli/cliargs.h"
#include "config/paramlogic.h"

class CliOutput;
class ConfigModel;
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
    // Runs the job to its end: its exit status.
    int runJob(ReaderJob &job);
    // The reader's whole configuration into the model.
    int loadReader(ConfigModel &model);
    // The configuration file named on the command line (65 when unreadable).
    int readConfigFile(const ConfigModel &model, QList<ConfigLine> *lines);
    // The model's changes after the file was laid over the reader's values.
    int configChanges(QList<ConfigLine> *lines, ConfigModel &model);
    void reportDryRun(const ConfigModel &model);
    void reportWrite(const ConfigSaveJob &job);
    // The entries of the command's blacklist FILE (a CSV when its name ends
    // in .csv) and its rows, normalised; 65 when it cannot be sent.
    int readBlackListInput(QStringList *entries, QList<QStringList> *rows);
    // Writes `content` to the command's FILE ("-": standard output).
    int writeOutput(const QByteArray &content);
    QString inputPath() const;

    const CliOptions &m_options;
    CliOutput &m_out;
    QString m_port;
    std::unique_ptr<ReaderSession> m_session;
    std::unique_ptr<Ledger> m_ledger;
    QStringList m_ledgerNotes;  // the jobs' outcome and journal lines
};

#endif
