#ifndef CARDACCESS_H
#define CARDACCESS_H

#include <QString>
#include <array>

// Raw card access through the reader: the sector-trailer layout of a
// 1K card (16 sectors of 4 blocks, the last block of each sector being its
// trailer: key A in bytes 0-5, access bytes 6-9, key B in bytes 10-15), the
// request payloads and the checks on what the operator typed.

constexpr int CardSectors = 16;
constexpr int CardBlocks = 64;
constexpr int BlockSize = 16;
constexpr int TrailerSize = BlockSize;
constexpr int KeySize = 6;
constexpr int AccessSize = 4;

// The access condition bits of one sector: bit[c][b] is C(c+1) of block b
// (block 3 is the trailer).
struct AccessBits {
    bool bit[3][4] = {};
    bool operator==(const AccessBits &other) const;
};

using TrailerBytes = std::array<quint8, TrailerSize>;
using BlockBytes = std::array<quint8, BlockSize>;

// Bytes 6 to 9 of a trailer: every condition bit in its plain place and its
// inverted copy, general purpose byte 0.
std::array<quint8, AccessSize> AccessBytes(const AccessBits &bits);
// The same bytes in the byte text form ("0xFF 0x0F 0x00 0x00").
QString AccessText(const AccessBits &bits);
// The condition bits read from their plain places (bytes 7 and 8); the
// inverted copies are not looked at.
AccessBits AccessBitsFromTrailer(const TrailerBytes &trailer);

// The answer to a trailer read as 16 bytes; what it does not hold stays 0.
TrailerBytes TrailerFromAnswer(const QString &answer);
// A block read answer that is exactly 16 byte items in the byte text form;
// false for anything else (a refusal text, a short or long answer).
bool BlockFromAnswer(const QString &answer, BlockBytes *block);

// Trailer access condition C1 C2 C3 (the "Trailer" row of the boxes)
// under which the access bytes can never be written again: writing it
// freezes the sector's conditions for good.
bool TrailerAccessLocked(bool c1, bool c2, bool c3);
// Trailer access condition under which key B is readable (and so serves
// as data, not as a key).
bool TrailerKeyBReadable(bool c1, bool c2, bool c3);

// A value block: value, its inverse, the value again (little-endian), then
// the address byte, its inverse, the address, its inverse. False when any
// copy disagrees.
bool ValueFromBlock(const BlockBytes &block, qint32 *value, quint8 *address);
// count bytes from bytes[0] in the byte text form.
QString ByteText(const quint8 *bytes, int count);

// Six 0xFF in the byte text form: the transport key of a new card.
QString DefaultKeyText();

// Sector 0..15 (decimal) to its trailer block 4 x s + 3; false otherwise.
bool SectorTrailerBlock(const QString &text, int *block);
// The last block of each sector.
constexpr bool IsTrailerBlock(int block) { return block % 4 == 3; }
// Block 0..63 (decimal); false otherwise.
bool BlockNumber(const QString &text, int *block);
// A key typed as six byte items "0xNN" separated by blanks. On success
// *normalized holds it in the byte text form (upper case, one blank).
bool KeyText(const QString &text, QString *normalized);
// A value that goes into one ";"-separated field must not add fields, nor
// hold control characters that would cut the frame.
bool SingleField(const QString &text);

// What a write, an increment or a decrement of a block would send. Block 0
// holds the maker's data and a trailer holds keys and access bits (the
// trailer section writes those): neither is changed here. Write data is
// exactly 16 byte items; a value change a whole amount from 1 to
// 2147483647, as the card's value blocks count.
enum class BlockChange { Write, Increment, Decrement };
struct BlockChangeCheck {
    QString refusal;  // why nothing may be sent, in the page's words; empty: it may
    QString data;     // the data field as it is sent
};
BlockChangeCheck BlockChangeChecked(int block, BlockChange change, const QString &typed);

// Payloads of the 'R' family; keyB selects key B for the authentication.
QString BlockReadPayload(int block, bool keyB, const QString &key);
QString BlockWritePayload(int block, bool keyB, const QString &key, const QString &data);
QString BlockValuePayload(int block, bool keyB, const QString &key, bool increment,
                          const QString &value);
QString TrailerWritePayload(int block, bool keyB, const QString &key, const QString &keyA,
                            const AccessBits &bits, const QString &keyBText);

#endif
