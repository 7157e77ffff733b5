#ifndef CLISIM_H
#define CLISIM_H

#include <QTemporaryDir>
#include <QtTest>

#include "sim/readersim.h"

// A simulated reader behind a link of its own, as a technician's
// /dev/ttyUSBn: the link stays when the simulator unplugs and replugs.
struct LinkedSim {
    QTemporaryDir dir;
    ReaderSim sim;
    QString link;
    QStringList putPayloads;  // every 'V','P' payload received, in order

    bool start(const QString &name = QStringLiteral("lecteur"))
    {
        link = dir.filePath(name);
        QObject::connect(&sim, &ReaderSim::requestReceived, &sim,
                         [this](char c1, char c2, const QByteArray &payload) {
                             if (c1 == 'V' && c2 == 'P')
                                 putPayloads << QString::fromLatin1(payload);
                         });
        return sim.start() && sim.createLink(link);
    }
    QStringList commits() const { return putPayloads.filter(QRegularExpression("^\\d+\\.255\\.1=$")); }
};

#endif
