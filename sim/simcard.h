#ifndef SIMCARD_H
#define SIMCARD_H

#include <QByteArray>
#include <QHash>
#include <functional>

#include "sim/simmodule.h"

// The memory of the badges (MIFARE Classic 1K): raw block access with the
// 'R' family and the format 'B','F'. badge names the badge on the reader,
// empty when there is none. Each badge keeps its own memory, created in
// the transport state when it is first used: keys FF FF FF FF FF FF,
// access bytes FF 07 80 69, data blocks 0, block 0 holding the UID.
class SimCard
{
public:
    static constexpr int Sectors = 16;
    static constexpr int Blocks = 64;
    static constexpr int BlockSize = 16;

    SimCard();
    // Where the card finds a badge's UID (hexadecimal text); without it,
    // or for an unknown badge, one is derived from the name.
    void setUidSource(std::function<QString(const QString &badge)> source);

    SimAnswer handle(char c1, char c2, const QString &payload, const QString &badge,
                     QStringList *notices);
    bool control(const QString &command, const QString &argument, const QString &badge,
                 QString *reply);
    static QString controlHelp();

    // The stored bytes of one block, trailer keys included (for tests and
    // the operator); empty for a block outside the card.
    QByteArray block(const QString &badge, int number);
    // Writes a value block in the published layout, whatever the keys.
    bool setValue(const QString &badge, int number, qint32 value);

private:
    struct Request {
        int block = 0;
        bool keyB = false;
        QByteArray key;
        QStringList fields;  // what follows the key
    };

    QByteArray &memory(const QString &badge);
    QByteArray transportMemory(const QString &badge) const;
    SimAnswer read(QByteArray &card, const Request &request);
    SimAnswer write(QByteArray &card, const Request &request);
    SimAnswer changeValue(QByteArray &card, const Request &request, bool increment);
    QString sectorText(const QString &badge, int sector);

    QHash<QString, QByteArray> m_memories;
    std::function<QString(const QString &)> m_uidSource;
};

#endif
