// kovrim-cli: the window's reader work from a shell, a cron job or a fleet
// tool. One reader per process, so that many readers run at once.
#include <QCoreApplication>
#include <csignal>
#include <cstdio>

#include "cli/cliargs.h"
#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/clirunner.h"
#include "cli/clisignals.h"

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

int Print(FILE *file, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    return std::fflush(file) == 0 && written == size_t(bytes.size()) ? CliExit::Done : CliExit::Stdout;
}
}

int main(int argc, char *argv[])
{
    qInstallMessageHandler(LogHandler);
    // A closed pipe or a file size limit is an error to report (74, 73),
    // not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kovrim-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOVRIM_VERSION));

    CliOptions options;
    QString error;
    const bool parsed = CliParse(app.arguments().mid(1), &options, &error);
    if (parsed && options.help)
        return Print(stdout, CliHelp());
    if (parsed && options.version)
        return Print(stdout, CliVersion() + QLatin1Char('\n'));
    // A fleet tool that asked for JSON gets it, even for a wrong command line.
    const bool json = parsed ? options.json : CliJsonAsked(app.arguments().mid(1));
    CliOutput out(json, options.progress || CliOutput::ErrorIsTerminal());
    if (!parsed) {
        out.message(QStringLiteral("kovrim-cli : %1").arg(error));
        out.message(QStringLiteral("Essayez « kovrim-cli --help »."));
        out.set(QStringLiteral("error"), error);
        return out.finish(options.command, options.port, CliExit::Usage);
    }
    CliRunner runner(options, out);
    CliSignals signalWatch;
    QObject::connect(&signalWatch, &CliSignals::received,
                     [&runner](int signo, int count) { runner.signalled(signo, count); });
    return runner.run();
}
