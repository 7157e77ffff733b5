#include "blacklist/blacklisttext.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QSaveFile>
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
    QStringList faults;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = BlackListLineDecode(lines.at(i));
        const QString fault = BlackListLineFault(line);
        if (!fault.isEmpty())
            faults << QStringLiteral("ligne %1 : %2").arg(i + 1).arg(fault);
        parsed.append(BlackListLineToCells(line));
    }
    if (!faults.isEmpty()) {
        // The first few name the fault; a file of 52 such lines needs no 52.
        constexpr int Named = 5;
        if (reason)
            *reason = faults.mid(0, Named).join(QStringLiteral(" ; "))
                      + (faults.size() > Named ? QStringLiteral(" (et %1 autres)").arg(faults.size() - Named)
                                               : QString());
        return false;
    }
    *rows = parsed;
    return true;
}

QString BlackListLineFault(const QString &line)
{
    if (line.trimmed().isEmpty())
        return QString();
    const int fields = line.count(QLatin1Char(';')) + 1;
    // The reason is the last cell and never sent: a line may end before it.
    if (fields >= ColumnCount - 1)
        return QString();
    const QString expected = QStringLiteral("(date;UID;utilisateur;groupe;raison)");
    if (fields == 1 && line.contains(QLatin1Char(',')))
        return QStringLiteral("séparateur « , » au lieu de « ; » %1").arg(expected);
    if (fields == 1 && line.contains(QLatin1Char('\t')))
        return QStringLiteral("séparateur tabulation au lieu de « ; » %1").arg(expected);
    return QStringLiteral("%1 au lieu de 5 %2")
        .arg(fields > 1 ? QStringLiteral("%1 champs").arg(fields) : QStringLiteral("1 champ"), expected);
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

namespace {
// The forms a date is read in; compiled once, every row of a file goes through.
const QRegularExpression &DayFirstDate()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(?<d>\\d{1,2})/(?<m>\\d{1,2})/(?<y>\\d\\d|\\d{4})$"));
    return pattern;
}

const QRegularExpression &IsoDate()
{
    static const QRegularExpression pattern(QStringLiteral("^(?<y>\\d{4})-(?<m>\\d\\d)-(?<d>\\d\\d)$"));
    return pattern;
}
}

QString BlackListDateNormalise(const QString &text)
{
    const QString date = text.trimmed();
    QRegularExpressionMatch match = DayFirstDate().match(date);
    if (!match.hasMatch())
        match = IsoDate().match(date);
    if (!match.hasMatch())
        return QString();
    const QString yearText = match.captured(QStringLiteral("y"));
    const int year = yearText.toInt();
    const int month = match.captured(QStringLiteral("m")).toInt();
    const int day = match.captured(QStringLiteral("d")).toInt();
    // The reader keeps two digits: the day must exist in the year given and
    // in the one its two digits read back as.
    if (yearText.size() == 4 && !QDate(year, month, day).isValid())
        return QString();
    if (!QDate(2000 + year % 100, month, day).isValid())
        return QString();
    return TwoDigits(day) + QLatin1Char('/') + TwoDigits(month) + QLatin1Char('/') + TwoDigits(year % 100);
}

QString BlackListDateFault(const QString &text)
{
    const QString date = text.trimmed();
    if (date.isEmpty() || !BlackListDateNormalise(date).isEmpty())
        return QString();
    if (DayFirstDate().match(date).hasMatch() || IsoDate().match(date).hasMatch())
        return QCoreApplication::translate("BlackList", "Date : le %1 n'existe pas").arg(date);
    return QCoreApplication::translate("BlackList", "Date : jj/mm/aa attendue");
}

QString BlackListDateToEntry(const QString &date)
{
    const QString normal = BlackListDateNormalise(date);
    if (normal.isEmpty())
        return QString();
    return normal.mid(6, 2) + normal.mid(3, 2) + normal.mid(0, 2);
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

namespace {
// A reader's value in a file name: what a file system would refuse or read
// as a folder becomes "_".
QString NamePart(const QString &value)
{
    QString part = value.trimmed().left(40);
    if (part.isEmpty())
        return QStringLiteral("inconnu");
    for (QChar &c : part)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return part;
}

constexpr int BackupCopiesMax = 1000;
}

QString BlackListBackupWrite(const QString &folder, const QString &model, const QString &serial,
                             const QList<QStringList> &rows, const QDateTime &when, QString *error)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("BlackList", text); };
    QByteArray content;
    if (!BlackListFileContent(rows, &content)) {
        *error = tr("ligne trop longue");
        return QString();
    }
    if (!QDir().mkpath(folder)) {
        *error = tr("dossier %1 impossible à créer").arg(QDir::toNativeSeparators(folder));
        return QString();
    }
    const QString name = QStringLiteral("listenoire-%1-%2-%3")
                             .arg(NamePart(model), NamePart(serial),
                                  when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    for (int copy = 1; copy <= BackupCopiesMax; ++copy) {
        const QString path = QDir(folder).filePath(
            name + (copy > 1 ? QStringLiteral("-%1").arg(copy) : QString()) + QStringLiteral(".txt"));
        // The name is taken atomically first, then filled whole.
        QFile reserve(path);
        if (!reserve.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (reserve.exists())
                continue;
            *error = reserve.errorString();
            return QString();
        }
        reserve.close();
        QSaveFile file(path);
        // commit() does not report a last buffer that could not be written:
        // flushed and checked before.
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush()
            || !file.commit()) {
            *error = file.errorString();
            file.cancelWriting();
            QFile::remove(path);
            return QString();
        }
        return path;
    }
    *error = tr("plus de %1 sauvegardes de ce lecteur dans la même seconde").arg(BackupCopiesMax);
    return QString();
}
