#include "sim/simconfig.h"

#include <QDateTime>
#include <QRegularExpression>

namespace {

struct Parameter {
    const char *identifier;
    const char *value;
};

// Every parameter of the reader with a plausible value: check boxes "0" or
// "1", combo boxes an index in range, the identification as texts.
const Parameter Parameters[] = {
    {"3.0.0", "1204"}, {"3.0.1", "Laverie du Port"}, {"3.0.2", "1001"},
    {"3.0.3", "KovrimReader"}, {"3.0.4", "2"}, {"3.0.5", "77"},
    {"3.4.0", "0"}, {"3.4.1", "0"}, {"3.4.2", "1"}, {"3.4.3", "1"}, {"3.4.4", "0"},
    {"3.4.5", "1"}, {"3.4.6", "0"}, {"3.4.7", "0"}, {"3.4.8", "0"}, {"3.4.9", "1"},
    {"10.1", "5000"}, {"10.2", "1"}, {"10.3", "0"},
    {"3.8.0", "16"}, {"3.8.1", "1"}, {"3.8.2", "250"}, {"3.8.3", "1"}, {"3.8.4", "2"},
    {"3.8.5", "5"},
    {"3.7.2", "1"}, {"3.7.3", "0"}, {"3.7.4", "1"}, {"3.7.5", "0"},
    {"2.1.0.3.0", "200"}, {"2.1.0.3.2", "200"}, {"2.1.0.3.3", "100"},
    {"3.7.9", "0"}, {"3.7.0", "0"},
    {"2.1.0.0", "1"}, {"2.0.10", "1"}, {"2.0.13", "1"}, {"2.0.11", "2"}, {"3.7.7", "0"},
    {"2.1.0.7", "1"}, {"2.1.0.4.0", "600"}, {"2.1.0.3.1", "150"}, {"2.1.0.4.1", "300"},
    {"2.1.1.0", "0"}, {"2.1.1.7", "2"}, {"2.1.1.3.0", "200"}, {"2.1.1.4.0", "600"},
    {"2.1.1.3.1", "150"}, {"2.1.1.4.1", "300"},
    {"6.0.0", "100"}, {"6.0.1", "100"}, {"6.0.2", "0"},
    {"6.1.0.0", "100"}, {"6.1.0.1.2", "1"}, {"6.1.0.1.0", "1"}, {"6.1.0.1.1", "0"}, {"6.1.0.2", "0"},
    {"6.1.1.0", "200"}, {"6.1.1.1.2", "1"}, {"6.1.1.1.0", "1"}, {"6.1.1.1.1", "0"}, {"6.1.1.2", "0"},
    {"6.1.2.0", "50"}, {"6.1.2.1.2", "0"}, {"6.1.2.1.0", "0"}, {"6.1.2.1.1", "1"}, {"6.1.2.2", "0"},
    {"6.1.3.0", "0"}, {"6.1.3.1.2", "0"}, {"6.1.3.1.0", "0"}, {"6.1.3.1.1", "0"}, {"6.1.3.2", "0"},
    {"6.1.4.0", "0"}, {"6.1.4.1.2", "0"}, {"6.1.4.1.0", "0"}, {"6.1.4.1.1", "0"}, {"6.1.4.2", "0"},
    {"6.1.5.0", "0"}, {"6.1.5.1.2", "0"}, {"6.1.5.1.0", "0"}, {"6.1.5.1.1", "0"}, {"6.1.5.2", "0"},
    {"6.1.6.0", "100"}, {"6.1.6.1.2", "1"}, {"6.1.6.1.0", "0"}, {"6.1.6.1.1", "0"}, {"6.1.6.2", "1"},
    {"6.1.7.0", "100"}, {"6.1.7.1.2", "1"}, {"6.1.7.1.0", "0"}, {"6.1.7.1.1", "0"}, {"6.1.7.2", "1"},
    {"7.1.0.0", "100"}, {"7.1.0.1", "0"}, {"7.1.1.0", "200"}, {"7.1.1.1", "0"},
    {"7.1.2.0", "50"}, {"7.1.2.1", "1"}, {"7.1.3.0", "100"}, {"7.1.3.1", "1"},
    {"7.1.4.0", "0"}, {"7.1.4.1", "2"}, {"7.1.5.0", "0"}, {"7.1.5.1", "2"},
    {"7.1.6.0", "0"}, {"7.1.6.1", "0"}, {"7.1.7.0", "0"}, {"7.1.7.1", "0"},
    {"7.0.0", "5"}, {"7.0.1", "20"}, {"7.0.2", "1"},
    {"9.0.0", "1"}, {"9.0.2", "1"}, {"9.0.3", "1"}, {"9.0.4", "Porte ouverte"},
    {"9.1.0", "0"}, {"9.1.2", "0"}, {"9.1.3", "2"}, {"9.1.4", "Automate hors service"},
    {"9.2.0", "0"}, {"9.2.2", "0"}, {"9.2.3", "3"}, {"9.2.4", "Bouton arrêt"},
    {"13.1.4", "192.168.1.50"}, {"13.2.4", "255.255.255.0"}, {"13.3.4", "192.168.1.1"},
    {"13.4.4", "192.168.1.1"}, {"13.5.4", "192.168.1.2"}, {"13.6", "80"},
    {"3.9.0.0", "historique.kovrim.lan"}, {"3.9.0.1", "/historique"}, {"3.9.0.2", "8080"},
    {"3.9.1.0", "olva.kovrim.lan"}, {"3.9.1.1", "/olva"}, {"3.9.1.2", "8081"},
    {"12.0", "1.13"}, {"12.1", "B2"}, {"12.2", "7"}, {"12.3", ""}, {"12.4", ""},
};

// The reader's clock answers its parameters live.
const QString TimeIdentifier = QStringLiteral("12.3");
const QString DateIdentifier = QStringLiteral("12.4");
const QString SetDate = QStringLiteral("12.255.8");
const QString SetTime = QStringLiteral("12.255.9");
const QString TestOutput1 = QStringLiteral("12.255.7.0");
const QString TestOutput2 = QStringLiteral("12.255.7.1");
const QString TimeFormat = QStringLiteral("HH:mm");
const QString DateFormat = QStringLiteral("dd/MM/yy");

QString objectOf(const QString &identifier)
{
    return identifier.section(QLatin1Char('.'), 0, 0);
}

} // namespace

SimConfig::SimConfig()
{
    for (const Parameter &parameter : Parameters) {
        const QString identifier = QString::fromLatin1(parameter.identifier);
        m_order.append(identifier);
        m_values.insert(identifier, QString::fromUtf8(parameter.value));
    }
}

QString SimConfig::workingValue(const QString &identifier) const
{
    if (identifier == TimeIdentifier || identifier == DateIdentifier)
        return clockValue(identifier);
    return m_pending.value(identifier, m_values.value(identifier));
}

void SimConfig::setValue(const QString &identifier, const QString &value)
{
    if (!has(identifier))
        m_order.append(identifier);
    m_values.insert(identifier, value);
    m_pending.remove(identifier);
}

void SimConfig::refuseReads(const QString &identifier, bool refuse)
{
    if (refuse)
        m_readsRefused.insert(identifier);
    else
        m_readsRefused.remove(identifier);
}

void SimConfig::refuseWrites(const QString &identifier, bool refuse)
{
    if (refuse)
        m_writesRefused.insert(identifier);
    else
        m_writesRefused.remove(identifier);
}

SimAnswer SimConfig::handle(char c2, const QString &payload, QStringList *notices)
{
    if (c2 == 'G')
        return read(payload);
    if (c2 != 'P')
        return SimRefuse();
    const int equals = payload.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return SimRefuse();
    const QString identifier = payload.left(equals);
    const QString value = payload.mid(equals + 1);
    if (identifier.section(QLatin1Char('.'), 1, 1) != QLatin1String("255"))
        return write(identifier, value, notices);
    static const QRegularExpression commitId(QStringLiteral("^(\\d+)\\.255\\.1$"));
    const QRegularExpressionMatch match = commitId.match(identifier);
    if (match.hasMatch())
        return value.isEmpty() ? commit(match.captured(1), notices) : SimRefuse();
    return command(identifier, value, notices);
}

SimAnswer SimConfig::read(const QString &identifier) const
{
    if (!has(identifier) || m_readsRefused.contains(identifier))
        return SimRefuse();
    return SimAccept(workingValue(identifier));
}

SimAnswer SimConfig::write(const QString &identifier, const QString &value, QStringList *notices)
{
    if (!has(identifier) || m_writesRefused.contains(identifier)) {
        notices->append(QStringLiteral("Écriture refusée : %1").arg(identifier));
        return SimRefuse();
    }
    m_pending.insert(identifier, value);
    notices->append(QStringLiteral("Paramètre reçu : %1 = %2 (en attente de validation)")
                        .arg(identifier, value));
    return SimAccept();
}

SimAnswer SimConfig::commit(const QString &object, QStringList *notices)
{
    QStringList committed;
    for (const QString &identifier : m_order) {
        if (objectOf(identifier) == object && m_pending.contains(identifier)) {
            m_values.insert(identifier, m_pending.take(identifier));
            committed.append(identifier);
        }
    }
    if (committed.isEmpty()) {
        notices->append(QStringLiteral("Validation refusée : rien en attente pour l'objet %1").arg(object));
        return SimRefuse();
    }
    notices->append(QStringLiteral("Objet %1 enregistré : %2").arg(object, committed.join(QStringLiteral(", "))));
    return SimAccept();
}

SimAnswer SimConfig::command(const QString &identifier, const QString &value, QStringList *notices)
{
    const QDateTime now = QDateTime::currentDateTime().addMSecs(m_clockOffsetMs);
    if (identifier == SetDate) {
        QDate date = QDate::fromString(value, DateFormat);
        if (date.isValid() && date.year() < 2000)
            date = date.addYears(100);
        if (date.isValid())
            m_clockOffsetMs += now.msecsTo(QDateTime(date, now.time()));
        notices->append(QStringLiteral("Date reçue : %1").arg(value));
    } else if (identifier == SetTime) {
        const QTime time = QTime::fromString(value, TimeFormat);
        if (time.isValid())
            m_clockOffsetMs += now.msecsTo(QDateTime(now.date(), time));
        notices->append(QStringLiteral("Heure reçue : %1").arg(value));
    } else if (identifier == TestOutput1 || identifier == TestOutput2) {
        notices->append(QStringLiteral("Test sortie %1 : durée %2")
                            .arg(identifier == TestOutput1 ? 1 : 2)
                            .arg(value));
    } else {
        return SimRefuse();
    }
    m_commands.insert(identifier, value);
    return SimAccept();
}

QString SimConfig::clockValue(const QString &identifier) const
{
    const QDateTime now = QDateTime::currentDateTime().addMSecs(m_clockOffsetMs);
    return identifier == TimeIdentifier ? now.toString(TimeFormat) : now.toString(DateFormat);
}

QString SimConfig::controlHelp()
{
    return QStringLiteral(
        "Paramètres du lecteur :\n"
        "  param ID [VALEUR]\n"
        "                  afficher (ou changer) la valeur d'un paramètre\n"
        "  param refuse get|put ID\n"
        "                  refuser les lectures ou les écritures d'un paramètre\n"
        "  param refuse off\n"
        "                  accepter de nouveau toutes les lectures et écritures\n"
        "  param horloge MIN\n"
        "                  horloge du lecteur à MIN minutes de celle du PC (négatif : en retard)");
}

bool SimConfig::control(const QString &command, const QString &argument, QString *reply)
{
    if (command != QLatin1String("param"))
        return false;
    const QStringList words = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.value(0) == QLatin1String("refuse"))
        *reply = controlRefuse(words.mid(1));
    else if (words.value(0) == QLatin1String("horloge"))
        *reply = controlClock(words.mid(1));
    else
        *reply = controlValue(argument);
    return true;
}

QString SimConfig::controlValue(const QString &argument)
{
    const int space = argument.indexOf(QLatin1Char(' '));
    const QString identifier = space < 0 ? argument : argument.left(space);
    if (!has(identifier))
        return QStringLiteral("Paramètre inconnu : %1").arg(identifier);
    if (space > 0)
        setValue(identifier, argument.mid(space + 1));
    QString reply = QStringLiteral("%1 = %2").arg(identifier, workingValue(identifier));
    if (isPending(identifier))
        reply += QStringLiteral(" (en attente ; enregistré : %1)").arg(value(identifier));
    return reply;
}

QString SimConfig::controlClock(const QStringList &words)
{
    bool ok = false;
    const int minutes = words.value(0).toInt(&ok);
    if (words.size() != 1 || !ok)
        return QStringLiteral("Usage : param horloge MIN");
    setClockDrift(minutes);
    return QStringLiteral("Horloge du lecteur : %1 %2").arg(workingValue(DateIdentifier), workingValue(TimeIdentifier));
}

QString SimConfig::controlRefuse(const QStringList &words)
{
    if (words == QStringList{QStringLiteral("off")}) {
        m_readsRefused.clear();
        m_writesRefused.clear();
        return QStringLiteral("Toutes les lectures et écritures sont acceptées");
    }
    const QString what = words.value(0);
    if (words.size() != 2 || (what != QLatin1String("get") && what != QLatin1String("put")))
        return QStringLiteral("Usage : param refuse get|put ID, ou param refuse off");
    const bool reads = what == QLatin1String("get");
    if (reads)
        refuseReads(words.at(1), true);
    else
        refuseWrites(words.at(1), true);
    return QStringLiteral("%1 de %2 : refusées")
        .arg(reads ? QStringLiteral("Lectures") : QStringLiteral("Écritures"), words.at(1));
}
