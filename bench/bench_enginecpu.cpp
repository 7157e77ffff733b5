// CPU used by the link engine's thread, as a share of one core: port closed,
// port open and idle, polling with no badge. The simulator runs in the main
// thread and is not counted.
//   bench_enginecpu [SECONDS per figure, default 10]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>

#include "bench/benchreport.h"
#include "link/Protocole.h"
#include "sim/readersim.h"

#include <unistd.h>

namespace {
// Clock ticks the thread named name has run, user and system; -1 if none.
qint64 ThreadTicks(const QByteArray &name)
{
    for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name)
            continue;
        QFile stat("/proc/self/task/" + task + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray line = stat.readAll();
        // Fields after the command name, which may hold blanks: utime is
        // field 14 and stime field 15 of the whole line.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        return fields.value(11).toLongLong() + fields.value(12).toLongLong();
    }
    return -1;
}

void Wait(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

double CpuShare(int seconds)
{
    const qint64 before = ThreadTicks("QProtocole");
    QElapsedTimer wall;
    wall.start();
    Wait(seconds * 1000);
    const qint64 after = ThreadTicks("QProtocole");
    const double cpuMs = double(after - before) * 1000.0 / double(sysconf(_SC_CLK_TCK));
    return 100.0 * cpuMs / double(wall.elapsed());
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 10;

    ReaderSim sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulateur : %s\n", qUtf8Printable(error));
        return 1;
    }
    QProtocole engine;
    engine.start();
    Wait(200);
    benchReport("CPU moteur, port fermé", CpuShare(seconds), "%", 0.2);

    engine.SetPortName(sim.slavePath());
    engine.PostComRequest(QProtocole::COM_OPEN);
    Wait(500);
    if (!engine.ComIsOpen.load()) {
        std::fprintf(stderr, "port non ouvert\n");
        return 1;
    }
    benchReport("CPU moteur, port ouvert au repos", CpuShare(seconds), "%", 1.0);

    engine.Polling.store(true);
    Wait(1000);
    benchReport("CPU moteur, polling sans badge", CpuShare(seconds), "%", 2.0);
    engine.Polling.store(false);
    engine.Stop();
    return 0;
}
