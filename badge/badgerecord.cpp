#include "badge/badgerecord.h"

#include "util/amount.h"
#include "util/textutil.h"

#include <limits>

namespace {

const char *const RecordDateFormat = "yyMMdd";

// Records carry two-digit years of the 2000s only.
bool IsRecordYear(const QDate &date)
{
    return date.isValid() && date.year() >= 2000 && date.year() <= 2099;
}

// Form dates are "dd/MM/yy" meaning 20yy: read with the full year so that
// leap days are checked for the right century (29/02/00 exists).
QDate FormDateParse(const QString &text)
{
    if (text.size() != 8 || text.at(2) != QLatin1Char('/') || text.at(5) != QLatin1Char('/'))
        return QDate();
    const QString day = text.mid(0, 2), month = text.mid(3, 2), year = text.mid(6, 2);
    if (!IsAsciiDigits(day + month + year))
        return QDate();
    return QDate(2000 + year.toInt(), month.toInt(), day.toInt());
}

void AppendPair(QString &record, const char *key, const QString &value)
{
    const QString clean = RecordValueSanitize(value);
    if (clean.isEmpty())
        return;
    record += QLatin1Char(';') + QLatin1String(key) + QLatin1Char('=') + clean;
}

} // namespace

QString RecordValueSanitize(const QString &value)
{
    QString clean;
    clean.reserve(value.size());
    for (const QChar c : value) {
        // Control bytes are dropped too: an ETX would end the frame early.
        if (c == QLatin1Char(';') || c == QLatin1Char('=') || c.unicode() < 0x20
            || c.unicode() == 0x7F)
            continue;
        clean += c;
    }
    return clean;
}

QString BadgeRecordBuild(const BadgeFormValues &form)
{
    QString record = QStringLiteral("Tyc=");
    if (form.hasType)
        record += QString::number(form.typeData);

    AppendPair(record, "Usr", form.usr);
    AppendPair(record, "Grp", form.grp);
    if (!form.level.isEmpty())
        AppendPair(record, "Lev", LevelToRecord(form.level));
    AppendPair(record, "Uni", form.uniteTarif);
    AppendPair(record, "Unp", form.uniteProduit);
    // The reader expects the tariff unit on both sides of the product unit.
    AppendPair(record, "Uni", form.uniteTarif);
    if (!form.validiteText.isEmpty() && IsRecordYear(form.validiteDate))
        AppendPair(record, "Vda", form.validiteDate.toString(RecordDateFormat));
    const QDate creation = FormDateParse(form.creationDate);
    if (creation.isValid())
        AppendPair(record, "Cda", creation.toString(RecordDateFormat));
    AppendPair(record, "Doi", form.domaine);
    AppendPair(record, "Rem", form.remise);
    AppendPair(record, "Naf", form.firstName);
    AppendPair(record, "Nal", form.lastName);
    AppendPair(record, "Nac", form.company);

    // Read as the operator types it; a credit that cannot be read exactly
    // is left out rather than guessed.
    const AmountReading credit = AmountRead(form.credit);
    if (credit.ok)
        AppendPair(record, "Cn0", QString::number(credit.cents));
    return record;
}

QVector<RecordPair> RecordPairsParse(const QString &record)
{
    QVector<RecordPair> pairs;
    for (const QString &part : record.split(QLatin1Char(';'), Qt::KeepEmptyParts))
        pairs.append({part.section(QLatin1Char('='), 0, 0), part.section(QLatin1Char('='), 1, 1)});
    return pairs;
}

QString LevelToRecord(const QString &formText)
{
    const int level = formText.toInt();
    return QString::number(level > 0 ? level - 1 : level);
}

int LevelFromRecord(const QString &recordValue)
{
    const int level = recordValue.toInt();
    return level < std::numeric_limits<int>::max() ? level + 1 : level;
}

QDate RecordDateParse(const QString &recordValue)
{
    if (recordValue.size() != 6 || !IsAsciiDigits(recordValue))
        return QDate();
    return QDate::fromString(QStringLiteral("20") + recordValue, QStringLiteral("yyyyMMdd"));
}

QVector<BadgeFieldText> BadgeRecordToFields(const QString &record)
{
    static const QStringList TextKeys = {"UID", "Usr", "Grp", "Uni", "Rem",
                                         "Unp", "Doi", "Naf", "Nal", "Nac"};
    static const QStringList DateKeys = {"Cda", "Lcd", "Ldd", "Vda"};
    static const QStringList AmountKeys = {"Cn0", "Lct", "Lca", "Ldt"};
    QVector<BadgeFieldText> fields;
    for (const RecordPair &pair : RecordPairsParse(record)) {
        bool converted = false;
        if (TextKeys.contains(pair.key)) {
            fields.append({pair.key, pair.value, QDate()});
        } else if (DateKeys.contains(pair.key)) {
            const QDate date = RecordDateParse(pair.value);
            if (date.isValid())
                fields.append({pair.key, date.toString(QStringLiteral("dd/MM/yy")), date});
        } else if (AmountKeys.contains(pair.key)) {
            const QString amount = CentsStringToAmount(pair.value, converted);
            if (converted)
                fields.append({pair.key, amount, QDate()});
        } else if (pair.key == QLatin1String("Tyc")) {
            const int type = pair.value.toInt(&converted);
            if (converted)
                fields.append({pair.key, QString::number(type), QDate()});
        } else if (pair.key == QLatin1String("Lev")) {
            fields.append({pair.key, QString::number(LevelFromRecord(pair.value)), QDate()});
        }
    }
    return fields;
}

UserNumberStep UserNumberNext(const QString &current, QString *next)
{
    next->clear();
    bool converted = false;
    const qulonglong user = current.toULongLong(&converted);
    if (!converted)
        return UserNumberStep::NotANumber;
    if (user >= UserNumberMax)
        return UserNumberStep::AtMaximum;
    *next = QString::number(user + 1);
    return UserNumberStep::Next;
}
