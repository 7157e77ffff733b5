#include "blacklist/blacklistcheck.h"

#include <QDate>
#include <QHash>
#include <QObject>

#include "blacklist/blacklisttext.h"
#include "util/textutil.h"

using namespace BlackList;

namespace {
// A UID is 4 to 10 bytes: the reader's badges carry 4, 7 or 10.
constexpr int UidMinDigits = 8;
constexpr int UidMaxDigits = 20;

QString Cell(const QStringList &cells, int column)
{
    return cells.value(column);
}

bool IsHex(const QString &text)
{
    for (const QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    return true;
}

QString UidFault(const QString &uid)
{
    if (!IsHex(uid))
        return QObject::tr("UID : chiffres hexadécimaux seulement (0-9, A-F)");
    if (uid.size() < UidMinDigits || uid.size() > UidMaxDigits)
        return QObject::tr("UID : de %1 à %2 chiffres hexadécimaux").arg(UidMinDigits).arg(UidMaxDigits);
    if (uid.size() % 2)
        return QObject::tr("UID : nombre de chiffres impair, un octet est incomplet");
    return QString();
}

// What names the row's holder: its badge, else its user, else its group.
QString Identity(const QStringList &cells)
{
    if (!Cell(cells, ColumnUid).isEmpty())
        return QLatin1String("U") + Cell(cells, ColumnUid);
    if (!Cell(cells, ColumnUser).isEmpty())
        return QLatin1String("N") + Cell(cells, ColumnUser);
    if (!Cell(cells, ColumnGroup).isEmpty())
        return QLatin1String("G") + Cell(cells, ColumnGroup);
    return QString();
}

QString WithoutLeadingZeros(const QString &digits)
{
    int zeros = 0;
    while (zeros + 1 < digits.size() && digits.at(zeros) == QLatin1Char('0'))
        ++zeros;
    return digits.mid(zeros);
}

QDate TableDate(const QString &text)
{
    return QDate::fromString(text.trimmed(), QLatin1String(TableDateFormat));
}
}

QString BlackListUidNormalise(const QString &uid)
{
    QString normal;
    normal.reserve(uid.size());
    for (const QChar c : uid)
        if (!c.isSpace() && c != QLatin1Char(':') && c != QLatin1Char('-'))
            // Only the letters a hexadecimal digit can be: anything else is
            // kept as typed for the check to name.
            normal += c.unicode() < 0x80 ? c.toUpper() : c;
    return normal;
}

QString BlackListCellNormalise(const QString &text, int column)
{
    if (column == ColumnUid)
        return BlackListUidNormalise(text);
    if (column == ColumnUser || column == ColumnGroup)
        return text.trimmed();
    if (column == ColumnDate) {
        const QString date = BlackListDateNormalise(text);
        return date.isEmpty() ? text : date;
    }
    return text;
}

QStringList BlackListRowNormalise(const QStringList &cells)
{
    QStringList normal = cells;
    while (normal.size() < ColumnCount)
        normal << QString();
    for (int column : {ColumnDate, ColumnUid, ColumnUser, ColumnGroup})
        normal[column] = BlackListCellNormalise(normal.at(column), column);
    return normal;
}

QList<QStringList> BlackListRowsNormalise(const QList<QStringList> &rows)
{
    QList<QStringList> normal;
    normal.reserve(rows.size());
    for (const QStringList &cells : rows)
        normal << BlackListRowNormalise(cells);
    return normal;
}

bool BlackListRowIsEmpty(const QStringList &cells)
{
    for (int column : {ColumnUid, ColumnUser, ColumnGroup, ColumnReason})
        if (!Cell(cells, column).trimmed().isEmpty())
            return false;
    return BlackListDateFault(Cell(cells, ColumnDate)).isEmpty();
}

QList<BlackListCellFault> BlackListRowFaults(const QStringList &cells)
{
    QList<BlackListCellFault> faults;
    if (BlackListRowIsEmpty(cells))
        return faults;
    const QString date = BlackListDateFault(Cell(cells, ColumnDate));
    if (!date.isEmpty())
        faults.append({ColumnDate, date});
    const QString uid = Cell(cells, ColumnUid);
    if (!uid.isEmpty()) {
        const QString fault = UidFault(uid);
        if (!fault.isEmpty())
            faults.append({ColumnUid, fault});
    }
    if (!IsAsciiDigits(Cell(cells, ColumnUser)))
        faults.append({ColumnUser, QObject::tr("Utilisateur : chiffres seulement")});
    if (!IsAsciiDigits(Cell(cells, ColumnGroup)))
        faults.append({ColumnGroup, QObject::tr("Groupe : chiffres seulement")});
    if (Identity(cells).isEmpty())
        faults.append({ColumnUid, QObject::tr("Saisir un UID, un utilisateur ou un groupe")});
    return faults;
}

QVector<int> BlackListDuplicateOf(const QList<QStringList> &rows)
{
    QVector<int> duplicateOf(rows.size(), -1);
    QHash<QString, int> first;
    for (int row = 0; row < rows.size(); ++row) {
        const QString identity = Identity(rows.at(row));
        if (identity.isEmpty())
            continue;
        const auto seen = first.constFind(identity);
        if (seen != first.constEnd())
            duplicateOf[row] = seen.value();
        else
            first.insert(identity, row);
    }
    return duplicateOf;
}

BlackListTransfer BlackListTransferPlan(const QList<QStringList> &rows)
{
    BlackListTransfer plan;
    const QVector<int> duplicateOf = BlackListDuplicateOf(rows);
    for (int row = 0; row < rows.size(); ++row) {
        const QStringList &cells = rows.at(row);
        if (!BlackListRowFaults(cells).isEmpty()) {
            plan.invalid.append(row);
        } else if (BlackListRowIsEmpty(cells) || duplicateOf.at(row) >= 0) {
            ++plan.skipped;
        } else {
            plan.entries.append(BlackListCellsToEntry(cells));
            plan.rows.append(row);
            plan.labels.append(BlackListRowLabel(cells));
        }
    }
    if (!plan.invalid.isEmpty()) {
        plan.entries.clear();
        plan.rows.clear();
        plan.labels.clear();
    }
    return plan;
}

bool BlackListTransferEntries(const QList<QStringList> &rows, QStringList *entries,
                              int *invalidRow)
{
    const BlackListTransfer plan = BlackListTransferPlan(rows);
    *entries = plan.entries;
    *invalidRow = plan.invalid.value(0, -1);
    return plan.invalid.isEmpty();
}

QString BlackListRowLabel(const QStringList &cells)
{
    if (!Cell(cells, ColumnUid).isEmpty())
        return Cell(cells, ColumnUid);
    if (!Cell(cells, ColumnUser).isEmpty())
        return QObject::tr("utilisateur %1").arg(Cell(cells, ColumnUser));
    return QObject::tr("groupe %1").arg(Cell(cells, ColumnGroup));
}

bool BlackListRowLess(const QStringList &a, const QStringList &b, int column)
{
    const QString left = Cell(a, column);
    const QString right = Cell(b, column);
    if (column == ColumnDate) {
        const QDate leftDate = TableDate(left);
        const QDate rightDate = TableDate(right);
        // A cell that is no date sorts after every date.
        if (leftDate.isValid() != rightDate.isValid())
            return leftDate.isValid();
        if (leftDate.isValid())
            return leftDate < rightDate;
    }
    if ((column == ColumnUser || column == ColumnGroup) && IsAsciiDigits(left) && IsAsciiDigits(right)
        && !left.isEmpty() && !right.isEmpty()) {
        // Numbers as numbers, whatever their length: fewer digits is smaller
        // once leading zeros are set aside.
        const QString l = WithoutLeadingZeros(left), r = WithoutLeadingZeros(right);
        if (l.size() != r.size())
            return l.size() < r.size();
        return l < r;
    }
    return left.compare(right, Qt::CaseInsensitive) < 0;
}
