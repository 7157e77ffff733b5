#include "readersim.h"

#include <utility>
#include <QDate>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
constexpr char DebugType = 'D';
constexpr int BlacklistedStatus = 1;

using Pairs = QVector<QPair<QString, QString>>;

QString errnoText(const char *what)
{
    return QStringLiteral("%1 : %2").arg(QString::fromLatin1(what),
                                         QString::fromLocal8Bit(strerror(errno)));
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The application sends its local 8-bit text; accept UTF-8 and fall back to
// Latin-1 so that no byte is lost.
QString decodePayload(const QByteArray &bytes)
{
    const QString utf8 = QString::fromUtf8(bytes);
    if (utf8.toUtf8() == bytes)
        return utf8;
    return QString::fromLatin1(bytes);
}

// Strict pair syntax: every part is a three-character key, one "=", a value
// without "=". Anything else is refused rather than guessed at.
bool parsePairs(const QString &text, Pairs *pairs)
{
    if (text.isEmpty())
        return false;
    for (const QString &part : text.split(QLatin1Char(';'))) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq != 3 || part.indexOf(QLatin1Char('='), eq + 1) >= 0)
            return false;
        pairs->append({part.left(eq), part.mid(eq + 1)});
    }
    return true;
}

QString pairValue(const Pairs &pairs, const QString &key, bool *found = nullptr)
{
    for (const auto &pair : pairs) {
        if (pair.first == key) {
            if (found)
                *found = true;
            return pair.second;
        }
    }
    if (found)
        *found = false;
    return QString();
}

void setPair(Pairs *pairs, const QString &key, const QString &value)
{
    for (auto &pair : *pairs) {
        if (pair.first == key) {
            pair.second = value;
            return;
        }
    }
    pairs->append({key, value});
}

// Later duplicates overwrite the value but keep the first position, as a
// badge stores each field once.
Pairs withoutDuplicates(const Pairs &pairs)
{
    Pairs unique;
    for (const auto &pair : pairs)
        setPair(&unique, pair.first, pair.second);
    return unique;
}

bool parseDigits(const QString &text, int maxLength, qint64 *value)
{
    if (text.isEmpty() || text.size() > maxLength)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    *value = text.toLongLong();
    return true;
}

// Amounts are 32-bit hundredths; a minus sign or a wrapped value is refused.
bool parseAmount(const QString &text, qint64 *value)
{
    return parseDigits(text, 10, value) && *value <= INT_MAX;
}

QByteArray boundedUtf8(const QString &text, int maxBytes)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace(Stx, ' ');
    bytes.replace(Etx, ' ');
    if (bytes.size() <= maxBytes)
        return bytes;
    int cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    return bytes.left(cut);
}

quint16 letterKey(char c1, char c2)
{
    return static_cast<quint16>((static_cast<unsigned char>(c1) << 8)
                                | static_cast<unsigned char>(c2));
}

Pairs pairsFrom(const QString &text)
{
    Pairs pairs;
    parsePairs(text, &pairs);
    return pairs;
}

QVector<SimBadge> initialBadges()
{
    QVector<SimBadge> badges;

    SimBadge credit;
    credit.name = "credit";
    credit.description = "badge crédit valide, 15.00 de crédit";
    credit.uid = "04A1B2C3";
    credit.record = pairsFrom(QStringLiteral(
        "Tyc=16;Usr=41;Grp=1;Lev=0;Uni=1;Unp=3;Vda=281231;Cda=240115;Doi=1;"
        "Rem=0;Naf=Hélène;Nal=Martin;Nac=Laverie du Port;Cn0=1500;"
        "Lcd=250301;Lct=2000;Lca=2000;Ldd=250310;Ldt=500"));
    badges.append(credit);

    SimBadge blank;
    blank.name = "vierge";
    blank.description = "badge vierge, support inconnu (07), peut être créé";
    blank.uid = "04B7E5D2";
    blank.pollStatus = 7;
    blank.readable = false;
    badges.append(blank);

    SimBadge blacklisted;
    blacklisted.name = "noire";
    blacklisted.description = "badge en liste noire (01), création refusée";
    blacklisted.uid = "04C3D4E5";
    blacklisted.pollStatus = BlacklistedStatus;
    blacklisted.creatable = false;
    blacklisted.record = pairsFrom(QStringLiteral(
        "Tyc=16;Usr=13;Grp=2;Lev=0;Vda=271231;Cda=230601;Rem=0;Cn0=800"));
    badges.append(blacklisted);

    SimBadge damaged;
    damaged.name = "abime";
    damaged.description = "badge abîmé, intégrité erreur (05), peut être créé";
    damaged.uid = "04D9F0A1";
    damaged.pollStatus = 5;
    damaged.readable = false;
    badges.append(damaged);

    SimBadge unreadable;
    unreadable.name = "illisible";
    unreadable.description = "badge illisible, lecture erreur (06, détail ABC)";
    unreadable.uid = "04E2A7B8";
    unreadable.pollStatus = 6;
    unreadable.detail = "ABC";
    unreadable.readable = false;
    badges.append(unreadable);

    return badges;
}

} // namespace

// ---------------------------------------------------------------- simulator

ReaderSim::ReaderSim(QObject *parent)
    : QObject(parent), m_badges(initialBadges())
{
    m_card.setUidSource([this](const QString &name) {
        const SimBadge *badge = findBadge(name);
        return badge ? badge->uid : QString();
    });
}

ReaderSim::~ReaderSim()
{
    removeOwnLink();
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool ReaderSim::start(QString *error)
{
    if (m_master >= 0)
        return true;
    return openPty(error);
}

bool ReaderSim::openPty(QString *error)
{
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        setError(error, errnoText("openpty"));
        return false;
    }
    char name[128] = {};
    termios raw{};
    if (::ptsname_r(master, name, sizeof name) != 0 || ::tcgetattr(slave, &raw) != 0) {
        setError(error, errnoText("ptsname/tcgetattr"));
        ::close(master);
        ::close(slave);
        return false;
    }
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);

    // The slave stays open here so that the master never sees a hang-up
    // while the application closes and reopens its port.
    m_master = master;
    m_slave = slave;
    m_slavePath = QString::fromLocal8Bit(name);
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &ReaderSim::onMasterReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &ReaderSim::onMasterWritable);
    return true;
}

bool ReaderSim::createLink(const QString &linkPath, QString *error)
{
    if (m_slavePath.isEmpty()) {
        setError(error, QStringLiteral("Simulateur non démarré"));
        return false;
    }
    const QByteArray path = QFile::encodeName(linkPath);
    struct stat info{};
    if (::lstat(path.constData(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            setError(error, QStringLiteral("%1 existe et n'est pas un lien symbolique").arg(linkPath));
            return false;
        }
        if (::unlink(path.constData()) != 0) {
            setError(error, errnoText("unlink"));
            return false;
        }
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), path.constData()) != 0) {
        setError(error, errnoText("symlink"));
        return false;
    }
    if (m_linkPath != linkPath)
        removeOwnLink();
    m_linkPath = linkPath;
    return true;
}

// Only a link that still points at this simulator's port is removed: another
// simulator may have taken the name over meanwhile.
void ReaderSim::removeOwnLink()
{
    if (m_linkPath.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(m_linkPath);
    char target[256] = {};
    const ssize_t length = ::readlink(path.constData(), target, sizeof target - 1);
    if (length > 0 && QFile::decodeName(QByteArray(target, int(length))) == m_slavePath)
        ::unlink(path.constData());
    m_linkPath.clear();
}

void ReaderSim::closeMaster()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_output.clear();
}

void ReaderSim::onMasterReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count > 0) {
            m_bytesIn += count;
            if (m_pacing)
                paceBytes(m_pacedIn, QByteArray(buffer, int(count)));
            else
                feedBytes(buffer, int(count));
            if (m_master < 0)  // closed by a slot of requestReceived
                return;
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        // End of file or I/O error: nothing more will come from this side.
        if (m_readNotifier)
            m_readNotifier->setEnabled(false);
        return;
    }
}

void ReaderSim::feedBytes(const char *bytes, int count)
{
    for (int i = 0; i < count && m_master >= 0; ++i) {
        if (m_parser.feed(bytes[i]))
            handleFrame(m_parser.frame());
    }
}

void ReaderSim::setPacing(bool paced)
{
    if (paced && !m_paceTimer) {
        m_paceTimer = new QTimer(this);
        m_paceTimer->setTimerType(Qt::PreciseTimer);
        m_paceTimer->setInterval(1);
        connect(m_paceTimer, &QTimer::timeout, this, [this] { onPaceTick(); });
        m_paceClock.start();
    }
    if (!paced && m_pacing)
        onPaceTick(true);  // what is on the line arrives at once
    m_pacing = paced;
}

void ReaderSim::paceBytes(PacedLine &line, const QByteArray &bytes)
{
    // A line that cannot keep up loses what overruns it, as a UART does.
    if (line.bytes.size() + bytes.size() > MaxPendingOutput)
        return;
    const qint64 now = m_paceClock.nsecsElapsed();
    for (const char byte : bytes) {
        line.freeAtNs = qMax(line.freeAtNs, now) + PacedByteNs;
        line.bytes.append(byte);
        line.dueNs.append(line.freeAtNs);
    }
    if (!m_paceTimer->isActive())
        m_paceTimer->start();
}

QByteArray ReaderSim::takeDueBytes(PacedLine &line, bool all)
{
    const qint64 now = m_paceClock.nsecsElapsed();
    int due = 0;
    while (due < line.dueNs.size() && (all || line.dueNs.at(due) <= now))
        ++due;
    const QByteArray bytes = line.bytes.left(due);
    line.bytes.remove(0, due);
    line.dueNs.remove(0, due);
    return bytes;
}

void ReaderSim::onPaceTick(bool all)
{
    const QByteArray in = takeDueBytes(m_pacedIn, all);
    feedBytes(in.constData(), in.size());
    const QByteArray out = takeDueBytes(m_pacedOut, all);
    if (!out.isEmpty() && m_master >= 0) {
        m_output.append(out);
        flushOutput();
    }
    if (m_pacedIn.bytes.isEmpty() && m_pacedOut.bytes.isEmpty())
        m_paceTimer->stop();
}

void ReaderSim::onMasterWritable()
{
    flushOutput();
}

void ReaderSim::queueOutput(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    // Nobody reads the port: old answers are of no use, drop the newest.
    if (m_output.size() + m_pacedOut.bytes.size() + bytes.size() > MaxPendingOutput)
        return;
    m_bytesOut += bytes.size();
    if (m_pacing) {
        paceBytes(m_pacedOut, bytes);
        return;
    }
    m_output.append(bytes);
    flushOutput();
}

void ReaderSim::flushOutput()
{
    while (!m_output.isEmpty() && m_master >= 0) {
        const ssize_t written = ::write(m_master, m_output.constData(), size_t(m_output.size()));
        if (written > 0) {
            m_output.remove(0, int(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        break;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_output.isEmpty());
}

void ReaderSim::sendAnswer(char type, char status, const QString &body)
{
    QByteArray frame;
    frame.append(Stx);
    frame.append(type);
    frame.append(status);
    frame.append(boundedUtf8(body, MaxBody));
    frame.append(Etx);
    frame.append("012");
    if (type != DebugType && std::exchange(m_loseAnswer, false))
        return;
    if (type == DebugType)
        queueOutput(frame);
    else
        sendThroughFaults(frame);
}

void ReaderSim::sendDebug(const QString &text)
{
    sendAnswer(DebugType, '0', text);
}

void ReaderSim::handleFrame(const RequestFrameParser::Frame &frame)
{
    ++m_requestCounts[letterKey(frame.c1, frame.c2)];
    m_answerC1 = frame.c1;
    m_answerC2 = frame.c2;
    emit requestReceived(frame.c1, frame.c2, frame.payload);
    if (m_silent)
        return;
    if (frame.tooLong) {
        sendAnswer(frame.c1, StatusMalformed, QString());
        return;
    }
    Fault fault = Fault::Mute;
    if (takeFault(frame.c1, frame.c2, &fault)) {
        if (fault == Fault::Refuse)
            sendAnswer(frame.c1, StatusNoBadge, QString());
        if (fault != Fault::Lose)
            return;
        m_loseAnswer = true;
    }
    const QString payload = decodePayload(frame.payload);
    QStringList notices;
    switch (frame.c1) {
    case 'V':
        answerModule(frame.c1, m_config.handle(frame.c2, payload, &notices), notices);
        return;
    case 'F':
        answerModule(frame.c1, m_listFile.handle(frame.c2, payload, &notices), notices);
        return;
    case 'R':
        answerModule(frame.c1, m_card.handle(frame.c1, frame.c2, payload, presentBadge(), &notices),
                     notices);
        return;
    case 'B':
        break;
    default:
        sendAnswer(frame.c1, StatusNoBadge, QString());
        return;
    }
    switch (frame.c2) {
    case 'S':
        sendAnswer(frame.c1, StatusOk, answerPoll());
        break;
    case 'R': {
        const auto answer = answerRead();
        sendAnswer(frame.c1, answer.first, answer.second);
        break;
    }
    case 'N':
        sendAnswer(frame.c1, answerCreate(payload), QString());
        break;
    case 'T':
        sendAnswer(frame.c1, answerTransaction(payload), QString());
        break;
    case 'F':
        answerModule(frame.c1, m_card.handle(frame.c1, frame.c2, payload, presentBadge(), &notices),
                     notices);
        break;
    default:
        sendAnswer(frame.c1, StatusNoBadge, QString());
        break;
    }
}

void ReaderSim::failNext(Fault fault, const QByteArray &letters)
{
    m_faults.append({letters, fault});
}

bool ReaderSim::takeFault(char c1, char c2, Fault *fault)
{
    for (int i = 0; i < m_faults.size(); ++i) {
        const QByteArray &letters = m_faults.at(i).first;
        if (letters.isEmpty() || (letters.size() == 2 && letters.at(0) == c1 && letters.at(1) == c2)) {
            *fault = m_faults.at(i).second;
            m_faults.remove(i);
            return true;
        }
    }
    return false;
}

void ReaderSim::answerModule(char c1, const SimAnswer &answer, const QStringList &notices)
{
    for (const QString &text : notices)
        emit notice(text);
    if (!answer.silent)
        sendAnswer(c1, answer.status, answer.body);
}

// One event per arrival or removal; a creation or a transaction does not
// count as a new arrival, or a forced creation would repeat forever.
QString ReaderSim::answerPoll()
{
    if (m_generation == m_reportedGeneration)
        return QStringLiteral("0");
    m_reportedGeneration = m_generation;
    const SimBadge *badge = currentBadge();
    if (!badge) {
        if (!m_reportedPresent)
            return QStringLiteral("0");
        m_reportedPresent = false;
        return QStringLiteral("10");
    }
    m_reportedPresent = true;
    const QString state = badge->pollStatus == 0
        ? QStringLiteral("100000")
        : QStringLiteral("0%1%2").arg(badge->pollStatus, 2, 10, QLatin1Char('0')).arg(badge->detail);
    return QStringLiteral("11") + state + QStringLiteral(";UID=") + badge->uid;
}

QPair<char, QString> ReaderSim::answerRead() const
{
    const SimBadge *badge = m_present >= 0 ? &m_badges.at(m_present) : nullptr;
    if (!badge)
        return {StatusNoBadge, QString()};
    if (!badge->readable)
        return {StatusUnreadable, QString()};
    return {StatusOk, recordText(*badge)};
}

char ReaderSim::answerCreate(const QString &payload)
{
    SimBadge *badge = currentBadge();
    if (!badge || !badge->creatable)
        return StatusNoBadge;
    Pairs pairs;
    if (!parsePairs(payload, &pairs))
        return StatusMalformed;
    Pairs record;
    for (const auto &pair : withoutDuplicates(pairs)) {
        if (pair.first != QLatin1String("UID"))  // the manufacturer number is not writable
            record.append(pair);
    }
    SimBadge created = *badge;
    created.record = record;
    if (recordText(created).toUtf8().size() > MaxBody)
        return StatusMalformed;
    badge->record = record;
    badge->pollStatus = 0;
    badge->detail = QStringLiteral("000");
    badge->readable = true;
    return StatusOk;
}

char ReaderSim::answerTransaction(const QString &payload)
{
    SimBadge *badge = currentBadge();
    if (!badge || badge->pollStatus == BlacklistedStatus)
        return StatusNoBadge;
    if (!badge->readable)
        return StatusUnreadable;

    Pairs pairs;
    if (!parsePairs(payload, &pairs) || pairs.size() != 3)
        return StatusMalformed;
    // Three pairs, each key found once: no duplicate and no stranger.
    const QString counter = pairValue(pairs, "Cnt");
    const QString type = pairValue(pairs, "Trt");
    qint64 amount = 0;
    qint64 counterNumber = 0;
    if (!parseDigits(counter, 1, &counterNumber)
        || (type != QLatin1String("1") && type != QLatin1String("2"))
        || !parseAmount(pairValue(pairs, "Tra"), &amount))
        return StatusMalformed;

    const QString counterKey = QStringLiteral("Cn") + counter;
    bool counterFound = false;
    qint64 balance = 0;
    if (!parseAmount(pairValue(badge->record, counterKey, &counterFound), &balance))
        return counterFound ? StatusUnreadable : StatusUnknownCounter;

    const bool debit = type == QLatin1String("2");
    const qint64 newBalance = debit ? balance - amount : balance + amount;
    if (newBalance < 0)
        return StatusNoCredit;
    if (newBalance > INT_MAX)
        return StatusOverflow;

    const QString today = QDate::currentDate().toString(QStringLiteral("yyMMdd"));
    const QString amountText = QString::number(amount);
    setPair(&badge->record, counterKey, QString::number(newBalance));
    if (debit) {
        setPair(&badge->record, "Ldd", today);
        setPair(&badge->record, "Ldt", amountText);
    } else {
        setPair(&badge->record, "Lcd", today);
        setPair(&badge->record, "Lct", amountText);
        setPair(&badge->record, "Lca", amountText);
    }
    return StatusOk;
}

SimBadge *ReaderSim::currentBadge()
{
    return m_present >= 0 ? &m_badges[m_present] : nullptr;
}

const SimBadge *ReaderSim::findBadge(const QString &name) const
{
    for (const SimBadge &badge : m_badges) {
        if (badge.name == name)
            return &badge;
    }
    return nullptr;
}

QString ReaderSim::recordText(const SimBadge &badge) const
{
    QString text = QStringLiteral("UID=") + badge.uid;
    for (const auto &pair : badge.record)
        text += QLatin1Char(';') + pair.first + QLatin1Char('=') + pair.second;
    return text;
}

// Laying a badge down always counts as a new arrival, even the same badge
// again: the operator lifted it and put it back.
bool ReaderSim::present(const QString &badgeName)
{
    for (int i = 0; i < m_badges.size(); ++i) {
        if (m_badges.at(i).name == badgeName) {
            m_present = i;
            ++m_generation;
            return true;
        }
    }
    return false;
}

void ReaderSim::remove()
{
    if (m_present < 0)
        return;
    m_present = -1;
    ++m_generation;
}

QString ReaderSim::presentBadge() const
{
    return m_present >= 0 ? m_badges.at(m_present).name : QString();
}

QStringList ReaderSim::badgeNames() const
{
    QStringList names;
    for (const SimBadge &badge : m_badges)
        names.append(badge.name);
    return names;
}

QString ReaderSim::describe(const QString &name) const
{
    const SimBadge *badge = findBadge(name);
    return badge ? badge->description : QString();
}

QString ReaderSim::badgeRecord(const QString &name) const
{
    const SimBadge *badge = findBadge(name);
    return badge ? recordText(*badge) : QString();
}

int ReaderSim::requestCount(char c1, char c2) const
{
    return m_requestCounts.value(letterKey(c1, c2), 0);
}

static QString moduleHelp(const QString &help)
{
    return help.isEmpty() ? QString() : QStringLiteral("\n") + help;
}

QString ReaderSim::controlHelp()
{
    return QStringLiteral(
        "Commandes :\n"
        "  present NOM     poser un badge sur le lecteur\n"
        "  remove          retirer le badge\n"
        "  badges          liste des badges\n"
        "  record NOM      contenu actuel d'un badge\n"
        "  debug TEXTE     envoyer un texte de debug au logiciel\n"
        "  silent on|off   le lecteur cesse ou reprend de répondre\n"
        "  next refuse|mute|lose [XY]\n"
        "                  la prochaine commande (de lettres XY) est refusée, reste sans réponse\n"
        "                  ou est exécutée sans que sa réponse arrive\n"
        "  help            cette aide\n"
        "  quit            quitter le simulateur")
        + moduleHelp(SimConfig::controlHelp()) + moduleHelp(SimListFile::controlHelp())
        + moduleHelp(SimCard::controlHelp()) + moduleHelp(SimFaults::controlHelp());
}

QString ReaderSim::handleControlLine(const QString &line)
{
    const QString trimmed = line.trimmed();
    const int space = trimmed.indexOf(QLatin1Char(' '));
    const QString command = space < 0 ? trimmed : trimmed.left(space);
    const QString argument = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();

    if (command.isEmpty())
        return QString();
    if (command == QLatin1String("help") || command == QLatin1String("aide"))
        return controlHelp();
    if (command == QLatin1String("present")) {
        if (present(argument))
            return QStringLiteral("Badge présenté : %1").arg(argument);
        return QStringLiteral("Badge inconnu : %1 (badges : %2)")
            .arg(argument, badgeNames().join(QStringLiteral(", ")));
    }
    if (command == QLatin1String("remove")) {
        if (m_present < 0)
            return QStringLiteral("Aucun badge sur le lecteur");
        const QString name = presentBadge();
        remove();
        return QStringLiteral("Badge retiré : %1").arg(name);
    }
    if (command == QLatin1String("badges")) {
        QStringList lines;
        for (const SimBadge &badge : m_badges) {
            const QString mark = badge.name == presentBadge() ? QStringLiteral(" [sur le lecteur]") : QString();
            lines.append(QStringLiteral("  %1 : %2%3").arg(badge.name, badge.description, mark));
        }
        return lines.join(QLatin1Char('\n'));
    }
    if (command == QLatin1String("record")) {
        const QString record = badgeRecord(argument);
        return record.isEmpty() ? QStringLiteral("Badge inconnu : %1").arg(argument) : record;
    }
    if (command == QLatin1String("debug")) {
        if (argument.isEmpty())
            return QStringLiteral("Usage : debug TEXTE");
        sendDebug(argument);
        return QStringLiteral("Debug envoyé : %1").arg(argument);
    }
    if (command == QLatin1String("silent")) {
        if (argument == QLatin1String("on")) {
            setSilent(true);
            return QStringLiteral("Lecteur muet : plus aucune réponse");
        }
        if (argument == QLatin1String("off")) {
            setSilent(false);
            return QStringLiteral("Lecteur actif : il répond de nouveau");
        }
        return QStringLiteral("Usage : silent on|off");
    }
    if (command == QLatin1String("next")) {
        const QStringList words = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString what = words.value(0);
        const QByteArray letters = words.value(1).toLatin1();
        static const QStringList names = {"refuse", "mute", "lose"};
        if (!names.contains(what) || words.size() > 2 || (!letters.isEmpty() && letters.size() != 2))
            return QStringLiteral("Usage : next refuse|mute|lose [XY]");
        const Fault fault = Fault(names.indexOf(what));
        failNext(fault, letters);
        static const QStringList effects = {"refusée", "sans réponse", "exécutée, réponse perdue"};
        return QStringLiteral("Prochaine commande %1 : %2")
            .arg(letters.isEmpty() ? QStringLiteral("(toutes)") : QString::fromLatin1(letters),
                 effects.at(names.indexOf(what)));
    }
    QString reply;
    if (m_config.control(command, argument, &reply) || m_listFile.control(command, argument, &reply)
        || m_card.control(command, argument, presentBadge(), &reply)
        || faultControl(command, argument, &reply))
        return reply;
    if (command == QLatin1String("quit")) {
        emit quitRequested();
        return QStringLiteral("Au revoir");
    }
    return QStringLiteral("Commande inconnue : %1 (tapez help)").arg(command);
}
