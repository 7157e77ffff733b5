#include "tools/cardaccess.h"

#include <QCoreApplication>
#include <QStringList>
#include <climits>

#include "util/textutil.h"

namespace {
// Access bytes within the trailer and within AccessBytes().
constexpr int Byte6 = 0;
constexpr int Byte7 = 1;
constexpr int Byte8 = 2;
constexpr int TrailerByte7 = 6 + Byte7;
constexpr int TrailerByte8 = 6 + Byte8;

enum Condition { C1 = 0, C2 = 1, C3 = 2 };

QString Join(std::initializer_list<QString> fields)
{
    QStringList list;
    for (const QString &field : fields)
        list << field;
    return list.join(QLatin1Char(';'));
}

QString KeyType(bool keyB)
{
    return keyB ? QStringLiteral("1") : QStringLiteral("0");
}

bool NumberInRange(const QString &text, int last, int *number)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < 0 || value > last)
        return false;
    *number = value;
    return true;
}

bool HexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

// Exactly count items "0xNN" separated by blanks.
bool ByteItems(const QString &text, quint8 *bytes, int count)
{
    const QStringList items = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (items.size() != count)
        return false;
    for (int i = 0; i < count; ++i) {
        const QString &item = items.at(i);
        if (item.size() != 4 || item.at(0) != QLatin1Char('0')
            || (item.at(1) != QLatin1Char('x') && item.at(1) != QLatin1Char('X'))
            || !HexDigit(item.at(2)) || !HexDigit(item.at(3)))
            return false;
        bytes[i] = quint8(item.midRef(2).toUInt(nullptr, 16));
    }
    return true;
}

quint32 LittleEndian(const BlockBytes &block, int offset)
{
    return quint32(block[offset]) | quint32(block[offset + 1]) << 8
         | quint32(block[offset + 2]) << 16 | quint32(block[offset + 3]) << 24;
}
}

bool AccessBits::operator==(const AccessBits &other) const
{
    for (int c = 0; c < 3; ++c)
        for (int b = 0; b < 4; ++b)
            if (bit[c][b] != other.bit[c][b])
                return false;
    return true;
}

std::array<quint8, AccessSize> AccessBytes(const AccessBits &bits)
{
    // Every bit 0: its inverted copies are all 1.
    std::array<quint8, AccessSize> bytes{0xFF, 0x0F, 0x00, 0x00};
    for (int b = 0; b < 4; ++b) {
        if (bits.bit[C1][b]) {
            bytes[Byte7] |= quint8(1u << (4 + b));
            bytes[Byte6] &= quint8(~(1u << b));
        }
        if (bits.bit[C2][b]) {
            bytes[Byte8] |= quint8(1u << b);
            bytes[Byte6] &= quint8(~(1u << (4 + b)));
        }
        if (bits.bit[C3][b]) {
            bytes[Byte8] |= quint8(1u << (4 + b));
            bytes[Byte7] &= quint8(~(1u << b));
        }
    }
    return bytes;
}

QString AccessText(const AccessBits &bits)
{
    const std::array<quint8, AccessSize> bytes = AccessBytes(bits);
    return ByteText(bytes.data(), AccessSize);
}

AccessBits AccessBitsFromTrailer(const TrailerBytes &trailer)
{
    AccessBits bits;
    for (int b = 0; b < 4; ++b) {
        bits.bit[C1][b] = trailer[TrailerByte7] & (1u << (4 + b));
        bits.bit[C2][b] = trailer[TrailerByte8] & (1u << b);
        bits.bit[C3][b] = trailer[TrailerByte8] & (1u << (4 + b));
    }
    return bits;
}

TrailerBytes TrailerFromAnswer(const QString &answer)
{
    TrailerBytes trailer{};
    // The parser stops at the terminating NUL or after 16 bytes.
    const QByteArray text = answer.toLatin1();
    HexStringToBytes(text.constData(), trailer.data(), TrailerSize);
    return trailer;
}

QString ByteText(const quint8 *bytes, int count)
{
    // "0xNN" and a blank per byte, and the terminating NUL.
    char buffer[TrailerSize * 5 + 1];
    count = qBound(0, count, TrailerSize);
    return QString::fromLatin1(
        BytesToHexString(bytes, buffer, sizeof buffer, quint8(count), "0x", " "));
}

QString DefaultKeyText()
{
    const quint8 key[KeySize] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return ByteText(key, KeySize);
}

bool SectorTrailerBlock(const QString &text, int *block)
{
    int sector = 0;
    if (!NumberInRange(text, CardSectors - 1, &sector))
        return false;
    *block = 4 * sector + 3;
    return true;
}

bool BlockNumber(const QString &text, int *block)
{
    return NumberInRange(text, CardBlocks - 1, block);
}

bool KeyText(const QString &text, QString *normalized)
{
    quint8 key[KeySize] = {};
    if (!ByteItems(text, key, KeySize))
        return false;
    *normalized = ByteText(key, KeySize);
    return true;
}

bool BlockFromAnswer(const QString &answer, BlockBytes *block)
{
    BlockBytes bytes{};
    if (!ByteItems(answer, bytes.data(), BlockSize))
        return false;
    *block = bytes;
    return true;
}

bool TrailerAccessLocked(bool c1, bool c2, bool c3)
{
    // Only 001 (key A) and 011, 101 (key B) let the access bytes be written.
    return !c3 || (c1 && c2);
}

bool TrailerKeyBReadable(bool c1, bool c2, bool c3)
{
    // 000, 010 and 001: key A reads key B.
    return !c1 && !(c2 && c3);
}

bool ValueFromBlock(const BlockBytes &block, qint32 *value, quint8 *address)
{
    const quint32 v = LittleEndian(block, 0);
    const quint8 a = block[12];
    if (LittleEndian(block, 4) != ~v || LittleEndian(block, 8) != v || block[13] != quint8(~a)
        || block[14] != a || block[15] != quint8(~a))
        return false;
    *value = qint32(v);
    *address = a;
    return true;
}

namespace {
// Digits only: no sign, no decimal part, no exponent.
bool WholeAmount(const QString &text, QString *normalized)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 10)
        return false;
    for (const QChar c : trimmed)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    const qint64 value = trimmed.toLongLong();
    if (value < 1 || value > INT_MAX)
        return false;
    *normalized = QString::number(value);
    return true;
}

QString Refusal(const char *text)
{
    return QCoreApplication::translate("ToolsPage", text);
}
}

BlockChangeCheck BlockChangeChecked(int block, BlockChange change, const QString &typed)
{
    BlockChangeCheck check;
    if (block == 0) {
        check.refusal = Refusal("Erreur->Bloc 0 en lecture seule");
    } else if (IsTrailerBlock(block)) {
        check.refusal = Refusal("Erreur->Bloc trailer : utiliser Trailer");
    } else if (change == BlockChange::Write) {
        BlockBytes bytes{};
        if (ByteItems(typed, bytes.data(), BlockSize))
            check.data = ByteText(bytes.data(), BlockSize);
        else
            check.refusal = Refusal("Erreur->Donnée non valide : 16 octets \"0x..\" attendus");
    } else if (!WholeAmount(typed, &check.data)) {
        check.refusal = Refusal("Erreur->Valeur non valide : entier de 1 à 2147483647");
    }
    return check;
}

bool SingleField(const QString &text)
{
    return !text.contains(QLatin1Char(';')) && !HasControlCharacter(text);
}

QString BlockReadPayload(int block, bool keyB, const QString &key)
{
    return Join({QString::number(block), KeyType(keyB), key});
}

QString BlockWritePayload(int block, bool keyB, const QString &key, const QString &data)
{
    return Join({QString::number(block), KeyType(keyB), key, data});
}

QString BlockValuePayload(int block, bool keyB, const QString &key, bool increment,
                          const QString &value)
{
    return Join({QString::number(block), KeyType(keyB), key,
                 increment ? QStringLiteral("1") : QStringLiteral("2"), value});
}

QString TrailerWritePayload(int block, bool keyB, const QString &key, const QString &keyA,
                            const AccessBits &bits, const QString &keyBText)
{
    return BlockWritePayload(block, keyB, key,
                             keyA + QLatin1Char(' ') + AccessText(bits) + QLatin1Char(' ') + keyBText);
}
