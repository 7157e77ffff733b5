// bench_safewrite: what the safe write of 10 parameters costs at 9600 baud.
// The same 10 changes are written twice against the paced simulator: once
// with the writes and commits alone, once with the backup file and the
// read-back check as the window does them. Prints the time the safe write
// adds. The core alone, no window.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "bench/benchreport.h"
#include "bench/benchsupport.h"
#include "config/configjobs.h"
#include "link/readersession.h"

namespace {
constexpr int Changes = 10;

bool RunJob(ReaderJob &job)
{
    bool ended = false;
    JobOutcome outcome = JobOutcome::LinkLost;
    QObject::connect(&job, &ReaderJob::finished, [&](JobOutcome o) {
        ended = true;
        outcome = o;
    });
    return job.start() && WaitFor([&] { return ended; }, 120000) && outcome == JobOutcome::Done;
}

// Ten plain (typed) writable parameters, each given a new value.
void Edit(ConfigModel &model, int round)
{
    int edited = 0;
    for (int i = 0; i < model.count() && edited < Changes; ++i) {
        const ConfigParameter &parameter = model.at(i);
        if (parameter.readOnly || parameter.kind == "10" || parameter.kind == "20")
            continue;
        model.edit(parameter.identifier, QString::number(1000 * round + edited));
        ++edited;
    }
}

double SaveMs(ReaderSession &session, ConfigModel &model, int round, bool safe,
              const QString &folder)
{
    Edit(model, round);
    ConfigSaveJob job(session, model);
    if (safe) {
        job.setBackupFolder(folder);
        job.setCheck(true);
    }
    QElapsedTimer timer;
    timer.start();
    if (!RunJob(job))
        return -1;
    return timer.nsecsElapsed() / 1e6;
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    BenchQuietLog(false);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 3;
    SimThread sim(true);
    QTemporaryDir folder;
    ReaderSession session;
    session.open(sim.port());
    ConfigModel model;
    ConfigLoadJob load(session, model);
    if (!sim.started() || !WaitFor([&] { return session.isOpen(); }, 5000) || !RunJob(load)) {
        std::printf("chargement : ÉCHEC\n");
        return 1;
    }
    QVector<double> added;
    for (int run = 0; run < runs; ++run) {
        const double plain = SaveMs(session, model, 2 * run + 1, false, folder.path());
        const double safe = SaveMs(session, model, 2 * run + 2, true, folder.path());
        if (plain < 0 || safe < 0) {
            std::printf("écriture %d : ÉCHEC\n", run + 1);
            return 1;
        }
        std::printf("%d paramètres : écriture seule %.0f ms, avec sauvegarde et vérification %.0f ms\n",
                    Changes, plain, safe);
        std::fflush(stdout);
        added << safe - plain;
    }
    benchReport("Ecriture vérifiée de 10 paramètres à 9600 bauds, temps ajouté (médiane)",
                median(added), "ms", 1000);
    return 0;
}
