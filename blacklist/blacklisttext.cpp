#include "blacklist/blacklisttext.h"

#include <QCoreApplication>
#include <QDate>
#include <QRegularExpression>
#include <QTextCodec>

#include "util/textfile.h"

using namespace BlackList;

QString BlackListCellClean(const QString &text, int column)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char(';') || c.category() == QChar::Other_Control)
            continue;
        if (c == QLatin1Char('=') && column < ColumnReason)
            continue;
        clean.append(c);
    }
    return clean;
}

QString BlackListLineDecode(const QByteArray &bytes)
{
    QByteArray line = bytes;
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return TextFileDecode(line, QTextCodec::codecForName("UTF-8"));
}

namespace {
// The number (from 1) of the first line longer than MaxLineBytes; 0 when none is.
int FirstLongLine(const QByteArray &content)
{
    int line = 1;
    int length = 0;
    for (int i = 0; i < content.size(); ++i) {
        const char c = content.at(i);
        if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < content.size() && content.at(i + 1) == '\n')
                ++i;
            ++line;
            length = 0;
        } else if (++length > MaxLineBytes) {
            return line;
        }
    }
    return 0;
}
}

QString BlackListContentRefusal(const QByteArray &content)
{
    if (content.size() > MaxFileBytes)
        return QStringLiteral("fichier trop grand (plus de %1 Mo)").arg(MaxFileBytes / (1024 * 1024));
    if (TextFileHasControlBytes(content))
        return QStringLiteral("ce n'est pas un fichier texte");
    if (const int line = FirstLongLine(content))
        return QStringLiteral("ligne %1 trop longue").arg(line);
    return QString();
}

QString BlackListRowCountRefusal(int rows)
{
    return rows > MaxFileRows ? QStringLiteral("plus de %1 lignes").arg(MaxFileRows) : QString();
}

bool BlackListFileParse(const QByteArray &content, QList<QStringList> *rows, QString *reason)
{
    QString refusal = BlackListContentRefusal(content);
    QList<QByteArray> lines;
    if (refusal.isEmpty()) {
        lines = TextFileLines(content);
        refusal = BlackListRowCountRefusal(lines.size());
    }
    if (!refusal.isEmpty()) {
        if (reason)
            *reason = refusal;
        return false;
    }
    QList<QStringList> parsed;
    for (const QByteArray &line : lines)
        parsed.append(BlackListLineToCells(BlackListLineDecode(line)));
    *rows = parsed;
    return true;
}

QStringList BlackListLineToCells(const QString &line)
{
    QStringList cells = line.split(QLatin1Char(';'));
    while (cells.size() > ColumnCount)
        cells.removeLast();
    while (cells.size() < ColumnCount)
        cells.append(QString());
    return cells;
}

namespace {
// Two digits each. The century is taken as 2000-2099 for the check only,
// so that 29/02/00 is a date (a 1900-based reading would refuse it).
bool SplitDate(const QString &text, const QRegularExpression &pattern, int *year, int *month, int *day)
{
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    *year = match.captured(QStringLiteral("y")).toInt();
    *month = match.captured(QStringLiteral("m")).toInt();
    *day = match.captured(QStringLiteral("d")).toInt();
    return QDate(2000 + *year, *month, *day).isValid();
}

QString TwoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

const QString EntryKeys[] = {QStringLiteral("Cda"), QStringLiteral("UID"), QStringLiteral("Usr"),
                             QStringLiteral("Grp")};
}

QString BlackListDateToEntry(const QString &date)
{
    int year = 0, month = 0, day = 0;
    // Compiled once: the transfer and the file read convert every row.
    static const QRegularExpression tableDate(QStringLiteral("^(?<d>\\d\\d)/(?<m>\\d\\d)/(?<y>\\d\\d)$"));
    if (!SplitDate(date, tableDate, &year, &month, &day))
        return QString();
    return TwoDigits(year) + TwoDigits(month) + TwoDigits(day);
}

QString BlackListDateFromEntry(const QString &date)
{
    int year = 0, month = 0, day = 0;
    static const QRegularExpression entryDate(QStringLiteral("^(?<y>\\d\\d)(?<m>\\d\\d)(?<d>\\d\\d)$"));
    if (!SplitDate(date, entryDate, &year, &month, &day))
        return date;
    return TwoDigits(day) + QLatin1Char('/') + TwoDigits(month) + QLatin1Char('/') + TwoDigits(year);
}

QString BlackListCellsToEntry(const QStringList &cells)
{
    QStringList pairs;
    pairs << EntryKeys[0] + QLatin1Char('=') + BlackListDateToEntry(cells.value(ColumnDate).trimmed());
    for (int column = ColumnUid; column <= ColumnGroup; ++column)
        pairs << EntryKeys[column] + QLatin1Char('=') + BlackListCellClean(cells.value(column), column);
    return pairs.join(QLatin1Char(';'));
}

bool BlackListEntryToCells(const QString &entry, QStringList *cells)
{
    if (entry.isEmpty())
        return false;
    QStringList row;
    for (int column = 0; column < ColumnCount; ++column)
        row.append(QString());
    for (const QString &pair : entry.split(QLatin1Char(';'))) {
        const int eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return false;
        const QString key = pair.left(eq);
        for (int column = ColumnDate; column <= ColumnGroup; ++column) {
            if (key != EntryKeys[column])
                continue;
            const QString value = BlackListCellClean(pair.mid(eq + 1), column);
            row[column] = column == ColumnDate ? BlackListDateFromEntry(value) : value;
        }
    }
    *cells = row;
    return true;
}

QString BlackListCellsToLine(const QStringList &cells)
{
    QString line;
    for (int column = 0; column < cells.size(); ++column)
        line += BlackListCellClean(cells.at(column), column) + QLatin1Char(';');
    return line;
}

bool BlackListFileContent(const QList<QStringList> &rows, QByteArray *content)
{
    QByteArray bytes;
    for (const QStringList &cells : rows) {
        const QByteArray line = BlackListCellsToLine(cells).toUtf8();
        if (line.size() > MaxLineBytes)
            return false;
        bytes += line + '\n';
    }
    *content = bytes;
    return true;
}

bool BlackListFileRead(const QString &path, QList<QStringList> *rows, QString *reason)
{
    QByteArray content;
    return FileReadBounded(path, BlackList::MaxFileBytes, &content, reason)
           && BlackListFileParse(content, rows, reason);
}

bool BlackListFileWrite(const QString &path, const QList<QStringList> &rows, QString *error)
{
    QByteArray content;
    if (!BlackListFileContent(rows, &content)) {
        *error = QCoreApplication::translate("BlackList", "ligne trop longue");
        return false;
    }
    return FileWriteWhole(path, content, error);
}
