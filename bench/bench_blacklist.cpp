// bench_blacklist: a blacklist of 200 rows written into list file 5
// through the real window and engine, the simulator pacing its line at 9600
// baud. Prints the ratio to the wire limit: every frame byte of both
// directions at 1.04 ms plus the 10 ms quiet wait before each request.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "bench/benchsupport.h"
#include "tests/support/agreeingoperator.h"

namespace {
constexpr int Rows = 200;

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
    QElapsedTimer timer;
    timer.start();
    write->click();
    if (!WaitFor([&finished] { return finished; }, 120000))
        return -1;
    const double ms = timer.nsecsElapsed() / 1e6;
    if (window.findChild<QLineEdit *>("SAI_BlackListStatus")->text() != QLatin1String("LN Add->FIN"))
        return -1;
    const double limit = WireMs(sim.bytes() - bytesBefore) + (Rows + 1) * QuietWaitMs;
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
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 3;
    QVector<double> ratios;
    for (int i = 0; i < runs; ++i) {
        const double ratio = TransferOnce();
        if (ratio < 0) {
            std::printf("transfert %d : ÉCHEC\n", i + 1);
            return 1;
        }
        ratios << ratio;
    }
    benchReport("Liste noire de 200 lignes à 9600 bauds, rapport à la limite (médiane)", median(ratios),
                "", 1.15);
    return 0;
}
