#ifndef READERIDENTITY_H
#define READERIDENTITY_H

#include <QString>
#include <QStringList>

#include "link/commandchain.h"

// Which reader a plan (a preview, a backup, a list to write) was made for:
// its site code and its hardware identifier, as the reader gives them.
// A writing job reads them again before its first write and stops when
// they differ: another reader stands on the port.
struct ReaderIdentity {
    static const QString SiteId;      // "3.0.0"
    static const QString HardwareId;  // "3.0.2"
    // The parameters that make the identity, in the order they are read.
    static QStringList Identifiers() { return {SiteId, HardwareId}; }
    // The read of one of them.
    static ChainRequest ReadRequest(const QString &identifier);

    QString site;
    QString hardware;
    bool siteKnown = false;
    bool hardwareKnown = false;

    bool known() const { return siteKnown && hardwareKnown; }
    // Takes one answered read; false for any other identifier.
    bool take(const QString &identifier, bool accepted, const QString &value);
    // "1204/1001", "inconnu" for a part not known.
    QString text() const;
    // Both known and equal: the same reader. An identity not known on either
    // side proves nothing, and is not the same.
    bool sameAs(const ReaderIdentity &other) const;
};

// "Le lecteur a changé (<ancien> -> <nouveau>) : relire"
QString ReaderChangedText(const ReaderIdentity &before, const ReaderIdentity &now);

#endif
