// bench_configload: times a full load of the reader configuration through
// the real window and link engine, from the simulated reader, unpaced and
// with the simulator pacing its line at 9600 baud. Prints ms a parameter
// and, paced, the ratio to the wire limit: every frame byte of both
// directions at 1.04 ms plus the 10 ms quiet wait before each request.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "sim/readersim.h"

namespace {

constexpr int LoadTimeoutMs = 120000;
constexpr double QuietWaitMs = 10.0;  // the engine's idle wait before a send
bool keepLog = false;

void LogHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    // The product logs every byte step; on a terminal the printing alone
    // would be timed. Warnings and worse always show.
    if (keepLog || type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
}

bool WaitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The simulated reader in a thread of its own, so that its pacing timer
// does not wait for the window's work.
class SimThread
{
public:
    explicit SimThread(bool paced)
    {
        m_thread.start();
        m_sim = new ReaderSim;
        m_sim->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_sim, [this, paced] {
            m_started = m_sim->start();
            m_sim->setPacing(paced);
        }, Qt::BlockingQueuedConnection);
    }
    ~SimThread()
    {
        QMetaObject::invokeMethod(m_sim, [this] { delete m_sim; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool started() const { return m_started; }
    QString port() const { return m_sim->slavePath(); }
    qint64 bytes() const
    {
        qint64 total = 0;
        QMetaObject::invokeMethod(m_sim, [this, &total] {
            total = m_sim->bytesReceived() + m_sim->bytesSent();
        }, Qt::BlockingQueuedConnection);
        return total;
    }

private:
    QThread m_thread;
    ReaderSim *m_sim = nullptr;
    bool m_started = false;
};

struct Run {
    bool ok = false;
    double ms = 0;
    int parameters = 0;
    qint64 bytes = 0;
};

Run LoadOnce(bool paced)
{
    Run run;
    SimThread sim(paced);
    if (!sim.started())
        return run;
    MainWindow window(sim.port());
    window.show();
    auto *load = window.findChild<QPushButton *>("BTN_ReaderConfigLoad");
    if (!WaitFor([load] { return load->isEnabled(); }, 5000))
        return run;

    bool finished = false;
    QObject::connect(&window.Chain, &CommandChain::finished, [&finished] { finished = true; });
    const qint64 bytesBefore = sim.bytes();
    QElapsedTimer timer;
    timer.start();
    load->click();
    run.parameters = window.ToDoList.size();
    if (!WaitFor([&finished] { return finished; }, LoadTimeoutMs))
        return run;
    run.ms = timer.nsecsElapsed() / 1e6;
    run.bytes = sim.bytes() - bytesBefore;
    run.ok = window.findChild<QLineEdit *>("SAI_ConfigStatus")->text() == QLatin1String("Lecture Ok");
    return run;
}

double WireLimitMs(const Run &run)
{
    return run.bytes * ReaderSim::PacedByteNs / 1e6 + run.parameters * QuietWaitMs;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Chargement complet de la configuration depuis le simulateur, sans et avec cadence 9600 bauds."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"),
        QStringLiteral("Nombre de chargements par mode (défaut : 3)."), QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption logOption(QStringLiteral("log"),
        QStringLiteral("Garder le journal de débogage sur la sortie d'erreur."));
    parser.addOption(runsOption);
    parser.addOption(logOption);
    parser.process(app);
    keepLog = parser.isSet(logOption);
    qInstallMessageHandler(LogHandler);
    const int runs = qMax(1, parser.value(runsOption).toInt());

    int failures = 0;
    QVector<double> msPerParameter;
    QVector<double> ratios;
    for (const bool paced : {false, true}) {
        const char *mode = paced ? "9600 bauds" : "sans cadence";
        for (int i = 0; i < runs; ++i) {
            const Run run = LoadOnce(paced);
            if (!run.ok) {
                std::printf("%-12s chargement %d : ÉCHEC\n", mode, i + 1);
                ++failures;
                continue;
            }
            const double perParameter = run.ms / qMax(1, run.parameters);
            std::printf("%-12s chargement %d : %d paramètres en %.0f ms, %.2f ms/paramètre, %lld octets",
                        mode, i + 1, run.parameters, run.ms, perParameter,
                        static_cast<long long>(run.bytes));
            if (paced) {
                const double limit = WireLimitMs(run);
                std::printf(", limite de la ligne %.0f ms, rapport %.3f", limit, run.ms / limit);
                ratios.append(run.ms / limit);
            } else {
                msPerParameter.append(perParameter);
            }
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    benchReport("Chargement de la configuration sans cadence (médiane)", median(msPerParameter),
                "ms/paramètre", 12);
    benchReport("Chargement à 9600 bauds, rapport à la limite de la ligne (médiane)", median(ratios),
                "", 1.15);
    return failures == 0 ? 0 : 1;
}
