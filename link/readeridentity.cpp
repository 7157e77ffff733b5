#include "link/readeridentity.h"

#include <QCoreApplication>

#include "link/commands.h"

const QString ReaderIdentity::SiteId = QStringLiteral("3.0.0");
const QString ReaderIdentity::HardwareId = QStringLiteral("3.0.2");

ChainRequest ReaderIdentity::ReadRequest(const QString &identifier)
{
    return ChainRequest{Cmd::FamilyValue, Cmd::ValueGet, identifier, ARG_CONFIG_GET_RESULT,
                        CmdTimeout::ValueGet};
}

bool ReaderIdentity::take(const QString &identifier, bool accepted, const QString &value)
{
    if (identifier == SiteId) {
        siteKnown = accepted;
        site = accepted ? value : QString();
    } else if (identifier == HardwareId) {
        hardwareKnown = accepted;
        hardware = accepted ? value : QString();
    } else {
        return false;
    }
    return true;
}

QString ReaderIdentity::text() const
{
    const QString unknown = QCoreApplication::translate("ReaderIdentity", "inconnu");
    return QStringLiteral("%1/%2").arg(siteKnown ? site : unknown, hardwareKnown ? hardware : unknown);
}

bool ReaderIdentity::sameAs(const ReaderIdentity &other) const
{
    return known() && other.known() && site == other.site && hardware == other.hardware;
}

QString ReaderChangedText(const ReaderIdentity &before, const ReaderIdentity &now)
{
    return QCoreApplication::translate("ReaderIdentity", "Le lecteur a changé (%1 -> %2) : relire")
        .arg(before.text(), now.text());
}
