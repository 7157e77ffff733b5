// bench_cli: kovrim-cli config-read against simulators paced at 9600 baud,
// as real processes. One alone: its time (process start and port opening
// included) against the wire limit, every frame byte of both directions at
// 1.04 ms plus the 10 ms wait before each send. Four at once, one reader
// each: the time until the last ends, against one alone.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "bench/benchreport.h"
#include "bench/benchsupport.h"

namespace {
constexpr int Parameters = 143;

struct Batch {
    bool ok = true;
    double ms = 0;       // until the last process ended
    qint64 bytes = 0;    // of the first reader's line
};

Batch ReadAtOnce(int readers, const QTemporaryDir &dir)
{
    std::vector<std::unique_ptr<SimThread>> sims;
    for (int i = 0; i < readers; ++i) {
        sims.push_back(std::make_unique<SimThread>(true));
        if (!sims.back()->started())
            return {false};
    }
    std::vector<std::unique_ptr<QProcess>> processes;
    int running = readers;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < readers; ++i) {
        auto process = std::make_unique<QProcess>();
        QObject::connect(process.get(), qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
                         [&running] { --running; });
        process->start(QCoreApplication::applicationDirPath() + QStringLiteral("/" KOVRIM_CLI_RELATIVE_PATH),
                       {QStringLiteral("--port"), sims[i]->port(), QStringLiteral("config-read"),
                        dir.filePath(QStringLiteral("lecteur%1.txt").arg(i))});
        processes.push_back(std::move(process));
    }
    Batch batch;
    batch.ok = WaitFor([&running] { return running == 0; }, 120000);
    batch.ms = double(timer.nsecsElapsed()) / 1e6;
    for (const auto &process : processes)
        batch.ok = batch.ok && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    batch.bytes = sims.front()->bytes();
    return batch;
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "kovrim-cli config-read à 9600 bauds : seul, et quatre lecteurs à la fois."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"),
        QStringLiteral("Nombre de mesures par cas (défaut : 3)."), QStringLiteral("N"), QStringLiteral("3"));
    parser.addOption(runsOption);
    parser.process(app);
    BenchQuietLog(false);
    const int runs = qMax(1, parser.value(runsOption).toInt());
    QTemporaryDir dir;

    int failures = 0;
    QVector<double> alone;
    QVector<double> ratios;
    QVector<double> together;
    for (int i = 0; i < runs; ++i) {
        const Batch one = ReadAtOnce(1, dir);
        const Batch four = ReadAtOnce(4, dir);
        if (!one.ok || !four.ok) {
            std::printf("mesure %d : ÉCHEC\n", i + 1);
            ++failures;
            continue;
        }
        const double limit = WireMs(one.bytes) + Parameters * QuietWaitMs;
        std::printf("mesure %d : seul %.0f ms (limite de la ligne %.0f ms, rapport %.3f), "
                    "quatre à la fois %.0f ms (rapport %.3f)\n",
                    i + 1, one.ms, limit, one.ms / limit, four.ms, four.ms / one.ms);
        std::fflush(stdout);
        alone.append(one.ms);
        ratios.append(one.ms / limit);
        together.append(four.ms / one.ms);
    }
    benchReport("kovrim-cli config-read à 9600 bauds, rapport à la limite de la ligne (médiane)",
                median(ratios), "", 1.10);
    benchReport("kovrim-cli config-read, quatre lecteurs à la fois, rapport à un seul (médiane)",
                median(together), "", 1.2);
    return failures == 0 ? 0 : 1;
}
