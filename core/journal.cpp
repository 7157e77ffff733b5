#include "core/journal.h"

#include "util/textfile.h"

bool JournalKeeps(const QString &text)
{
    const QString shown = text.trimmed();
    if (shown.isEmpty() || shown.endsWith(QLatin1String("...")))
        return false;
    // A parameter read or an object commit under way shows its name until
    // the result is appended ("GetValue->", "Get value (3.0.1)", "Save(3) :").
    const bool result = shown.contains(QLatin1String("->")) && !shown.endsWith(QLatin1String("->"));
    if (!result && (shown.startsWith(QLatin1String("Get")) || shown.endsWith(QLatin1String(" :"))
                    || shown.endsWith(QLatin1String("->"))))
        return false;
    return !shown.startsWith(QLatin1String("Polling"))
           && !shown.contains(QLatin1String(" Polling "));
}

QString JournalLine(const QDateTime &when, const QString &text)
{
    QString flat = text;
    for (QChar &c : flat)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) + QStringLiteral("  ") + flat;
}

bool TextFileWrite(const QString &path, const QString &text, QString *error)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    QString ignored;
    return FileWriteWhole(path, bytes, error ? error : &ignored);
}
