#ifndef CLIARGS_H
#define CLIARGS_H

#include <QDate>
#include <QString>
#include <QStringList>

// What the command line asks for. Options may come before or after the
// command; each is accepted only by the commands it means something to.
struct CliOptions {
    QString command;     // "config-read", ...; empty with --help or --version
    QString file;        // the command's FILE, "-" for standard input or output
    QString port;        // empty: the first listed port
    QString backupDir;   // empty: the window's backup folder
    QString ledgerFile;    // empty: kovrim.sqlite in the operator's folder
    QString operatorName;  // empty: the login name
    QDate from;            // ledger-export: first day kept
    QDate to;              // ledger-export: last day kept
    int waitSeconds = 10;
    int toleranceMinutes = 2;  // clock-set --check: a drift beyond it exits 10
    bool json = false;
    bool progress = false;
    bool dryRun = false;
    bool allowEmpty = false;  // blacklist-write: an empty file may clear the reader's list
    bool check = false;
    bool includeIdentity = false;  // config-write: per-reader parameters too
    bool help = false;
    bool version = false;
};

// False, with *error saying why in the operator's words, for a command line
// that is not one of the tool's (exit status 64). `arguments` excludes the
// program name.
bool CliParse(const QStringList &arguments, CliOptions *options, QString *error);
// Whether --json is among the options, for a command line CliParse refused.
bool CliJsonAsked(const QStringList &arguments);

QString CliHelp();
QString CliVersion();

#endif
