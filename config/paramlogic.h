#ifndef PARAMLOGIC_H
#define PARAMLOGIC_H

#include <QByteArray>
#include <QList>
#include <QString>

// Plain rules of the reader configuration, shared by the window, the file
// and the tools: no widget here.

// Editor kinds of the "Widget" column.
constexpr const char *KindCheckBox = "10";
constexpr const char *KindComboBox = "20";

// A check box is checked by every value but exactly "0".
bool CheckStateFromText(const QString &value);
// The option index a value chooses among `count` options; false (nothing
// chosen) when the value is not a decimal index in range.
bool ComboIndexFromText(const QString &value, int count, int *index);

// Order key of a "Modifié" text: its decimal value; a text that is not a
// non-negative number counts as 0.
quint64 ModifOrderKey(const QString &mark);

// The object a parameter belongs to: its identifier up to the first ".".
QString ObjectNumber(const QString &identifier);
// Appends `object` to the "."-joined list unless it is empty or listed.
bool ObjectListAdd(QString &objects, const QString &object);

// 'V','P' payloads. A value cannot carry the bytes that end a frame, so
// NUL, STX and ETX are left out rather than cut the request short.
QString ValuePutPayload(const QString &identifier, const QString &value);
QString CommitPayload(const QString &object);

// Parameters that belong to one reader ("Identifiant matériel", "Adresse
// IP"): a file copied from another reader never writes them unasked.
bool IsPerReaderParameter(const QString &identifier);

// One line of a configuration file: the identifier is the text before the
// first "=" (blanks around it trimmed), the value the whole rest of the
// line as written (it may hold "=" and end with blanks).
struct ConfigLine {
    QString identifier;
    QString value;
    int number = 0;         // its line in the file, from 1; 0 when not from a file
    bool hasEquals = true;  // a line without "=" names no value: malformed
    QString text() const { return hasEquals ? identifier + QLatin1Char('=') + value : identifier; }
};
ConfigLine ConfigLineParse(const QString &line);

// A configuration file is text: a file larger than ConfigFileMax, a line
// longer than ConfigLineMax, more than ConfigFileMaxLines lines or a control
// byte other than tab and line ends (a binary file) is refused as a whole.
constexpr int ConfigLineMax = 64 * 1024;
constexpr qint64 ConfigFileMax = 4 * 1024 * 1024;
constexpr int ConfigFileMaxLines = 10000;
// Lines end with LF, CR LF or CR alone; blank lines are left out, the others
// keep their number; the text is in the local 8-bit
// encoding, or Latin-1 when it is not valid in it (files of earlier
// versions). False, with `lines` untouched and *reason saying why in the
// operator's words, when the content is not such a text.
bool ConfigFileParse(const QByteArray &content, QList<ConfigLine> *lines,
                     QString *reason = nullptr);
// identifier "=" value LF in the local encoding. A line break or another
// control character inside the value becomes a blank: a value never adds a
// line to the file, nor makes it unreadable.
QByteArray ConfigFileLine(const QString &identifier, const QString &value);

#endif
