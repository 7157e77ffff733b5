#include "sim/simlistfile.h"

#include <QDate>
#include <QRegularExpression>
#include <QVector>

namespace {
constexpr char StatusMalformed = '4';
constexpr char StatusFull = '6';
const QString FilePair = QStringLiteral("Fil=5");
const QStringList EntryKeys{QStringLiteral("Cda"), QStringLiteral("UID"), QStringLiteral("Usr"),
                            QStringLiteral("Grp")};

// An entry is the four keys, each at most once, in any order; values hold
// no "=" and a date is empty or yyMMdd. Written back in the usual order.
bool normalEntry(const QStringList &pairs, QString *entry)
{
    if (pairs.isEmpty())
        return false;
    QVector<QString> values(EntryKeys.size());
    QVector<bool> seen(EntryKeys.size(), false);
    for (const QString &pair : pairs) {
        const int eq = pair.indexOf(QLatin1Char('='));
        const int key = EntryKeys.indexOf(pair.left(eq));
        if (eq < 0 || key < 0 || seen.at(key) || pair.indexOf(QLatin1Char('='), eq + 1) >= 0)
            return false;
        seen[key] = true;
        values[key] = pair.mid(eq + 1);
    }
    const QString date = values.at(0);
    if (!date.isEmpty()
        && !QDate::fromString(QStringLiteral("20") + date, QStringLiteral("yyyyMMdd")).isValid())
        return false;
    QStringList normal;
    for (int i = 0; i < EntryKeys.size(); ++i)
        normal << EntryKeys.at(i) + QLatin1Char('=') + values.at(i);
    *entry = normal.join(QLatin1Char(';'));
    return true;
}
}

SimListFile::SimListFile() = default;

SimAnswer SimListFile::handle(char c2, const QString &payload, QStringList *notices)
{
    switch (c2) {
    case 'C':
        return clear(payload, notices);
    case 'A':
        return add(payload, notices);
    case 'G':
        return get(payload);
    default:
        return SimRefuse();
    }
}

SimAnswer SimListFile::clear(const QString &payload, QStringList *notices)
{
    if (payload != FilePair)
        return SimRefuse();
    m_entries.clear();
    notices->append(QStringLiteral("Liste 5 effacée"));
    return SimAccept();
}

SimAnswer SimListFile::add(const QString &payload, QStringList *notices)
{
    QStringList pairs = payload.split(QLatin1Char(';'));
    if (pairs.takeFirst() != FilePair)
        return SimRefuse();
    QString entry;
    if (payload.toUtf8().size() > MaxEntryBytes || !normalEntry(pairs, &entry))
        return SimReply(StatusMalformed);
    if (m_entries.size() >= MaxEntries)
        return SimReply(StatusFull);
    m_entries.append(entry);
    notices->append(QStringLiteral("Liste 5, entrée %1 : %2").arg(m_entries.size() - 1).arg(entry));
    return SimAccept();
}

SimAnswer SimListFile::get(const QString &payload) const
{
    static const QRegularExpression request(QStringLiteral("^Fil=5;Pos=(\\d{1,6})$"));
    const QRegularExpressionMatch match = request.match(payload);
    if (!match.hasMatch())
        return SimRefuse();
    const int position = match.captured(1).toInt();
    if (position >= m_entries.size())
        return SimRefuse();
    return SimAccept(m_entries.at(position));
}

QString SimListFile::listing() const
{
    QStringList lines{QStringLiteral("Liste 5 : %1 entrée(s)").arg(m_entries.size())};
    for (int i = 0; i < m_entries.size(); ++i)
        lines << QStringLiteral("  %1 : %2").arg(i).arg(m_entries.at(i));
    return lines.join(QLatin1Char('\n'));
}

bool SimListFile::control(const QString &command, const QString &argument, QString *reply)
{
    if (command != QLatin1String("liste"))
        return false;
    if (argument.isEmpty()) {
        *reply = listing();
    } else if (argument == QLatin1String("vider")) {
        m_entries.clear();
        *reply = QStringLiteral("Liste 5 vidée");
    } else if (argument.startsWith(QLatin1String("ajoute "))) {
        QStringList notices;
        const SimAnswer added = add(FilePair + QLatin1Char(';') + argument.mid(7).trimmed(), &notices);
        *reply = added.status == SimAccepted ? notices.join(QLatin1Char('\n'))
                                             : QStringLiteral("Entrée refusée");
    } else {
        *reply = QStringLiteral("Usage : liste [vider | ajoute Cda=aaMMjj;UID=..;Usr=..;Grp=..]");
    }
    return true;
}

QString SimListFile::controlHelp()
{
    return QStringLiteral(
        "  liste           entrées de la liste noire (fichier 5)\n"
        "  liste vider     vider la liste noire\n"
        "  liste ajoute Cda=aaMMjj;UID=..;Usr=..;Grp=..\n"
        "                  ajouter une entrée\n"
        "  next refuse FC|FA, next mute FC|FA\n"
        "                  le prochain effacement ou ajout est refusé ou reste sans réponse");
}
