// bench_blacklist: a blacklist of 10 000 rows (the most a write sends)
// written into list file 5 through the real window and engine, with the
// backup of the reader's list before and the read-back after, the
// simulator pacing its line at 9600 baud. Prints the ratio to the wire
// limit: every frame byte of both directions at 1.04 ms plus the 10 ms
// quiet wait before each request. About half an hour a run.
//   bench_blacklist [RUNS, default 1] [ROWS, default 10000]
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "bench/benchsupport.h"
#include "tests/support/agreeingoperator.h"

namespace {
int Rows = 10000;

void FillTable(QTableWidget *table)
{
    table->setRowCount(Rows);
    for (int row = 0; row < Rows; ++row) {
        const QStringList cells = {QStringLiteral("12/05/26"),
                                   QStringLiteral("04A1%1").arg(row, 4, 16, QLatin1Char('0')).toUpper(),
                                   QString::number(1000 + row), QString::number(row % 7),
                                   QStringLiteral("perdu")};
        for (int column = 0; column < cells.size(); ++column)
            table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
}

// Requests of a write: identity, list reads, clear, adds.
int Requests(SimThread &sim)
{
    int requests = 0;
    sim.run([&requests](ReaderSim &reader) {
        for (const char *letters : {"VG", "FG", "FC", "FA"})
            requests += reader.requestCount(letters[0], letters[1]);
    });
    return requests;
}

double TransferOnce()
{
    SimThread sim(true);
    if (!sim.started())
        return -1;
    MainWindow window(sim.port());
    window.show();
    AgreeingOperator agrees;
    auto *write = window.findChild<QPushButton *>("BTN_BlackListWriteToSupport");
    if (!WaitFor([write] { return write->isEnabled(); }, 5000))
        return -1;
    FillTable(window.findChild<QTableWidget *>("TABLE_BlackList"));
    bool finished = false;
    QObject::connect(&window.Chain, &CommandChain::finished, [&finished] { finished = true; });
    const qint64 bytesBefore = sim.bytes();
    const int requestsBefore = Requests(sim);
    QElapsedTimer timer;
    timer.start();
    write->click();
    if (!WaitFor([&finished] { return finished; }, 3600000)) {
        std::printf("transfert sans fin au bout d'une heure\n");
        return -1;
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    // The write ends once its read-back agrees.
    const QString status = window.findChild<QLineEdit *>("SAI_BlackListStatus")->text();
    if (status != QStringLiteral("LN Vérification->OK")) {
        std::printf("transfert terminé sur « %s »\n", qUtf8Printable(status));
        return -1;
    }
    const int requests = Requests(sim) - requestsBefore;
    const double limit = WireMs(sim.bytes() - bytesBefore) + requests * QuietWaitMs;
    std::printf("%d lignes en %.0f ms, limite de la ligne %.0f ms, rapport %.3f\n", Rows, ms, limit,
                ms / limit);
    std::fflush(stdout);
    return ms / limit;
}
}

int main(int argc, char *argv[])
{
    BenchOffscreenUnlessDisplay();
    QApplication app(argc, argv);
    BenchQuietLog(false);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 1;
    if (argc > 2)
        Rows = qBound(1, atoi(argv[2]), 10000);
    QVector<double> ratios;
    for (int i = 0; i < runs; ++i) {
        const double ratio = TransferOnce();
        if (ratio < 0) {
            std::printf("transfert %d : ÉCHEC\n", i + 1);
            return 1;
        }
        ratios << ratio;
    }
    benchReport(QStringLiteral("Liste noire de %1 lignes écrite et relue à 9600 bauds, rapport à la limite "
                               "(médiane)").arg(Rows),
                median(ratios), "", 1.15);
    return 0;
}
