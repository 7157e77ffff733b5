#include "blacklist/blacklistcsv.h"

#include <QTextCodec>

#include <algorithm>

#include "blacklist/blacklisttext.h"
#include "util/textfile.h"
#include "util/textutil.h"

using namespace BlackList;

namespace {
const char Utf8Bom[] = "\xEF\xBB\xBF";
const QChar Quote = QLatin1Char('"');

bool IsLineEnd(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The logical records of a CSV text, one at a time: one pass over the text,
// whatever its size.
class CsvRecords
{
public:
    explicit CsvRecords(const QString &text) : m_text(text) {}

    // Lines of blanks only hold no record.
    void skipBlankLines();
    bool atEnd() const { return m_pos >= m_text.size(); }
    // The fields of the record at the current position. False at an
    // unterminated quote; quoteLine() then tells where it opened.
    bool read(QChar separator, QStringList *fields);
    // Of these candidates, the one occurring most outside quotes in the
    // record at the current position; the first on a tie or when none does.
    QChar likeliestSeparator(const QString &candidates) const;
    int quoteLine() const { return m_quoteLine; }

private:
    void skipLineEnd();
    bool readQuoted(QString *field);

    const QString &m_text;
    int m_pos = 0;
    int m_line = 1;
    int m_quoteLine = 0;
};

void CsvRecords::skipLineEnd()
{
    if (m_text.at(m_pos) == QLatin1Char('\r') && m_pos + 1 < m_text.size()
        && m_text.at(m_pos + 1) == QLatin1Char('\n'))
        ++m_pos;
    ++m_pos;
    ++m_line;
}

void CsvRecords::skipBlankLines()
{
    for (;;) {
        int pos = m_pos;
        while (pos < m_text.size() && IsBlank(m_text.at(pos)))
            ++pos;
        if (pos < m_text.size() && !IsLineEnd(m_text.at(pos)))
            return;
        m_pos = pos;
        if (atEnd())
            return;
        skipLineEnd();
    }
}

// The rest of a field opened by a quote, up to its closing quote.
bool CsvRecords::readQuoted(QString *field)
{
    const int openLine = m_line;
    while (m_pos < m_text.size()) {
        const QChar c = m_text.at(m_pos);
        if (c == Quote) {
            ++m_pos;
            if (m_pos >= m_text.size() || m_text.at(m_pos) != Quote)
                return true;
            field->append(Quote);
            ++m_pos;
        } else if (IsLineEnd(c)) {
            const int start = m_pos;
            skipLineEnd();
            field->append(m_text.midRef(start, m_pos - start));
        } else {
            field->append(c);
            ++m_pos;
        }
    }
    m_quoteLine = openLine;
    return false;
}

bool CsvRecords::read(QChar separator, QStringList *fields)
{
    fields->clear();
    QString field;
    bool fieldStart = true;
    while (m_pos < m_text.size()) {
        const QChar c = m_text.at(m_pos);
        if (IsLineEnd(c)) {
            skipLineEnd();
            break;
        }
        ++m_pos;
        if (c == separator) {
            fields->append(field);
            field.clear();
            fieldStart = true;
            continue;
        }
        // A quote opens a quoted part only at the start of a field;
        // elsewhere it is text.
        if (c == Quote && fieldStart) {
            if (!readQuoted(&field))
                return false;
        } else {
            field.append(c);
        }
        fieldStart = false;
    }
    fields->append(field);
    return true;
}

QChar CsvRecords::likeliestSeparator(const QString &candidates) const
{
    QVector<int> counts(candidates.size(), 0);
    bool quoted = false;
    for (int pos = m_pos; pos < m_text.size(); ++pos) {
        const QChar c = m_text.at(pos);
        if (c == Quote)
            quoted = !quoted;  // a doubled quote toggles twice
        else if (!quoted && IsLineEnd(c))
            break;
        else if (!quoted && candidates.contains(c))
            ++counts[candidates.indexOf(c)];
    }
    int best = 0;
    for (int i = 1; i < candidates.size(); ++i) {
        if (counts.at(i) > counts.at(best))
            best = i;
    }
    return candidates.at(best);
}

// The text of the content: UTF-8 (its byte order mark dropped), else Latin-1.
QString CsvDecode(const QByteArray &content)
{
    const QByteArray bytes = content.startsWith(Utf8Bom) ? content.mid(3) : content;
    return TextFileDecode(bytes, QTextCodec::codecForName("UTF-8"));
}

const QStringList &ColumnNames()
{
    static const QStringList names = QString::fromLatin1(BlackListCsv::Header).split(QLatin1Char(';'));
    return names;
}

// The table column a header field names, or -1.
int NamedColumn(const QString &field)
{
    const QString name = field.trimmed();
    for (int column = 0; column < ColumnCount; ++column) {
        if (name.compare(ColumnNames().at(column), Qt::CaseInsensitive) == 0)
            return column;
    }
    return -1;
}

// For each field of the header, the table column it names, or -1; a column
// named twice is taken from its first field.
QVector<int> HeaderColumns(const QStringList &header)
{
    QVector<int> columns;
    bool found[ColumnCount] = {};
    for (const QString &field : header) {
        const int column = NamedColumn(field);
        columns.append(column >= 0 && !found[column] ? column : -1);
        if (column >= 0)
            found[column] = true;
    }
    return columns;
}

QStringList TableRow(const QStringList &fields, const QVector<int> &columns)
{
    QStringList row;
    for (int i = 0; i < ColumnCount; ++i)
        row.append(QString());
    for (int i = 0; i < fields.size() && i < columns.size(); ++i) {
        if (columns.at(i) >= 0)
            row[columns.at(i)] = fields.at(i);
    }
    return row;
}

QString NoColumnRefusal()
{
    return QStringLiteral("aucune colonne reconnue (%1)").arg(ColumnNames().join(QStringLiteral(", ")));
}

// The rows of an accepted text; an empty refusal when they are read.
QString CsvRows(const QString &text, QList<QStringList> *rows)
{
    CsvRecords records(text);
    records.skipBlankLines();
    if (records.atEnd())
        return NoColumnRefusal();
    const QChar separator = records.likeliestSeparator(QStringLiteral(";,\t"));
    QStringList fields;
    if (!records.read(separator, &fields))
        return QStringLiteral("guillemet non fermé ligne %1").arg(records.quoteLine());
    const QVector<int> columns = HeaderColumns(fields);
    if (std::all_of(columns.begin(), columns.end(), [](int column) { return column < 0; }))
        return NoColumnRefusal();
    for (records.skipBlankLines(); !records.atEnd(); records.skipBlankLines()) {
        if (!records.read(separator, &fields))
            return QStringLiteral("guillemet non fermé ligne %1").arg(records.quoteLine());
        rows->append(TableRow(fields, columns));
        const QString refusal = BlackListRowCountRefusal(rows->size());
        if (!refusal.isEmpty())
            return refusal;
    }
    return QString();
}
}

QByteArray BlackListCsvContent(const QList<QStringList> &rows)
{
    QList<QStringList> lines{QString::fromLatin1(BlackListCsv::Header).split(QLatin1Char(';'))};
    for (const QStringList &cells : rows) {
        QStringList line;
        for (int column = 0; column < ColumnCount; ++column)
            line << cells.value(column);
        lines << line;
    }
    return CsvContent(lines);
}

bool BlackListCsvParse(const QByteArray &content, QList<QStringList> *rows, QString *reason)
{
    QList<QStringList> parsed;
    QString refusal = BlackListContentRefusal(content);
    if (refusal.isEmpty())
        refusal = CsvRows(CsvDecode(content), &parsed);
    if (!refusal.isEmpty()) {
        if (reason)
            *reason = refusal;
        return false;
    }
    *rows = parsed;
    return true;
}

bool BlackListCsvRead(const QString &path, QList<QStringList> *rows, QString *reason)
{
    QByteArray content;
    return FileReadBounded(path, MaxFileBytes, &content, reason)
           && BlackListCsvParse(content, rows, reason);
}

bool BlackListCsvWrite(const QString &path, const QList<QStringList> &rows, QString *error)
{
    const QByteArray content = BlackListCsvContent(rows);
    // What the import would refuse (a cell over the line bound, too many
    // rows) is not exported: the file would not come back.
    QList<QStringList> readBack;
    return BlackListCsvParse(content, &readBack, error) && FileWriteWhole(path, content, error);
}
