#include "sim/simfaults.h"

#include <QStringList>

#include "link/commands.h"

namespace {
constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
// Answer frames: STX, type, status, body, ETX, three closing bytes.
constexpr int HeaderBytes = 3;
constexpr int MaxCount = 100000;

bool ParseCount(const QString &text, int *value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 0 || number > MaxCount)
        return false;
    *value = number;
    return true;
}
}

int SimCommandTimeoutMs(char c1, char c2)
{
    switch (c1) {
    case Cmd::FamilyBadge:
        if (c2 == Cmd::BadgeStatus)
            return CmdTimeout::Poll;
        if (c2 == Cmd::BadgeTransaction)
            return CmdTimeout::Transaction;
        return CmdTimeout::BadgeReadAfterPoll;  // the longest of the family
    case Cmd::FamilyValue:
        return c2 == Cmd::ValueGet ? CmdTimeout::ValueGet : CmdTimeout::ValuePut;
    case Cmd::FamilyFile:
        return CmdTimeout::File;
    default:
        return CmdTimeout::Raw;
    }
}

QString SimFaults::controlHelp()
{
    return QStringLiteral(
        "Pannes de la liaison :\n"
        "  drop N          les N prochaines réponses ne partent pas\n"
        "  cut K           la prochaine réponse est coupée après K octets\n"
        "  garbage before|inside [N]\n"
        "                  N octets parasites (8 par défaut) avant ou dans la prochaine réponse\n"
        "  delay MS        toutes les réponses partent MS ms plus tard (delay 0 : sans délai)\n"
        "  late            la prochaine réponse part après le délai d'attente de sa commande\n"
        "  unplug [MS]     débrancher l'adaptateur (le pseudo-terminal se ferme) ;\n"
        "                  rebranché tout seul après MS ms si donné\n"
        "  replug          rebrancher l'adaptateur, sur le même lien\n"
        "  flood S         envoyer des trames 'D' sans arrêt pendant S secondes\n"
        "  random GRAINE TAUX\n"
        "                  pannes au hasard, toutes celles ci-dessus, sur TAUX % des réponses\n"
        "  random off      fin des pannes au hasard\n"
        "  faults          pannes en attente ; faults off : les annuler toutes");
}

bool SimFaults::control(const QString &command, const QString &argument, QString *reply)
{
    const QStringList words = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int number = 0;
    if (command == QLatin1String("drop")) {
        if (words.size() != 1 || !ParseCount(words.at(0), &number)) {
            *reply = QStringLiteral("Usage : drop N");
            return true;
        }
        m_drop = number;
        *reply = QStringLiteral("Les %1 prochaines réponses ne partent pas").arg(number);
    } else if (command == QLatin1String("cut")) {
        if (words.size() != 1 || !ParseCount(words.at(0), &number)) {
            *reply = QStringLiteral("Usage : cut K");
            return true;
        }
        m_cut = number;
        *reply = QStringLiteral("Prochaine réponse coupée après %1 octets").arg(number);
    } else if (command == QLatin1String("garbage")) {
        const QString where = words.value(0);
        int count = GarbageBytes;
        if ((where != QLatin1String("before") && where != QLatin1String("inside")) || words.size() > 2
            || (words.size() == 2 && (!ParseCount(words.at(1), &count) || count == 0))) {
            *reply = QStringLiteral("Usage : garbage before|inside [N]");
            return true;
        }
        m_garbage = where == QLatin1String("before") ? Garbage::Before : Garbage::Inside;
        m_garbageCount = count;
        *reply = QStringLiteral("%1 octets parasites %2 la prochaine réponse")
                     .arg(count)
                     .arg(m_garbage == Garbage::Before ? QStringLiteral("avant") : QStringLiteral("dans"));
    } else if (command == QLatin1String("delay")) {
        if (words.size() != 1 || !ParseCount(words.at(0), &number)) {
            *reply = QStringLiteral("Usage : delay MS");
            return true;
        }
        m_delayMs = number;
        *reply = number ? QStringLiteral("Réponses retardées de %1 ms").arg(number)
                        : QStringLiteral("Réponses sans délai");
    } else if (command == QLatin1String("late")) {
        m_late = true;
        *reply = QStringLiteral("Prochaine réponse après le délai d'attente de sa commande");
    } else if (command == QLatin1String("random")) {
        int rate = 0;
        bool seedOk = false;
        const quint32 seed = words.value(0).toUInt(&seedOk);
        if (words.size() == 1 && words.at(0) == QLatin1String("off")) {
            m_ratePercent = 0;
            *reply = QStringLiteral("Fin des pannes au hasard");
        } else if (words.size() == 2 && seedOk && ParseCount(words.at(1), &rate) && rate <= 100) {
            setRandom(seed, rate);
            *reply = QStringLiteral("Pannes au hasard : graine %1, %2 % des réponses").arg(seed).arg(rate);
        } else {
            *reply = QStringLiteral("Usage : random GRAINE TAUX|off");
        }
    } else if (command == QLatin1String("faults")) {
        if (argument == QLatin1String("off")) {
            clear();
            *reply = QStringLiteral("Aucune panne");
        } else {
            *reply = describe();
        }
    } else {
        return false;
    }
    return true;
}

void SimFaults::clear()
{
    *this = SimFaults();
}

void SimFaults::setRandom(quint32 seed, int ratePercent)
{
    m_random.seed(seed);
    m_ratePercent = qBound(0, ratePercent, 100);
}

QString SimFaults::describe() const
{
    QStringList parts;
    if (m_drop)
        parts << QStringLiteral("drop %1").arg(m_drop);
    if (m_cut >= 0)
        parts << QStringLiteral("cut %1").arg(m_cut);
    if (m_garbage != Garbage::None)
        parts << QStringLiteral("garbage %1 %2")
                     .arg(m_garbage == Garbage::Before ? QStringLiteral("before") : QStringLiteral("inside"))
                     .arg(m_garbageCount);
    if (m_delayMs)
        parts << QStringLiteral("delay %1").arg(m_delayMs);
    if (m_late)
        parts << QStringLiteral("late");
    if (m_ratePercent)
        parts << QStringLiteral("random %1 %").arg(m_ratePercent);
    return parts.isEmpty() ? QStringLiteral("Aucune panne")
                           : QStringLiteral("Pannes : ") + parts.join(QStringLiteral(", "));
}

QByteArray SimFaults::garbage(int count, char forbidden)
{
    QByteArray bytes;
    while (bytes.size() < count) {
        const char byte = char(m_random.bounded(256));
        if (byte != forbidden)
            bytes.append(byte);
    }
    return bytes;
}

// Within the body: the frame still ends complete, with a damaged text.
QByteArray SimFaults::withGarbageInside(const QByteArray &frame, int count)
{
    const int bodyEnd = frame.lastIndexOf(Etx);
    if (bodyEnd < HeaderBytes)
        return frame;
    const int at = HeaderBytes + int(m_random.bounded(quint32(bodyEnd - HeaderBytes + 1)));
    return frame.left(at) + garbage(count, Etx) + frame.mid(at);
}

SimFaultPlan SimFaults::shape(const QByteArray &frame, int timeoutMs)
{
    SimFaultPlan plan;
    plan.bytes = frame;
    plan.delayMs = m_delayMs;
    if (m_delayMs > 0)
        plan.fault = QStringLiteral("delay");
    if (m_drop > 0) {
        --m_drop;
        plan.bytes.clear();
        plan.fault = QStringLiteral("drop");
    } else if (m_cut >= 0) {
        plan.bytes = frame.left(m_cut);
        m_cut = -1;
        plan.fault = QStringLiteral("cut");
    } else if (m_garbage == Garbage::Before) {
        plan.bytes = garbage(m_garbageCount, Stx) + frame;
        m_garbage = Garbage::None;
        plan.fault = QStringLiteral("garbage before");
    } else if (m_garbage == Garbage::Inside) {
        plan.bytes = withGarbageInside(frame, m_garbageCount);
        m_garbage = Garbage::None;
        plan.fault = QStringLiteral("garbage inside");
    } else if (m_late) {
        plan.delayMs += timeoutMs + LateMarginMs;
        m_late = false;
        plan.fault = QStringLiteral("late");
    } else if (m_ratePercent > 0 && int(m_random.bounded(100)) < m_ratePercent) {
        randomFault(plan, timeoutMs);
    }
    return plan;
}

void SimFaults::randomFault(SimFaultPlan &plan, int timeoutMs)
{
    const QByteArray frame = plan.bytes;
    const char *const kinds[] = {"drop", "cut", "garbage before", "garbage inside",
                                 "delay", "late", "flood", "unplug"};
    const quint32 kind = m_random.bounded(8);
    plan.fault = QLatin1String(kinds[kind]);
    switch (kind) {
    case 0:
        plan.bytes.clear();
        break;
    case 1:
        plan.bytes = frame.left(int(m_random.bounded(quint32(frame.size()))));
        break;
    case 2:
        plan.bytes = garbage(1 + int(m_random.bounded(GarbageBytes * 2)), Stx) + frame;
        break;
    case 3:
        plan.bytes = withGarbageInside(frame, 1 + int(m_random.bounded(GarbageBytes * 2)));
        break;
    case 4:
        plan.delayMs += 50 + int(m_random.bounded(quint32(qMax(timeoutMs, 100))));
        break;
    case 5:
        plan.delayMs += timeoutMs + LateMarginMs;
        break;
    case 6:
        plan.floodMs = 200 + int(m_random.bounded(1300));
        break;
    default:
        plan.bytes.clear();
        plan.unplugForMs = 200 + int(m_random.bounded(600));
        break;
    }
}
