#ifndef TEXTUTIL_H
#define TEXTUTIL_H

#include <QString>
#include <cstddef>
#include <cstdint>

// Amounts are whole numbers of hundredths; their text is "units.cc".
QString CentsToString(quint32 cents);
// Decimal text of a (possibly negative) number of cents to amount text.
QString CentsStringToAmount(const QString &text, bool &ok);
// Amount typed by the user ("12", "12.", "12.5", "12.05", "-1.50") to cents.
qint32 AmountToCents(const QString &text, bool &ok);

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

#endif
