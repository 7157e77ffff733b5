// kovrim-cli: the window's reader work from a shell, a cron job or a fleet
// tool. One reader per process, so that many readers run at once.
#include <QCoreApplication>
#include <cstdio>

#include "cli/cliargs.h"
#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/clirunner.h"

namespace {
bool LogWanted()
{
    return qEnvironmentVariableIsSet("KOVRIM_CLI_LOG");
}

// The core logs every step of the link: kept out of the technician's way
// unless KOVRIM_CLI_LOG is set.
void LogHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtFatalMsg || type == QtCriticalMsg || LogWanted())
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
}

void Print(FILE *file, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), file);
    std::fflush(file);
}
}

int main(int argc, char *argv[])
{
    qInstallMessageHandler(LogHandler);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kovrim-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOVRIM_VERSION));

    CliOptions options;
    QString error;
    const bool parsed = CliParse(app.arguments().mid(1), &options, &error);
    if (parsed && options.help) {
        Print(stdout, CliHelp());
        return CliExit::Done;
    }
    if (parsed && options.version) {
        Print(stdout, CliVersion() + QLatin1Char('\n'));
        return CliExit::Done;
    }
    CliOutput out(options.json, options.progress || CliOutput::ErrorIsTerminal());
    if (!parsed) {
        out.message(QStringLiteral("kovrim-cli : %1\nEssayez « kovrim-cli --help ».").arg(error));
        return out.finish(options.command, options.port, CliExit::Usage);
    }
    CliRunner runner(options, out);
    return runner.run();
}
