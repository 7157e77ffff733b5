#ifndef BADGERECORD_H
#define BADGERECORD_H

#include <QDate>
#include <QString>
#include <QVector>

// Badge record: key=value pairs joined by ';', three-letter keys.

// What the badge form holds, as the record builder needs it.
struct BadgeFormValues {
    bool hasType = false;
    int typeData = 0;
    QString usr, grp, level, uniteTarif, uniteProduit;
    QString validiteText;   // text shown by the validity editor
    QDate validiteDate;     // the editor's date
    QString creationDate;   // "dd/MM/yy"
    QString domaine, remise, firstName, lastName, company, credit;
};

struct RecordPair {
    QString key;
    QString value;
};

// Form to record. ';' and '=' are dropped from every value so that a typed
// text can never add or split a pair.
QString BadgeRecordBuild(const BadgeFormValues &form);
QString RecordValueSanitize(const QString &value);

// Record to pairs: split at ';' (empty parts kept); key before the first
// '=', value between the first and the second '='.
QVector<RecordPair> RecordPairsParse(const QString &record);

// What a record puts into the form, one entry per pair the form shows, in
// record order: dates as "dd/MM/yy", amounts as amount text, "Tyc" as the
// type number, "Lev" as the form's level; "Vda" also carries its date.
// Pairs the form cannot show (unknown key, malformed value) are left out.
struct BadgeFieldText {
    QString key;
    QString text;
    QDate date;
};
QVector<BadgeFieldText> BadgeRecordToFields(const QString &record);

// Reload grid: the record counts from 0, the form from 1.
QString LevelToRecord(const QString &formText);
int LevelFromRecord(const QString &recordValue);
// Record dates are "yyMMdd" in the 2000s; invalid QDate when malformed.
QDate RecordDateParse(const QString &recordValue);

// The user number for the next badge of a forced creation series. The
// form's field holds ten digits: past its largest the number is refused,
// never cut or wrapped. next is empty unless the step is Next.
constexpr qulonglong UserNumberMax = 9999999999ULL;
enum class UserNumberStep { Next, NotANumber, AtMaximum };
UserNumberStep UserNumberNext(const QString &current, QString *next);

#endif
