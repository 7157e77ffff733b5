// The other commands: ports, blacklist, clock and badge.
#include <QCoreApplication>
#include <QJsonObject>
#include <cstdlib>

#include "core/portlist.h"
#include "blacklist/blacklistcheck.h"
#include "blacklist/blacklistjobs.h"
#include "blacklist/blacklisttext.h"
#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/clirunner.h"
#include "config/configjobs.h"
#include "config/configstore.h"
#include "link/readersession.h"
#include "tools/clockjob.h"

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}

}

int CliRunner::ports()
{
    const QList<SerialPortEntry> entries = SerialPortEntries();
    for (const SerialPortEntry &entry : entries) {
        QStringList parts{entry.name};
        if (!entry.description.isEmpty())
            parts << entry.description;
        if (!entry.manufacturer.isEmpty())
            parts << entry.manufacturer;
        m_out.result(parts.join(QStringLiteral("\t")));
        m_out.append(QStringLiteral("ports"), QJsonObject{{"name", entry.name},
                                                          {"description", entry.description},
                                                          {"manufacturer", entry.manufacturer}});
    }
    if (entries.isEmpty()) {
        m_out.set(QStringLiteral("ports"), QJsonArray());
        m_out.message(tr("Aucun port série trouvé."));
    }
    return CliExit::Done;
}

int CliRunner::blacklistRead()
{
    if (const int status = openPort())
        return status;
    BlackListReadJob job(*m_session);
    if (const int status = runRead(job))
        return status;
    m_out.set(QStringLiteral("entries"), QJsonArray::fromStringList(job.entries()));
    QByteArray content;
    if (!BlackListFileContent(job.rows(), &content)) {
        m_out.message(tr("Liste noire du lecteur impossible à écrire : ligne trop longue."));
        return CliExit::OutputFile;
    }
    if (m_options.file == QLatin1String("-"))
        return m_out.json() ? CliExit::Done : writeOutput(content);
    QString error;
    // Written whole or not at all: the old file stays as it was.
    if (!BlackListFileWrite(m_options.file, job.rows(), &error)) {
        m_out.message(tr("Fichier %1 impossible à écrire : %2.").arg(m_options.file, error));
        return CliExit::OutputFile;
    }
    m_out.set(QStringLiteral("file"), m_options.file);
    m_out.message(tr("%1 ligne(s) de liste noire lue(s) dans %2.").arg(job.rows().size()).arg(m_options.file));
    return CliExit::Done;
}

int CliRunner::blacklistWrite()
{
    BlackListTransfer transfer;
    QList<QStringList> rows;
    if (const int status = readBlackListInput(&transfer, &rows))
        return status;
    // A truncated export must not wipe a fleet's blacklist overnight.
    if (transfer.entries.isEmpty() && !m_options.allowEmpty) {
        m_out.message(tr("Fichier %1 vide : la liste noire du lecteur serait effacée "
                         "(--allow-empty pour le vouloir).")
                          .arg(m_options.file));
        return CliExit::InputFile;
    }
    if (const int status = openPort())
        return status;
    setPending(tr("La liste noire du lecteur peut être incomplète : relisez-la (blacklist-read)."));
    BlackListWriteJob write(*m_session);
    write.setTransfer(transfer);
    write.setBackupFolder(m_options.backupDir.isEmpty() ? ConfigBackupFolderDefault() : m_options.backupDir);
    const int status = runJob(write);
    setPending(QString());
    m_out.set(QStringLiteral("sent"), write.sentCount());
    m_out.set(QStringLiteral("restored"), write.restoredCount());
    m_out.set(QStringLiteral("checked"), write.checkedCount());
    if (!write.backupPath().isEmpty())
        m_out.set(QStringLiteral("backup"), write.backupPath());
    return status;
}

int CliRunner::clockSet()
{
    if (const int status = openPort())
        return status;
    const QDateTime now = QDateTime::currentDateTime();
    ClockJob job(*m_session);
    job.setMoment(now);
    setPending(tr("Le lecteur peut avoir la nouvelle date sans la nouvelle heure : "
                  "vérifiez-le (clock-set --check)."));
    const int status = runJob(job);
    setPending(QString());
    if (status)
        return status;
    const ReaderClockTexts texts = ClockTexts(now);
    m_out.result(tr("Lecteur mis à l'heure : %1 %2").arg(texts.date, texts.time));
    m_out.set(QStringLiteral("date"), texts.date);
    m_out.set(QStringLiteral("time"), texts.time);
    return CliExit::Done;
}

int CliRunner::clockCheck()
{
    if (const int status = openPort())
        return status;
    ConfigReadJob job(*m_session);
    job.setIdentifiers({ReaderToolId::ClockDate, ReaderToolId::ClockTime}, tr("Horloge"));
    if (const int status = runRead(job))
        return status;
    const QDateTime now = QDateTime::currentDateTime();
    const std::optional<ReaderClockTexts> texts = ClockTextsRead(job.reads());
    const std::optional<qint64> drift = texts ? ClockDriftSecs(*texts, now) : std::nullopt;
    if (!drift) {
        m_out.message(texts ? tr("Le lecteur donne une heure illisible : %1 %2.").arg(texts->date, texts->time)
                            : tr("Le lecteur ne donne pas son heure."));
        return CliExit::Refused;
    }
    m_out.result(tr("Lecteur : %1 %2, PC : %3, écart : %4%5 min")
                     .arg(texts->date, texts->time, now.toString(QStringLiteral("dd/MM/yy HH:mm")))
                     .arg(*drift > 0 ? QStringLiteral("+") : QString())
                     .arg(*drift / 60));
    m_out.set(QStringLiteral("reader"), ClockMoment(*texts).toString(Qt::ISODate));
    m_out.set(QStringLiteral("pc"), now.toString(Qt::ISODate));
    m_out.set(QStringLiteral("drift_seconds"), double(*drift));
    m_out.set(QStringLiteral("tolerance_minutes"), m_options.toleranceMinutes);
    if (std::abs(*drift) <= qint64(m_options.toleranceMinutes) * 60)
        return CliExit::Done;
    m_out.message(tr("Horloge du lecteur hors tolérance (%1 min) : kovrim-cli --port %2 clock-set.")
                      .arg(m_options.toleranceMinutes)
                      .arg(m_port));
    return CliExit::Differences;
}
