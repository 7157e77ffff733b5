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

// One line of a configuration file: the identifier is the text before the
// first "=", the value the whole rest of the line (it may hold "=").
struct ConfigLine {
    QString identifier;
    QString value;
};
ConfigLine ConfigLineParse(const QString &line);

// A configuration file is text: a line longer than this, a NUL byte or a
// file larger than ConfigFileMax is refused as a whole.
constexpr int ConfigLineMax = 64 * 1024;
constexpr qint64 ConfigFileMax = 4 * 1024 * 1024;
// Lines end with LF or CR LF; the text is in the local 8-bit encoding.
// False, with `lines` untouched, when the content is not such a text.
bool ConfigFileParse(const QByteArray &content, QList<ConfigLine> *lines);
// identifier "=" value LF in the local encoding. A line break inside the
// value becomes a blank: a value never adds a line to the file.
QByteArray ConfigFileLine(const QString &identifier, const QString &value);

#endif
