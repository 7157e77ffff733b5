#include "cli/cliexit.h"

int CliExitOf(JobOutcome outcome)
{
    switch (outcome) {
    case JobOutcome::Done:
        return CliExit::Done;
    case JobOutcome::Refused:
        return CliExit::Refused;
    case JobOutcome::NoAnswer:
        return CliExit::NoAnswer;
    case JobOutcome::LinkLost:
        return CliExit::Port;
    case JobOutcome::CheckFailed:
        return CliExit::CheckFailed;
    case JobOutcome::LocalError:
        return CliExit::OutputFile;
    case JobOutcome::Partial:
        return CliExit::Partial;
    case JobOutcome::Interrupted:
        // The signal decides the status (130, 143, 129): the caller knows it.
        return CliExit::Interrupted;
    }
    return CliExit::Refused;
}

QString CliOutcomeName(int exitStatus)
{
    switch (exitStatus) {
    case CliExit::Done:
        return QStringLiteral("done");
    case CliExit::Refused:
        return QStringLiteral("refused");
    case CliExit::NoAnswer:
        return QStringLiteral("no-answer");
    case CliExit::Port:
        return QStringLiteral("port-failed");
    case CliExit::CheckFailed:
        return QStringLiteral("check-failed");
    case CliExit::Partial:
        return QStringLiteral("partial");
    case CliExit::Stdout:
        return QStringLiteral("output-failed");
    case CliExit::Differences:
        return QStringLiteral("differences");
    case CliExit::Usage:
        return QStringLiteral("usage");
    case CliExit::InputFile:
        return QStringLiteral("input-file");
    case CliExit::OutputFile:
        return QStringLiteral("output-file");
    default:
        if (exitStatus > CliExit::Interrupted && exitStatus < CliExit::Interrupted + 32)
            return QStringLiteral("interrupted");
        return QStringLiteral("error");
    }
}
