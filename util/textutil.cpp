#include "util/textutil.h"

#include <cstring>
#include <limits>

QString CentsToString(quint32 cents)
{
    const quint32 rest = cents % 100;
    return QString::number(cents / 100) + QLatin1Char('.')
           + (rest < 10 ? QStringLiteral("0") : QString()) + QString::number(rest);
}

QString CentsStringToAmount(const QString &text, bool &ok)
{
    const int cents = text.toInt(&ok);
    if (!ok)
        return QString();
    // Show a negative balance as such rather than as its unsigned wrap-around.
    if (cents < 0)
        return QLatin1Char('-') + CentsToString(quint32(-qint64(cents)));
    return CentsToString(quint32(cents));
}

namespace {

bool IsAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Appends decimal digits to value; false on a non-digit or past the limit.
bool AccumulateDigits(const QString &digits, qint64 limit, qint64 &value)
{
    for (const QChar c : digits) {
        if (!IsAsciiDigit(c))
            return false;
        value = value * 10 + (c.unicode() - '0');
        if (value > limit)
            return false;
    }
    return true;
}

} // namespace

qint32 AmountToCents(const QString &text, bool &ok)
{
    ok = false;
    QString amount = text.trimmed();
    bool negative = false;
    if (amount.startsWith(QLatin1Char('-')) || amount.startsWith(QLatin1Char('+'))) {
        negative = amount.at(0) == QLatin1Char('-');
        amount.remove(0, 1);
    }

    const int point = amount.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? amount : amount.left(point);
    const QString fraction = point < 0 ? QString() : amount.mid(point + 1);
    // A second point lands in the fraction and fails the digit test there.
    if (whole.isEmpty() || fraction.size() > 2)
        return 0;

    // One cent beyond INT_MAX is still representable as a negative amount.
    const qint64 limit = qint64(std::numeric_limits<qint32>::max()) + (negative ? 1 : 0);
    qint64 units = 0;
    qint64 hundredths = 0;
    if (!AccumulateDigits(whole, limit / 100, units) || !AccumulateDigits(fraction, 99, hundredths))
        return 0;
    // "12.5" means fifty hundredths, not five.
    if (fraction.size() == 1)
        hundredths *= 10;

    const qint64 cents = units * 100 + hundredths;
    if (cents > limit)
        return 0;
    ok = true;
    return qint32(negative ? -cents : cents);
}

bool PayloadFits(const QString &payload)
{
    return payload.toLocal8Bit().size() <= PayloadMaxBytes;
}

bool HasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

namespace {

const char *OrEmpty(const char *text)
{
    return text ? text : "";
}

char HexDigit(unsigned nibble)
{
    return "0123456789ABCDEF"[nibble & 0x0F];
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

char *BytesToHexString(const quint8 *bytes, char *out, std::size_t outSize, quint8 count,
                       const char *prefix, const char *separator)
{
    if (!out || outSize == 0)
        return out;
    out[0] = '\0';
    if (!bytes)
        return out;

    prefix = OrEmpty(prefix);
    separator = OrEmpty(separator);
    const std::size_t prefixLength = std::strlen(prefix);
    const std::size_t separatorLength = std::strlen(separator);

    // Only whole items are written: a cut "0x0" would read back as a wrong byte.
    std::size_t length = 0;
    for (quint8 i = 0; i < count; ++i) {
        const std::size_t gap = i > 0 ? separatorLength : 0;
        if (length + gap + prefixLength + 2 >= outSize)
            break;
        std::memcpy(out + length, separator, gap);
        length += gap;
        std::memcpy(out + length, prefix, prefixLength);
        length += prefixLength;
        out[length++] = HexDigit(bytes[i] >> 4);
        out[length++] = HexDigit(bytes[i]);
    }
    out[length] = '\0';
    return out;
}

quint32 HexStringToValue(const char *text)
{
    quint32 value = 0;
    for (const char *c = OrEmpty(text); *c; ++c) {
        value <<= 4;
        const int digit = HexDigitValue(*c);
        if (digit >= 0)
            value += quint32(digit);
    }
    return value;
}

void HexStringToBytes(const char *text, quint8 *out, quint8 maxCount)
{
    if (!out || maxCount == 0)
        return;
    std::memset(out, 0, maxCount);
    if (!text)
        return;

    enum class State { Plain, Zero, Digits };
    State state = State::Plain;
    char digits[3] = {};
    int digitCount = 0;
    quint8 written = 0;

    for (const char *c = text; *c && written < maxCount; ++c) {
        switch (state) {
        case State::Plain:
            if (*c == '0')
                state = State::Zero;
            else if (*c != ' ')
                out[written++] = quint8(*c);
            break;
        case State::Zero:
            if (*c == 'x' || *c == 'X') {
                digitCount = 0;
                state = State::Digits;
            } else {
                out[written++] = '0';
                state = State::Plain;
            }
            break;
        case State::Digits:
            if (HexDigitValue(*c) < 0) {
                state = State::Plain;
                break;
            }
            digits[digitCount++] = *c;
            if (digitCount == 2) {
                digits[2] = '\0';
                out[written++] = quint8(HexStringToValue(digits));
                state = State::Plain;
            }
            break;
        }
    }
}

quint8 StringField(char *out, std::size_t outSize, const char *text, char separator, quint8 field)
{
    // Wide counter: with 8 bits, field 1 would come round again after 256 separators.
    const std::size_t wanted = field == 0 ? 1 : field;
    if (!out)
        outSize = 0;
    std::size_t current = 1;
    std::size_t copied = 0;
    bool seen = false;

    for (const char *c = OrEmpty(text); *c; ++c) {
        if (*c == separator) {
            if (current == wanted) {
                if (outSize > 0)
                    out[copied] = '\0';
                return 1;
            }
            ++current;
            continue;
        }
        if (current == wanted) {
            seen = true;
            // Longer fields are cut to what the buffer holds.
            if (copied + 1 < outSize)
                out[copied++] = *c;
        }
    }
    if (outSize > 0)
        out[copied] = '\0';
    return seen ? 1 : 0;
}

namespace {

quint8 CopyLimited(char *out, quint8 maxLength, const char *text)
{
    const std::size_t length = strnlen(text, maxLength);
    std::memcpy(out, text, length);
    out[length] = '\0';
    return 1;
}

} // namespace

quint8 RecordValueGet(char *out, quint8 maxLength, const char *record, const char *key,
                      char separator, const char *defaultText)
{
    if (!out)
        return 0;
    out[0] = '\0';
    key = OrEmpty(key);
    const std::size_t keyLength = std::strlen(key);

    enum { WorkSize = 300 };
    char field[WorkSize];
    char value[WorkSize];

    for (quint8 number = 1; number != 0; ++number) {
        if (!StringField(field, sizeof field, record, separator, number))
            break;
        if (std::strncmp(field, key, keyLength) != 0)
            continue;
        if (!StringField(value, sizeof value, field, '=', 2))
            continue;
        return CopyLimited(out, maxLength, value);
    }
    if (defaultText)
        return CopyLimited(out, maxLength, defaultText);
    return 0;
}

bool IsAsciiDigits(const QString &text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

namespace {
QString CsvField(const QString &cell)
{
    const QChar quote = QLatin1Char('"');
    for (const QChar c : cell) {
        if (c == QLatin1Char(';') || c == quote || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            QString quoted = cell;
            quoted.replace(quote, QStringLiteral("\"\""));
            return quote + quoted + quote;
        }
    }
    return cell;
}
}

QByteArray CsvContent(const QList<QStringList> &lines)
{
    const QString lineEnd = QStringLiteral("\r\n");
    QString text;
    for (const QStringList &cells : lines) {
        for (int column = 0; column < cells.size(); ++column) {
            if (column > 0)
                text += QLatin1Char(';');
            text += CsvField(cells.at(column));
        }
        text += lineEnd;
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}
