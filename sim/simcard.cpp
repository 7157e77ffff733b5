#include "sim/simcard.h"

#include <QStringList>
#include <climits>

namespace {

constexpr int KeySize = 6;
constexpr int AccessOffset = 6;
constexpr int KeyBOffset = 10;
constexpr int UidSize = 4;

// Who may do something: key A, key B, either, or nobody.
enum KeyMask : quint8 { Never = 0, KeyA = 1, KeyB = 2, Either = 3 };

// Data blocks, by access condition C1C2C3 (index 0..7): read, write,
// increment, decrement.
const KeyMask DataRights[8][4] = {
    {Either, Either, Either, Either},  // 000 transport
    {Either, Never, Never, Either},    // 001 value block, no refill
    {Either, Never, Never, Never},     // 010 read only
    {KeyB, KeyB, Never, Never},        // 011
    {Either, KeyB, Never, Never},      // 100
    {KeyB, Never, Never, Never},       // 101
    {Either, KeyB, KeyB, Either},      // 110 value block with refill
    {Never, Never, Never, Never},      // 111 blocked
};
enum DataRight { Read = 0, Write = 1, Increment = 2, Decrement = 3 };

// Sector trailers, by access condition: key A read/write, access bytes
// read/write, key B read/write. Key A is never readable.
const KeyMask TrailerRights[8][6] = {
    {Never, KeyA, KeyA, Never, KeyA, KeyA},    // 000
    {Never, KeyA, KeyA, KeyA, KeyA, KeyA},     // 001 transport
    {Never, Never, KeyA, Never, KeyA, Never},  // 010
    {Never, KeyB, Either, KeyB, Never, KeyB},  // 011
    {Never, KeyB, Either, Never, Never, KeyB}, // 100
    {Never, Never, Either, KeyB, Never, Never},// 101
    {Never, Never, Either, Never, Never, Never},// 110
    {Never, Never, Either, Never, Never, Never},// 111
};
enum TrailerRight { KeyARead = 0, KeyAWrite, AccessRead, AccessWrite, KeyBRead, KeyBWrite };

const char TransportAccess[4] = {'\xFF', '\x07', '\x80', '\x69'};

const QString NoBadge = QStringLiteral("Aucun badge");
const QString Malformed = QStringLiteral("Requête invalide");
const QString AuthRefused = QStringLiteral("Authentification refusée");
const QString AccessRefused = QStringLiteral("Accès refusé");
const QString NotAValue = QStringLiteral("Bloc valeur invalide");
const QString OutOfRange = QStringLiteral("Valeur hors limites");
const QString BadAccessBits = QStringLiteral("Bits d'accès incohérents");

bool allows(KeyMask mask, bool keyB)
{
    return mask & (keyB ? KeyB : KeyA);
}

int trailerOf(int block)
{
    return block / 4 * 4 + 3;
}

bool isTrailer(int block)
{
    return block % 4 == 3;
}

quint8 byteAt(const QByteArray &bytes, int index)
{
    return quint8(bytes.at(index));
}

// The access condition bits of block b (0..3) of a trailer, C1C2C3 as
// 0..7, read with their inverted copies; false when they disagree, which
// blocks the sector on a real card.
bool condition(const QByteArray &trailer, int b, int *value)
{
    const quint8 b6 = byteAt(trailer, AccessOffset);
    const quint8 b7 = byteAt(trailer, AccessOffset + 1);
    const quint8 b8 = byteAt(trailer, AccessOffset + 2);
    const int c1 = (b7 >> (4 + b)) & 1;
    const int c2 = (b8 >> b) & 1;
    const int c3 = (b8 >> (4 + b)) & 1;
    if (c1 == ((b6 >> b) & 1) || c2 == ((b6 >> (4 + b)) & 1) || c3 == ((b7 >> b) & 1))
        return false;
    *value = c1 << 2 | c2 << 1 | c3;
    return true;
}

bool accessConsistent(const QByteArray &trailer)
{
    int ignored = 0;
    for (int b = 0; b < 4; ++b)
        if (!condition(trailer, b, &ignored))
            return false;
    return true;
}

bool hexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

// Exactly count items "0xNN" separated by blanks.
bool parseBytes(const QString &text, int count, QByteArray *bytes)
{
    const QStringList items = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (items.size() != count)
        return false;
    bytes->clear();
    for (const QString &item : items) {
        if (item.size() != 4 || item.at(0) != QLatin1Char('0')
            || (item.at(1) != QLatin1Char('x') && item.at(1) != QLatin1Char('X'))
            || !hexDigit(item.at(2)) || !hexDigit(item.at(3)))
            return false;
        bytes->append(char(item.midRef(2).toUInt(nullptr, 16)));
    }
    return true;
}

QString byteText(const QByteArray &bytes)
{
    QStringList items;
    for (char byte : bytes)
        items << QStringLiteral("0x")
                     + QStringLiteral("%1").arg(quint8(byte), 2, 16, QLatin1Char('0')).toUpper();
    return items.join(QLatin1Char(' '));
}

bool parseNumber(const QString &text, qint64 max, qint64 *value)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    *value = text.toLongLong();
    return *value <= max;
}

qint32 littleEndian(const QByteArray &bytes, int offset)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | byteAt(bytes, offset + i);
    return qint32(value);
}

// Value, inverted value, value, then the address byte, inverted, again.
QByteArray valueBlock(qint32 value, quint8 address)
{
    QByteArray block;
    for (quint32 word : {quint32(value), ~quint32(value), quint32(value)})
        for (int i = 0; i < 4; ++i)
            block.append(char(word >> (8 * i)));
    block.append(char(address)).append(char(~address)).append(char(address)).append(char(~address));
    return block;
}

bool valueOf(const QByteArray &block, qint32 *value)
{
    const qint32 v = littleEndian(block, 0);
    const quint8 a = byteAt(block, 12);
    if (littleEndian(block, 4) != ~v || littleEndian(block, 8) != v || byteAt(block, 13) != quint8(~a)
        || byteAt(block, 14) != a || byteAt(block, 15) != quint8(~a))
        return false;
    *value = v;
    return true;
}

QString keyName(bool keyB)
{
    return keyB ? QStringLiteral("clé B") : QStringLiteral("clé A");
}

} // namespace

SimCard::SimCard() = default;

void SimCard::setUidSource(std::function<QString(const QString &)> source)
{
    m_uidSource = std::move(source);
}

QByteArray SimCard::transportMemory(const QString &badge) const
{
    QByteArray uid = QByteArray::fromHex(m_uidSource ? m_uidSource(badge).toLatin1() : QByteArray());
    if (uid.size() != UidSize) {
        const quint16 sum = qChecksum(badge.toUtf8().constData(), uint(badge.toUtf8().size()));
        uid = QByteArray::fromHex("04") + char(sum >> 8) + char(sum) + char(0x80);
    }
    QByteArray card(Blocks * BlockSize, '\0');
    char check = 0;
    for (char byte : uid)
        check ^= byte;
    // UID, its check byte, type and answer-to-request bytes, manufacturer data.
    const QByteArray maker = uid + check + QByteArray::fromHex("0804006263646566676869");
    card.replace(0, maker.size(), maker);
    const QByteArray key(KeySize, '\xFF');
    const QByteArray trailer = key + QByteArray(TransportAccess, 4) + key;
    for (int sector = 0; sector < Sectors; ++sector)
        card.replace((sector * 4 + 3) * BlockSize, BlockSize, trailer);
    return card;
}

QByteArray &SimCard::memory(const QString &badge)
{
    auto it = m_memories.find(badge);
    if (it == m_memories.end())
        it = m_memories.insert(badge, transportMemory(badge));
    return *it;
}

QByteArray SimCard::block(const QString &badge, int number)
{
    if (badge.isEmpty() || number < 0 || number >= Blocks)
        return QByteArray();
    return memory(badge).mid(number * BlockSize, BlockSize);
}

bool SimCard::setValue(const QString &badge, int number, qint32 value)
{
    if (badge.isEmpty() || number <= 0 || number >= Blocks || isTrailer(number))
        return false;
    memory(badge).replace(number * BlockSize, BlockSize, valueBlock(value, quint8(number)));
    return true;
}

SimAnswer SimCard::handle(char c1, char c2, const QString &payload, const QString &badge,
                          QStringList *notices)
{
    const auto notice = [&](const QString &what, const SimAnswer &answer) {
        if (notices)
            notices->append(QStringLiteral("Carte %1 : %2 %3").arg(
                badge, what,
                answer.status == SimAccepted ? QStringLiteral("acceptée")
                                             : QStringLiteral("refusée (%1)").arg(answer.body)));
        return answer;
    };

    if (c1 == 'B') {
        if (c2 != 'F')
            return SimRefuse(Malformed);
        if (badge.isEmpty())
            return SimRefuse(QString());
        m_memories.insert(badge, transportMemory(badge));
        return notice(QStringLiteral("formatage"), SimAccept());
    }
    if (badge.isEmpty())
        return SimRefuse(NoBadge);

    // block;keytype;key[;more]
    const QStringList fields = payload.split(QLatin1Char(';'));
    Request request;
    qint64 number = 0;
    if (fields.size() < 3 || !parseNumber(fields.at(0), Blocks - 1, &number)
        || (fields.at(1) != QLatin1String("0") && fields.at(1) != QLatin1String("1"))
        || !parseBytes(fields.at(2), KeySize, &request.key))
        return notice(QStringLiteral("requête « %1 »").arg(payload.left(80)), SimRefuse(Malformed));
    request.block = int(number);
    request.keyB = fields.at(1) == QLatin1String("1");
    request.fields = fields.mid(3);

    QByteArray &card = memory(badge);
    const QString where = QStringLiteral("bloc %1 (%2)").arg(request.block).arg(keyName(request.keyB));
    switch (c2) {
    case 'R':
        return notice(QStringLiteral("lecture du ") + where, read(card, request));
    case 'W':
        return notice(QStringLiteral("écriture du %1 : %2").arg(where, request.fields.join(';').left(100)),
                      write(card, request));
    case 'I':
    case 'D':
        return notice(QStringLiteral("%1 du %2 de %3")
                          .arg(c2 == 'I' ? QStringLiteral("incrément") : QStringLiteral("décrément"),
                               where, request.fields.value(1).left(20)),
                      changeValue(card, request, c2 == 'I'));
    default:
        return notice(QStringLiteral("commande %1%2").arg(c1).arg(c2), SimRefuse(Malformed));
    }
}

namespace {
// Authentication of the sector of `block`: the key must match, key B only
// where the trailer does not make it readable data, and the access bits
// must be sound. Gives the trailer and the conditions of its four blocks.
bool authenticate(const QByteArray &card, int block, bool keyB, const QByteArray &key,
                  QByteArray *trailer, int conditions[4])
{
    *trailer = card.mid(trailerOf(block) * SimCard::BlockSize, SimCard::BlockSize);
    for (int b = 0; b < 4; ++b)
        if (!condition(*trailer, b, &conditions[b]))
            return false;
    if (keyB && allows(TrailerRights[conditions[3]][KeyBRead], false))
        return false;
    return trailer->mid(keyB ? KeyBOffset : 0, KeySize) == key;
}
}

SimAnswer SimCard::read(QByteArray &card, const Request &request)
{
    if (!request.fields.isEmpty())
        return SimRefuse(Malformed);
    QByteArray trailer;
    int conditions[4] = {};
    if (!authenticate(card, request.block, request.keyB, request.key, &trailer, conditions))
        return SimRefuse(AuthRefused);
    if (!isTrailer(request.block)) {
        if (!allows(DataRights[conditions[request.block % 4]][Read], request.keyB))
            return SimRefuse(AccessRefused);
        return SimAccept(byteText(card.mid(request.block * BlockSize, BlockSize)));
    }
    // What the card does not let out reads as zeros: key A always, key B
    // wherever it serves as a key.
    const KeyMask *rights = TrailerRights[conditions[3]];
    QByteArray shown(BlockSize, '\0');
    if (allows(rights[AccessRead], request.keyB))
        shown.replace(AccessOffset, 4, trailer.mid(AccessOffset, 4));
    if (allows(rights[KeyBRead], request.keyB))
        shown.replace(KeyBOffset, KeySize, trailer.mid(KeyBOffset, KeySize));
    return SimAccept(byteText(shown));
}

SimAnswer SimCard::write(QByteArray &card, const Request &request)
{
    QByteArray data;
    if (request.fields.size() != 1 || !parseBytes(request.fields.at(0), BlockSize, &data))
        return SimRefuse(Malformed);
    QByteArray trailer;
    int conditions[4] = {};
    if (!authenticate(card, request.block, request.keyB, request.key, &trailer, conditions))
        return SimRefuse(AuthRefused);
    if (request.block == 0)  // manufacturer block
        return SimRefuse(AccessRefused);
    if (!isTrailer(request.block)) {
        if (!allows(DataRights[conditions[request.block % 4]][Write], request.keyB))
            return SimRefuse(AccessRefused);
        card.replace(request.block * BlockSize, BlockSize, data);
        return SimAccept();
    }
    // A part may change only where its write right allows.
    const KeyMask *rights = TrailerRights[conditions[3]];
    const struct { int offset; int size; TrailerRight right; } parts[] = {
        {0, KeySize, KeyAWrite}, {AccessOffset, 4, AccessWrite}, {KeyBOffset, KeySize, KeyBWrite}};
    for (const auto &part : parts)
        if (data.mid(part.offset, part.size) != trailer.mid(part.offset, part.size)
            && !allows(rights[part.right], request.keyB))
            return SimRefuse(AccessRefused);
    // A card takes unsound bits and locks the sector for good; the reader
    // does not send them.
    if (!accessConsistent(data))
        return SimRefuse(BadAccessBits);
    card.replace(request.block * BlockSize, BlockSize, data);
    return SimAccept();
}

SimAnswer SimCard::changeValue(QByteArray &card, const Request &request, bool increment)
{
    qint64 operand = 0;
    if (request.fields.size() != 2
        || request.fields.at(0) != (increment ? QLatin1String("1") : QLatin1String("2"))
        || !parseNumber(request.fields.at(1), INT_MAX, &operand))
        return SimRefuse(Malformed);
    QByteArray trailer;
    int conditions[4] = {};
    if (!authenticate(card, request.block, request.keyB, request.key, &trailer, conditions))
        return SimRefuse(AuthRefused);
    if (request.block == 0 || isTrailer(request.block)
        || !allows(DataRights[conditions[request.block % 4]][increment ? Increment : Decrement],
                   request.keyB))
        return SimRefuse(AccessRefused);
    const QByteArray block = card.mid(request.block * BlockSize, BlockSize);
    qint32 value = 0;
    if (!valueOf(block, &value))
        return SimRefuse(NotAValue);
    const qint64 result = increment ? qint64(value) + operand : qint64(value) - operand;
    if (result > INT_MAX || result < INT_MIN)
        return SimRefuse(OutOfRange);
    card.replace(request.block * BlockSize, BlockSize, valueBlock(qint32(result), byteAt(block, 12)));
    return SimAccept();
}

QString SimCard::sectorText(const QString &badge, int sector)
{
    QStringList lines{QStringLiteral("Secteur %1 du badge %2 :").arg(sector).arg(badge)};
    for (int b = sector * 4; b < sector * 4 + 4; ++b) {
        const QByteArray bytes = block(badge, b);
        QString line = QStringLiteral("  bloc %1 : %2").arg(b, 2).arg(byteText(bytes));
        qint32 value = 0;
        if (isTrailer(b))
            line += QStringLiteral("  (trailer)");
        else if (b > 0 && valueOf(bytes, &value))
            line += QStringLiteral("  (valeur %1)").arg(value);
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

bool SimCard::control(const QString &command, const QString &argument, const QString &badge,
                      QString *reply)
{
    const bool sector = command == QLatin1String("secteur");
    if (!sector && command != QLatin1String("valeur"))
        return false;
    const QStringList words = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (badge.isEmpty()) {
        *reply = QStringLiteral("Aucun badge sur le lecteur");
        return true;
    }
    bool ok = false;
    const int number = words.value(0).toInt(&ok);
    if (sector) {
        if (words.size() != 1 || !ok || number < 0 || number >= Sectors)
            *reply = QStringLiteral("Usage : secteur N (0 à 15)");
        else
            *reply = sectorText(badge, number);
        return true;
    }
    bool valueOk = false;
    const qint32 value = words.value(1).toInt(&valueOk);
    if (words.size() != 2 || !ok || !valueOk || !setValue(badge, number, value))
        *reply = QStringLiteral("Usage : valeur BLOC MONTANT (bloc de données 1 à 62, hors trailers)");
    else
        *reply = QStringLiteral("Bloc %1 du badge %2 : valeur %3").arg(number).arg(badge).arg(value);
    return true;
}

QString SimCard::controlHelp()
{
    return QStringLiteral(
        "Carte (mémoire 1K du badge posé, 16 secteurs de 4 blocs de 16 octets) :\n"
        "  secteur N       afficher les 4 blocs du secteur N (clés comprises)\n"
        "  valeur B M      faire du bloc B un bloc valeur de montant M\n"
        "  Au départ : clés 0xFF partout, octets d'accès FF 07 80 69 ; le bloc 0 (UID) est\n"
        "  en lecture seule. Commandes R : bloc;clé (0 A, 1 B);clé \"0x.. 0x.. ...\" puis,\n"
        "  pour RW, les 16 octets sous la même forme (trailer : clé A, accès, clé B), pour\n"
        "  RI et RD, 1 ou 2 et le montant. RR répond les 16 octets ; RW, RI, RD ne\n"
        "  répondent rien ; un refus répond sa raison. Ce que la carte ne laisse pas lire\n"
        "  (la clé A toujours, la clé B quand elle sert de clé) vient à zéro.\n"
        "  BF remet la carte à l'état de livraison.");
}
