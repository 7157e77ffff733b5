#ifndef CLIEXIT_H
#define CLIEXIT_H

#include <QString>

#include "link/readerjob.h"

// Exit statuses of kovrim-cli: what a shell or a fleet tool tests.
namespace CliExit {
constexpr int Done = 0;
constexpr int Refused = 1;      // the reader refused a request
constexpr int NoAnswer = 2;     // no answer within the time-outs (or no badge)
constexpr int Port = 3;         // the port cannot be opened, or was lost
constexpr int CheckFailed = 4;  // what was read back differs from what was written
constexpr int Partial = 5;      // the reader was left in a partial state (named)
constexpr int Differences = 10; // config-diff: the reader differs from the file
constexpr int Usage = 64;       // the command line is wrong
constexpr int InputFile = 65;   // the input file cannot be read or is not of its kind
constexpr int OutputFile = 73;  // a backup or output file cannot be written
constexpr int Stdout = 74;      // a result could not be written to standard output
// Stopped by a signal: 128 + its number (SIGHUP 129, SIGINT 130, SIGTERM 143).
constexpr int Interrupted = 128;
}

int CliExitOf(JobOutcome outcome);
// The outcome's word in the JSON object ("done", "refused", ...).
QString CliOutcomeName(int exitStatus);

#endif
