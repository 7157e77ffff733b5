#ifndef TEXTUTIL_H
#define TEXTUTIL_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

// Amounts are whole numbers of hundredths; their text is "units.cc".
QString CentsToString(quint32 cents);
// Decimal text of a (possibly negative) number of cents to amount text.
QString CentsStringToAmount(const QString &text, bool &ok);
// Amount typed by the user ("12", "12.", "12.5", "12.05", "-1.50") to cents.
qint32 AmountToCents(const QString &text, bool &ok);

// A request payload travels in one frame: at most this many bytes of the
// local 8-bit encoding. Longer ones are refused by the link, so whoever
// builds one from typed text checks it first and says why.
constexpr int PayloadMaxBytes = 999;
bool PayloadFits(const QString &payload);
// A typed value that goes into a frame: no control character (NUL ends the
// payload, STX and ETX the frame; the others are no text).
bool HasControlCharacter(const QString &text);
// Only "0"-"9" (QChar::isDigit takes other scripts' digits too).
bool IsAsciiDigits(const QString &text);

// Byte and field helpers on NUL-terminated 8-bit buffers. Every function
// that writes into a caller's buffer takes its size and never writes past it.
char *BytesToHexString(const quint8 *bytes, char *out, std::size_t outSize, quint8 count,
                       const char *prefix, const char *separator);
quint32 HexStringToValue(const char *text);
void HexStringToBytes(const char *text, quint8 *out, quint8 maxCount);
quint8 StringField(char *out, std::size_t outSize, const char *text, char separator, quint8 field);
// out must hold maxLength + 1 characters.
quint8 RecordValueGet(char *out, quint8 maxLength, const char *record, const char *key,
                      char separator, const char *defaultText);

// The CSV text a spreadsheet opens as it is: UTF-8 with a byte order mark,
// ";" between fields, CR LF line ends, a field quoted (quotes doubled) when
// it holds ";", a quote, CR or LF. Each line's cells are written as given.
QByteArray CsvContent(const QList<QStringList> &lines);

#endif
