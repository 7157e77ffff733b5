#include "cli/clisignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int SignalPipe[2] = {-1, -1};
const int Watched[] = {SIGINT, SIGTERM, SIGHUP};

// Only what a signal handler may do: one byte down the pipe.
void OnSignal(int signo)
{
    const int saved = errno;
    const char byte = char(signo);
    if (::write(SignalPipe[1], &byte, 1) < 0) {
        // A full pipe already holds enough signals to act on.
    }
    errno = saved;
}
}

CliSignals::CliSignals(QObject *parent) : QObject(parent)
{
    if (SignalPipe[0] < 0 && ::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CliSignals::readPipe);
}

void CliSignals::Arm()
{
    if (SignalPipe[1] < 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signo : Watched)
        ::sigaction(signo, &action, nullptr);
}

CliSignals::~CliSignals()
{
    for (const int signo : Watched)
        std::signal(signo, SIG_DFL);
}

QString CliSignals::Name(int signo)
{
    switch (signo) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signo);
    }
}

void CliSignals::readPipe()
{
    char byte = 0;
    while (::read(SignalPipe[0], &byte, 1) == 1)
        emit received(int(byte), ++m_count);
}
