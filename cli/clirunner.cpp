#include "cli/clirunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <unistd.h>

#include "core/portlist.h"
#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/clisignals.h"
#include "cli/cliwait.h"
#include "cli/portlock.h"
#include "ledger/ledger.h"
#include "link/readerjob.h"
#include "link/readersession.h"

namespace {
// The engine says within this whether the port opened.
constexpr int OpenTimeoutMs = 5000;
// A lost device is opened again every 2 s: two attempts.
constexpr int ReconnectWaitMs = 4500;
// A read that ends on a lost link or a silence runs whole at most this often.
constexpr int ReadRunsMax = 3;

QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}
}

CliRunner::CliRunner(const CliOptions &options, CliOutput &out)
    : m_options(options), m_out(out), m_port(options.port)
{
    m_out.setDataOnStdout(m_options.file == QLatin1String("-"));
    // Even a refused input file names the reader it was meant for.
    m_out.setPort(m_port);
}

CliRunner::~CliRunner() = default;

int CliRunner::run()
{
    int status = ledgerOpen();
    if (status == CliExit::Done)
        status = dispatch();
    ledgerRecord(status);
    // The port is closed and the engine stopped before the result goes out.
    m_session.reset();
    return m_out.finish(m_options.command, m_port, status);
}

int CliRunner::dispatch()
{
    const QString &command = m_options.command;
    if (command == QLatin1String("ports"))
        return ports();
    if (command == QLatin1String("config-read"))
        return configRead();
    if (command == QLatin1String("config-diff"))
        return configDiff();
    if (command == QLatin1String("config-write"))
        return configWrite();
    if (command == QLatin1String("blacklist-read"))
        return blacklistRead();
    if (command == QLatin1String("blacklist-write"))
        return blacklistWrite();
    if (command == QLatin1String("blacklist-diff"))
        return blacklistDiff();
    if (command == QLatin1String("clock-set"))
        return m_options.check ? clockCheck() : clockSet();
    if (command == QLatin1String("badge-read"))
        return badgeRead();
    if (command == QLatin1String("ledger-export"))
        return ledgerExport();
    if (command == QLatin1String("ledger-verify"))
        return ledgerVerify();
    if (command == QLatin1String("ledger-pending"))
        return ledgerPending();
    return CliExit::Usage;
}

void CliRunner::signalled(int signo, int count)
{
    const QString name = CliSignals::Name(signo);
    if (count > 1) {
        const int status = CliExit::Interrupted + signo;
        const QString pending = m_pending.isEmpty() ? tr("Rien n'était en cours d'écriture dans le lecteur.")
                                                    : m_pending;
        m_out.message(tr("%1 : arrêt immédiat.").arg(name));
        m_out.message(pending);
        m_out.set(QStringLiteral("pending"), pending);
        // Nothing more goes to the reader: the engine ends with the process.
        ::_exit(m_out.finish(m_options.command, m_port, status));
    }
    m_signal = signo;
    if (m_job && m_job->isRunning()) {
        m_out.message(tr("%1 : arrêt après l'échange en cours (un second signal arrête "
                         "tout de suite).").arg(name));
        m_job->requestStop();
    } else if (m_stopWaiting) {
        m_stopWaiting();
    }
}

int CliRunner::interruptedStatus() const
{
    return CliExit::Interrupted + (m_signal ? m_signal : SIGINT);
}

int CliRunner::openPort()
{
    m_port = m_options.port;
    if (m_port.isEmpty()) {
        m_port = SerialPortNames(QString()).value(0);
        if (m_port.isEmpty()) {
            m_out.message(tr("Aucun port série trouvé : donnez-en un avec --port PORT."));
            return CliExit::Port;
        }
        m_out.message(tr("Port %1, le premier listé (--port PORT pour un autre).").arg(m_port));
    }
    m_out.setPort(m_port);
    // From here a signal lets the exchange in flight end.
    CliSignals::Arm();
    const PortLock::Result lock = PortLock::take(m_port);
    if (lock.state != PortLock::State::Taken) {
        m_out.message(tr("Impossible d'ouvrir le port : %1.").arg(PortLock::text(lock)));
        return CliExit::Port;
    }
    m_session = std::make_unique<ReaderSession>();
    m_session->engine().LockPort.store(true, std::memory_order_release);
    CliWait opened;
    const QMetaObject::Connection state = QObject::connect(
        m_session.get(), &ReaderSession::portStateChanged, [&opened] { opened.done(); });
    m_stopWaiting = [&opened] { opened.done(); };
    m_session->open(m_port);
    opened.wait(OpenTimeoutMs);
    m_stopWaiting = nullptr;
    QObject::disconnect(state);
    if (m_signal)
        return interruptedStatus();
    if (m_session->isOpen())
        return 0;
    openFailed(lock.device);
    return CliExit::Port;
}

// Said as precisely as the system tells: taken meanwhile, or refused.
void CliRunner::openFailed(const QString &device)
{
    const qint64 holder = PortLock::holderOf(device);
    if (holder > 0 && holder != ::getpid())
        m_out.message(tr("Impossible d'ouvrir le port : port déjà utilisé (processus %1).").arg(holder));
    else
        m_out.message(tr("Impossible d'ouvrir le port : port occupé ou refusé par le système."));
}

int CliRunner::runJob(ReaderJob &job)
{
    if (m_signal)
        return interruptedStatus();
    CliWait ended;
    // The connections end with this run: a job run again reports once.
    QObject run;
    QObject::connect(&job, &ReaderJob::progress, &run, [this](const QString &name, int done, int total) {
        m_out.progress(name, done, total);
    });
    QObject::connect(&job, &ReaderJob::outcomeLine, &run, [this](const QString &text) {
        m_out.summary(text);
        m_ledgerNotes << text;
    });
    QObject::connect(&job, &ReaderJob::journal, &run, [this](const QString &text) {
        m_out.summary(text);
        m_ledgerNotes << text;
    });
    // Each step only in the detailed log (KOVRIM_CLI_LOG).
    QObject::connect(&job, &ReaderJob::stepLine, &run,
                     [](const QString &text) { qDebug("%s", qUtf8Printable(text)); });
    QObject::connect(&job, &ReaderJob::finished, &run, [&ended] { ended.done(); });
    m_job = &job;
    if (!job.start()) {
        m_job = nullptr;
        m_out.message(tr("Liaison perdue : lecteur débranché ?"));
        return CliExit::Port;
    }
    // Every request of a job ends within its time-out: the job ends.
    ended.wait();
    m_job = nullptr;
    int status = CliExitOf(job.outcome());
    const QString step = job.status().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(job.status());
    if (status == CliExit::Interrupted) {
        status = interruptedStatus();
        m_out.message(tr("Interrompu par %1%2.").arg(CliSignals::Name(status - CliExit::Interrupted), step));
    } else if (status == CliExit::NoAnswer) {
        m_out.message(tr("Le lecteur ne répond pas%1.").arg(step));
    } else if (status == CliExit::Port) {
        m_out.message(tr("Liaison perdue : lecteur débranché ?"));
    } else if (status == CliExit::Refused) {
        m_out.message(tr("Refusé par le lecteur%1.").arg(step));
    }
    reportPartial(job);
    return status;
}

int CliRunner::runRead(ReaderJob &job)
{
    for (int run = 1;; ++run) {
        int answers = 0;
        QObject counting;
        QObject::connect(m_session.get(), &ReaderSession::chainAnswered, &counting,
                         [&answers](unsigned int, const ReaderAnswer &answer) {
                             answers += answer.answered ? 1 : 0;
                         });
        const int status = runJob(job);
        if (run == ReadRunsMax)
            return status;
        // Read whole again: no value of an earlier run is mixed in.
        if (status == CliExit::Port && waitReconnected()) {
            m_out.message(tr("Liaison rétablie : lecture reprise depuis le début."));
            continue;
        }
        // A reader that answered, then missed a read twice (a burst of
        // noise, a line kept busy): again. A silent reader fails at once.
        if (status == CliExit::NoAnswer && answers > 0 && !m_signal) {
            m_out.message(tr("Lecture reprise depuis le début."));
            continue;
        }
        return status;
    }
}

bool CliRunner::waitReconnected()
{
    if (!m_session || m_signal)
        return false;
    CliWait back;
    const QMetaObject::Connection state = QObject::connect(
        m_session.get(), &ReaderSession::portStateChanged, [&back](bool open) {
            if (open)
                back.done();
        });
    m_stopWaiting = [&back] { back.done(); };
    if (!m_session->isOpen())
        back.wait(ReconnectWaitMs);
    m_stopWaiting = nullptr;
    QObject::disconnect(state);
    return m_session->isOpen() && !m_signal;
}

// Whatever the job, what it could not put back is named.
void CliRunner::reportPartial(const ReaderJob &job)
{
    const QStringList left = job.partial();
    if (left.isEmpty())
        return;
    m_out.message(tr("Lecteur laissé dans un état partiel : %1.").arg(left.join(QStringLiteral(", "))));
    m_out.set(QStringLiteral("partial"), QJsonArray::fromStringList(left));
}

QString CliRunner::inputPath() const
{
    // Standard input reads like a file, within the same bounds.
    return m_options.file == QLatin1String("-") ? QStringLiteral("/dev/stdin") : m_options.file;
}

int CliRunner::writeOutput(const QByteArray &content)
{
    // Said and counted by the output: a full disk or a closed pipe gives 74.
    return m_out.writeData(content) ? CliExit::Done : CliExit::Stdout;
}
