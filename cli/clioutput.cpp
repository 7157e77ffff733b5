#include "cli/clioutput.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <cerrno>
#include <unistd.h>

#include "cli/cliexit.h"
#include "util/textfile.h"

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}

bool WriteAll(FILE *file, const QByteArray &bytes)
{
    errno = 0;
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    return std::fflush(file) == 0 && written == size_t(bytes.size());
}
}

CliOutput::CliOutput(bool json, bool progress, FILE *out, FILE *err)
    : m_json(json), m_progress(progress), m_out(out), m_err(err)
{
}

bool CliOutput::ErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

QString CliOutput::withPort(const QString &text) const
{
    return m_port.isEmpty() ? text : QStringLiteral("%1 : %2").arg(m_port, text);
}

bool CliOutput::writeOut(const QByteArray &bytes)
{
    if (m_outError >= 0)
        return false;
    if (WriteAll(m_out, bytes))
        return true;
    m_outError = errno;
    return false;
}

void CliOutput::result(const QString &line)
{
    if (m_json)
        return;
    endProgressLine();
    writeOut(line.toLocal8Bit() + '\n');
}

void CliOutput::summary(const QString &line)
{
    append(QStringLiteral("summary"), line);
    if (m_json)
        return;
    endProgressLine();
    if (m_dataOnStdout)
        WriteAll(m_err, withPort(line).toLocal8Bit() + '\n');
    else
        writeOut(line.toLocal8Bit() + '\n');
}

void CliOutput::message(const QString &text)
{
    endProgressLine();
    const QString line = withPort(text);
    WriteAll(m_err, line.toLocal8Bit() + '\n');
    m_messages.append(line);
}

bool CliOutput::writeData(const QByteArray &bytes)
{
    endProgressLine();
    return writeOut(bytes);
}

void CliOutput::append(const QString &key, const QJsonValue &value)
{
    QJsonArray array = m_data.value(key).toArray();
    array.append(value);
    m_data.insert(key, array);
}

void CliOutput::progress(const QString &name, int done, int total)
{
    if (!m_progress)
        return;
    const QString text = QStringLiteral("%1 %2 / %3").arg(name).arg(done).arg(total);
    if (text == m_lastProgress)
        return;
    m_lastProgress = text;
    // A terminal shows one line rewritten; a file or a pipe gets lines.
    if (ErrorIsTerminal()) {
        WriteAll(m_err, "\r" + text.toLocal8Bit() + "\033[K");
        m_progressOnLine = true;
    } else {
        WriteAll(m_err, text.toLocal8Bit() + '\n');
    }
}

// Erased, not ended: a result or a message takes the line.
void CliOutput::endProgressLine()
{
    if (!m_progressOnLine)
        return;
    m_progressOnLine = false;
    WriteAll(m_err, "\r\033[K");
}

int CliOutput::finish(const QString &command, const QString &port, int exitStatus)
{
    endProgressLine();
    if (m_json) {
        QJsonObject object = m_data;
        object.insert(QStringLiteral("command"), command);
        object.insert(QStringLiteral("port"), port);
        object.insert(QStringLiteral("outcome"), CliOutcomeName(exitStatus));
        object.insert(QStringLiteral("exit"), exitStatus);
        object.insert(QStringLiteral("messages"), m_messages);
        // JSON is UTF-8 whatever the locale (cron often runs with none).
        writeOut(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
    }
    if (m_outError < 0)
        return exitStatus;
    // A failure of its own outranks the lost output; a success does not.
    WriteAll(m_err, withPort(tr("Sortie standard impossible à écrire : %1.")
                                 .arg(SystemErrorText(m_outError)))
                        .toLocal8Bit()
                    + '\n');
    return exitStatus == CliExit::Done || exitStatus == CliExit::Differences ? CliExit::Stdout
                                                                             : exitStatus;
}
