// Start-up: from the process start to the window shown (offscreen), median
// of several runs of the real executable.
//   bench_startup PATH-TO-kovrim-manager [RUNS, default 10]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include "bench/benchreport.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage : bench_startup KOVRIM-MANAGER [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? qMax(1, atoi(argv[2])) : 10;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KOVRIM_QUIT_WHEN_SHOWN", "1");
    // The window keeps its settings: not in the developer's own.
    QTemporaryDir config;
    env.insert("XDG_CONFIG_HOME", config.path());
    QVector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        // A port that does not exist: the open fails in the engine's thread
        // and does not hold the window back.
        process.start(argv[1], {"/nonexistent/kovrim-bench"});
        if (!process.waitForStarted(5000))
            return 1;
        QByteArray out;
        while (!out.contains("shown") && process.waitForReadyRead(10000))
            out += process.readAllStandardOutput();
        if (!out.contains("shown")) {
            std::fprintf(stderr, "la fenêtre ne s'est pas affichée\n");
            return 1;
        }
        times << double(timer.nsecsElapsed()) / 1e6;
        process.waitForFinished(5000);
    }
    benchReport("Démarrage jusqu'à la fenêtre affichée (médiane)", median(times), "ms", 250);
    return 0;
}
