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
#include "config/configpage.h"
#include "bench/benchreport.h"
#include "bench/benchsupport.h"
#include "sim/readersim.h"

namespace {

constexpr int LoadTimeoutMs = 120000;

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
    run.parameters = window.Config->model().itemOrder().size();
    if (!WaitFor([&finished] { return finished; }, LoadTimeoutMs))
        return run;
    run.ms = timer.nsecsElapsed() / 1e6;
    run.bytes = sim.bytes() - bytesBefore;
    run.ok = window.findChild<QLineEdit *>("SAI_ConfigStatus")->text() == QLatin1String("Lecture Ok");
    return run;
}

double WireLimitMs(const Run &run)
{
    return WireMs(run.bytes) + run.parameters * QuietWaitMs;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchOffscreenUnlessDisplay();
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
    BenchQuietLog(parser.isSet(logOption));
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
