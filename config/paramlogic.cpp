#include "config/paramlogic.h"

#include <QTextCodec>

#include "util/textfile.h"

namespace {
const QLatin1Char Dot('.');
const QLatin1Char Equals('=');
constexpr char LineFeed = '\n';

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

bool IsPerReaderParameter(const QString &identifier)
{
    return identifier == QLatin1String("3.0.2") || identifier == QLatin1String("13.1.4");
}

ConfigLine ConfigLineParse(const QString &line)
{
    ConfigLine parsed;
    const int equals = line.indexOf(Equals);
    parsed.hasEquals = equals >= 0;
    parsed.identifier = (parsed.hasEquals ? line.left(equals) : line).trimmed();
    if (parsed.hasEquals)
        parsed.value = line.mid(equals + 1);
    return parsed;
}

namespace {
bool Refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}
}

bool ConfigFileParse(const QByteArray &content, QList<ConfigLine> *lines, QString *reason)
{
    if (content.size() > ConfigFileMax)
        return Refuse(reason, QStringLiteral("fichier trop grand (plus de %1 Mo)")
                                  .arg(ConfigFileMax / (1024 * 1024)));
    if (TextFileHasControlBytes(content))
        return Refuse(reason, QStringLiteral("ce n'est pas un fichier texte"));
    const QList<QByteArray> byteLines = TextFileLines(content);
    if (byteLines.size() > ConfigFileMaxLines)
        return Refuse(reason, QStringLiteral("plus de %1 lignes").arg(ConfigFileMaxLines));
    for (int i = 0; i < byteLines.size(); ++i) {
        if (byteLines.at(i).size() > ConfigLineMax)
            return Refuse(reason, QStringLiteral("ligne %1 trop longue").arg(i + 1));
    }
    QTextCodec *const codec = QTextCodec::codecForLocale();
    QList<ConfigLine> parsed;
    for (int i = 0; i < byteLines.size(); ++i) {
        const QString text = TextFileDecode(byteLines.at(i), codec);
        if (text.trimmed().isEmpty())
            continue;
        parsed.append(ConfigLineParse(text));
        parsed.last().number = i + 1;
    }
    *lines = parsed;
    return true;
}

QByteArray ConfigFileLine(const QString &identifier, const QString &value)
{
    QString text = identifier + Equals + value;
    for (QChar &c : text) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text.toLocal8Bit() + LineFeed;
}
