// kovrim-reader-sim: plays a badge reader on a pseudo-terminal so that the
// manager can be learnt and tested without the device. Control commands
// are read line by line on standard input.

#include "sim/readersim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int MaxControlLine = 1024;
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    (void)ignored;
}

void print(const QString &text)
{
    if (text.isEmpty())
        return;
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Turns the bytes of standard input into bounded control lines; a line
// longer than the bound is dropped whole, up to its end.
class ControlInput : public QObject
{
public:
    ControlInput(ReaderSim *sim, bool stayOnEof, QObject *parent)
        : QObject(parent), m_sim(sim), m_stayOnEof(stayOnEof),
          m_notifier(STDIN_FILENO, QSocketNotifier::Read, this)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readInput(); });
    }

private:
    void readInput()
    {
        char buffer[512];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (count <= 0) {
            endOfInput();
            return;
        }
        for (ssize_t i = 0; i < count; ++i)
            takeByte(buffer[i]);
    }

    void takeByte(char byte)
    {
        if (byte == '\n') {
            if (m_overflow)
                print(QStringLiteral("Ligne trop longue, ignorée"));
            else
                print(m_sim->handleControlLine(QString::fromLocal8Bit(m_line)));
            m_line.clear();
            m_overflow = false;
            return;
        }
        if (m_line.size() < MaxControlLine)
            m_line.append(byte);
        else
            m_overflow = true;
    }

    void endOfInput()
    {
        m_notifier.setEnabled(false);
        if (!m_stayOnEof)
            QCoreApplication::quit();
    }

    ReaderSim *m_sim;
    bool m_stayOnEof;
    QSocketNotifier m_notifier;
    QByteArray m_line;
    bool m_overflow = false;
};

bool installSignalHandlers(QObject *parent)
{
    if (::pipe(signalPipe) != 0)
        return false;
    ::fcntl(signalPipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(signalPipe[1], F_SETFD, FD_CLOEXEC);
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    return true;
}

// Faults given on the command line: each is its control line, applied once
// the link exists.
struct FaultOption {
    const char *name;
    const char *valueName;  // nullptr: a switch
    const char *description;
};
const FaultOption FaultOptions[] = {
    {"drop", "N", "Les N premières réponses ne partent pas."},
    {"cut", "K", "La première réponse est coupée après K octets."},
    {"garbage", "before|inside", "Octets parasites avant ou dans la première réponse."},
    {"delay", "MS", "Toutes les réponses partent MS ms plus tard."},
    {"late", nullptr, "La première réponse part après le délai d'attente de sa commande."},
    {"flood", "S", "Trames 'D' sans arrêt pendant les S premières secondes."},
    {"random", "GRAINE:TAUX", "Pannes au hasard sur TAUX % des réponses, graine GRAINE."},
    {"unplug", "APRES[:DUREE]",
     "Débrancher l'adaptateur APRES ms après le démarrage, le rebrancher DUREE ms plus tard."},
};

// False, with the usage printed, when the simulator refuses the line.
bool applyFault(ReaderSim &sim, const QString &line)
{
    const QString reply = sim.handleControlLine(line);
    print(reply);
    return !reply.startsWith(QStringLiteral("Usage"));
}

bool applyFaultOptions(ReaderSim &sim, const QCommandLineParser &parser, QObject *context)
{
    for (const FaultOption &fault : FaultOptions) {
        const QString name = QString::fromLatin1(fault.name);
        if (!parser.isSet(name))
            continue;
        QString value = parser.value(name);
        value.replace(QLatin1Char(':'), QLatin1Char(' '));
        if (name == QLatin1String("unplug")) {
            const QStringList times = value.split(QLatin1Char(' '));
            bool ok = false;
            const int after = times.value(0).toInt(&ok);
            if (!ok || after < 0 || times.size() > 2)
                return applyFault(sim, QStringLiteral("unplug x"));
            const QString line = QStringLiteral("unplug %1").arg(times.value(1)).trimmed();
            QTimer::singleShot(after, context, [&sim, line] { applyFault(sim, line); });
            continue;
        }
        if (!applyFault(sim, fault.valueName ? name + QLatin1Char(' ') + value : name))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kovrim-reader-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulateur de lecteur de badges sur un pseudo-terminal.\n\n") + ReaderSim::controlHelp());
    parser.addHelpOption();
    const QCommandLineOption linkOption(QStringLiteral("link"),
        QStringLiteral("Lien symbolique vers le port du lecteur (défaut : /tmp/kovrim-reader)."),
        QStringLiteral("CHEMIN"), QStringLiteral("/tmp/kovrim-reader"));
    const QCommandLineOption badgeOption(QStringLiteral("badge"),
        QStringLiteral("Badge posé sur le lecteur au démarrage."), QStringLiteral("NOM"));
    const QCommandLineOption stayOption(QStringLiteral("stay"),
        QStringLiteral("Continuer quand l'entrée standard se ferme."));
    parser.addOption(linkOption);
    parser.addOption(badgeOption);
    const QCommandLineOption pacedOption(QStringLiteral("paced"),
        QStringLiteral("Cadencer la ligne comme un vrai lecteur à 9600 bauds."));
    parser.addOption(stayOption);
    parser.addOption(pacedOption);
    for (const FaultOption &fault : FaultOptions) {
        const QString description = QString::fromUtf8(fault.description);
        if (fault.valueName)
            parser.addOption({QString::fromLatin1(fault.name), description,
                              QString::fromLatin1(fault.valueName)});
        else
            parser.addOption({QString::fromLatin1(fault.name), description});
    }
    parser.process(app);

    ReaderSim sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "Pseudo-terminal impossible : %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    if (parser.isSet(badgeOption) && !sim.present(parser.value(badgeOption))) {
        std::fprintf(stderr, "Badge inconnu : %s (badges : %s)\n",
                     parser.value(badgeOption).toLocal8Bit().constData(),
                     sim.badgeNames().join(QStringLiteral(", ")).toLocal8Bit().constData());
        return 2;
    }
    if (!sim.createLink(parser.value(linkOption), &error)) {
        std::fprintf(stderr, "Lien impossible : %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    sim.setPacing(parser.isSet(pacedOption));
    if (!installSignalHandlers(&app))
        std::fprintf(stderr, "Signaux non interceptés : le lien restera en place\n");

    QObject::connect(&sim, &ReaderSim::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&sim, &ReaderSim::notice, [](const QString &text) { print(text); });
    ControlInput input(&sim, parser.isSet(stayOption), &app);
    if (!applyFaultOptions(sim, parser, &app))
        return 2;

    print(QStringLiteral("Port : %1").arg(sim.slavePath()));
    print(QStringLiteral("Lien : %1").arg(sim.linkPath()));
    if (!sim.presentBadge().isEmpty())
        print(QStringLiteral("Badge présenté : %1").arg(sim.presentBadge()));
    print(QStringLiteral("Tapez help pour la liste des commandes."));

    return app.exec();
}
