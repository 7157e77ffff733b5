#include "cli/clirunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "app/portlist.h"
#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/cliwait.h"
#include "ledger/ledger.h"
#include "link/readerjob.h"
#include "link/readersession.h"

namespace {
// The engine says within this whether the port opened.
constexpr int OpenTimeoutMs = 5000;

QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}
}

CliRunner::CliRunner(const CliOptions &options, CliOutput &out) : m_options(options), m_out(out)
{
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

int CliRunner::openPort()
{
    m_port = m_options.port;
    if (m_port.isEmpty()) {
        m_port = SerialPortNames(QString()).value(0);
        if (m_port.isEmpty()) {
            m_out.message(tr("Aucun port série trouvé : donnez-en un avec --port PORT."));
            return CliExit::Port;
        }
    }
    m_session = std::make_unique<ReaderSession>();
    CliWait opened;
    const QMetaObject::Connection state = QObject::connect(
        m_session.get(), &ReaderSession::portStateChanged, [&opened] { opened.done(); });
    m_session->open(m_port);
    opened.wait(OpenTimeoutMs);
    QObject::disconnect(state);
    if (m_session->isOpen())
        return 0;
    const QString device = m_port.contains(QLatin1Char('/')) ? m_port : QStringLiteral("/dev/") + m_port;
    m_out.message(QFileInfo::exists(device)
                      ? tr("Impossible d'ouvrir le port %1 : accès refusé ou port déjà utilisé "
                           "(le compte est-il dans le groupe dialout ?).").arg(m_port)
                      : tr("Impossible d'ouvrir le port %1 : ce port n'existe pas.").arg(m_port));
    return CliExit::Port;
}

int CliRunner::runJob(ReaderJob &job)
{
    CliWait ended;
    QObject::connect(&job, &ReaderJob::progress, [this](const QString &name, int done, int total) {
        m_out.progress(name, done, total);
    });
    QObject::connect(&job, &ReaderJob::journal, [this](const QString &text) {
        m_out.message(text);
        m_ledgerNotes << text;
    });
    QObject::connect(&job, &ReaderJob::outcomeLine, [this](const QString &text) { m_ledgerNotes << text; });
    // Each step only in the detailed log (KOVRIM_CLI_LOG).
    QObject::connect(&job, &ReaderJob::stepLine,
                     [](const QString &text) { qDebug("%s", qUtf8Printable(text)); });
    const QMetaObject::Connection end =
        QObject::connect(&job, &ReaderJob::finished, [&ended] { ended.done(); });
    if (!job.start()) {
        QObject::disconnect(end);
        m_out.message(tr("Liaison perdue : lecteur débranché ?"));
        return CliExit::Port;
    }
    // Every request of a job ends within its time-out: the job ends.
    ended.wait();
    QObject::disconnect(end);
    const int status = CliExitOf(job.outcome());
    const QString step = job.status().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(job.status());
    if (status == CliExit::NoAnswer)
        m_out.message(tr("Le lecteur ne répond pas%1.").arg(step));
    else if (status == CliExit::Port)
        m_out.message(tr("Liaison perdue : lecteur débranché ?"));
    else if (status == CliExit::Refused)
        m_out.message(tr("Refusé par le lecteur%1.").arg(step));
    return status;
}

QString CliRunner::inputPath() const
{
    // Standard input reads like a file, within the same bounds.
    return m_options.file == QLatin1String("-") ? QStringLiteral("/dev/stdin") : m_options.file;
}

int CliRunner::writeOutput(const QByteArray &content)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(content) != content.size()
        || !out.flush()) {
        m_out.message(tr("Sortie standard impossible à écrire."));
        return CliExit::OutputFile;
    }
    return CliExit::Done;
}
