#include "cli/clioutput.h"

#include <QJsonDocument>
#include <unistd.h>

#include "cli/cliexit.h"

namespace {
void WriteLine(FILE *file, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    std::fflush(file);
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

void CliOutput::result(const QString &line)
{
    if (!m_json)
        WriteLine(m_out, line);
}

void CliOutput::message(const QString &text)
{
    endProgressLine();
    WriteLine(m_err, text);
    m_messages.append(text);
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
        const QByteArray bytes = "\r" + text.toLocal8Bit() + "\033[K";
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
        std::fflush(m_err);
        m_progressOnLine = true;
    } else {
        WriteLine(m_err, text);
    }
}

void CliOutput::endProgressLine()
{
    if (!m_progressOnLine)
        return;
    m_progressOnLine = false;
    std::fputc('\n', m_err);
    std::fflush(m_err);
}

int CliOutput::finish(const QString &command, const QString &port, int exitStatus)
{
    endProgressLine();
    if (!m_json)
        return exitStatus;
    QJsonObject object = m_data;
    object.insert(QStringLiteral("command"), command);
    object.insert(QStringLiteral("port"), port);
    object.insert(QStringLiteral("outcome"), CliOutcomeName(exitStatus));
    object.insert(QStringLiteral("exit"), exitStatus);
    object.insert(QStringLiteral("messages"), m_messages);
    // JSON is UTF-8 whatever the locale (cron often runs with none).
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    std::fflush(m_out);
    return exitStatus;
}
