// bench_memory: peak resident size of the window after a full
// configuration load from the simulated reader (unpaced).
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "bench/benchsupport.h"

namespace {
// VmHWM of this process, in MB; -1 when unknown.
double PeakResidentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}
}

int main(int argc, char *argv[])
{
    BenchOffscreenUnlessDisplay();
    QApplication app(argc, argv);
    BenchQuietLog(false);
    SimThread sim(false);
    if (!sim.started())
        return 1;
    MainWindow window(sim.port());
    window.show();
    auto *load = window.findChild<QPushButton *>("BTN_ReaderConfigLoad");
    if (!WaitFor([load] { return load->isEnabled(); }, 5000))
        return 1;
    bool finished = false;
    QObject::connect(&window.Chain, &CommandChain::finished, [&finished] { finished = true; });
    load->click();
    if (!WaitFor([&finished] { return finished; }, 120000)
        || window.findChild<QLineEdit *>("SAI_ConfigStatus")->text() != QLatin1String("Lecture Ok"))
        return 1;
    benchReport("Mémoire résidente maximale après un chargement de configuration", PeakResidentMb(),
                "Mo", 80);
    return 0;
}
