#include "config/paramlogic.h"

namespace {
const QLatin1Char Dot('.');
const QLatin1Char Equals('=');
constexpr char LineFeed = '\n';
constexpr char CarriageReturn = '\r';

bool IsFrameByte(QChar c)
{
    return c == QChar(0) || c == QChar(0x02) || c == QChar(0x03);
}
}

bool CheckStateFromText(const QString &value)
{
    return value != QLatin1String("0");
}

bool ComboIndexFromText(const QString &value, int count, int *index)
{
    bool converted = false;
    const int chosen = value.toInt(&converted);
    if (!converted || chosen < 0 || chosen >= count)
        return false;
    *index = chosen;
    return true;
}

quint64 ModifOrderKey(const QString &mark)
{
    bool converted = false;
    const quint64 key = mark.toULongLong(&converted);
    return converted ? key : 0;
}

QString ObjectNumber(const QString &identifier)
{
    return identifier.section(Dot, 0, 0);
}

bool ObjectListAdd(QString &objects, const QString &object)
{
    if (object.isEmpty() || objects.split(Dot).contains(object))
        return false;
    if (!objects.isEmpty())
        objects += Dot;
    objects += object;
    return true;
}

QString ValuePutPayload(const QString &identifier, const QString &value)
{
    QString payload;
    for (const QChar c : identifier + Equals + value) {
        if (!IsFrameByte(c))
            payload += c;
    }
    return payload;
}

QString CommitPayload(const QString &object)
{
    return object + QStringLiteral(".255.1=");
}

ConfigLine ConfigLineParse(const QString &line)
{
    const int equals = line.indexOf(Equals);
    if (equals < 0)
        return {line, QString()};
    return {line.left(equals), line.mid(equals + 1)};
}

bool ConfigFileParse(const QByteArray &content, QList<ConfigLine> *lines)
{
    if (content.size() > ConfigFileMax || content.contains('\0'))
        return false;
    QList<ConfigLine> parsed;
    int start = 0;
    while (start < content.size()) {
        int end = content.indexOf(LineFeed, start);
        const int next = end < 0 ? content.size() : end + 1;
        if (end < 0)
            end = content.size();
        int length = end - start;
        if (length > 0 && content.at(end - 1) == CarriageReturn)
            --length;
        if (length > ConfigLineMax)
            return false;
        parsed.append(ConfigLineParse(QString::fromLocal8Bit(content.constData() + start, length)));
        start = next;
    }
    *lines = parsed;
    return true;
}

QByteArray ConfigFileLine(const QString &identifier, const QString &value)
{
    QString text = identifier + Equals + value;
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.toLocal8Bit() + LineFeed;
}
