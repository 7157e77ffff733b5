// bench_badgeread: from a badge laid on the simulated reader to
// "Lecture->OK" in the window, the simulator pacing its line at 9600 baud.
// The wait for the next poll is left out (the clock starts when the poll
// that finds the badge reaches the reader), and so are the frames' wire
// time and the quiet wait before the read: what remains is what the tool
// adds.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <atomic>

#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "bench/benchsupport.h"

int main(int argc, char *argv[])
{
    BenchOffscreenUnlessDisplay();
    QApplication app(argc, argv);
    BenchQuietLog(false);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 10;

    SimThread sim(true);
    if (!sim.started())
        return 1;
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> armed{false};
    std::atomic<qint64> pollSeenNs{-1};
    std::atomic<qint64> bytesAtPoll{0};
    ReaderSim *reader = sim.sim();
    QObject::connect(reader, &ReaderSim::requestReceived, reader,
                     [&, reader](char c1, char c2, const QByteArray &) {
                         if (c1 == 'B' && c2 == 'S' && armed.load() && pollSeenNs.load() < 0) {
                             bytesAtPoll = reader->bytesReceived() + reader->bytesSent();
                             pollSeenNs = clock.nsecsElapsed();
                         }
                     }, Qt::DirectConnection);

    MainWindow window(sim.port());
    window.show();
    auto *readButton = window.findChild<QPushButton *>("BTN_BadgeRead");
    auto *status = window.findChild<QLineEdit *>("SAI_ProtocoleStatus");
    auto *support = window.findChild<QLineEdit *>("SAI_SupportStatus");
    if (!WaitFor([&window] { return window.Protocole.ComIsOpen.load(); }, 5000))
        return 1;
    qint64 readOkNs = -1;
    QObject::connect(status, &QLineEdit::textChanged, [&](const QString &text) {
        if (text == QLatin1String("Lecture->OK") && readOkNs < 0)
            readOkNs = clock.nsecsElapsed();
    });
    readButton->click();
    WaitFor([] { return false; }, 1500);  // a few polls with no badge first

    QVector<double> added;
    for (int i = 0; i < runs; ++i) {
        readOkNs = -1;
        pollSeenNs = -1;
        armed = true;
        sim.run([](ReaderSim &r) { r.present(QStringLiteral("credit")); });
        if (!WaitFor([&] { return readOkNs >= 0; }, 10000)) {
            std::printf("lecture %d : ÉCHEC\n", i + 1);
            return 1;
        }
        armed = false;
        const qint64 bytes = sim.bytes() - bytesAtPoll.load();
        const double totalMs = (readOkNs - pollSeenNs.load()) / 1e6;
        const double extra = totalMs - WireMs(bytes) - QuietWaitMs;
        std::printf("lecture %d : %.1f ms depuis le poll, %lld octets (%.1f ms de ligne), ajouté %.1f ms\n",
                    i + 1, totalMs, static_cast<long long>(bytes), WireMs(bytes), extra);
        std::fflush(stdout);
        added << extra;
        sim.run([](ReaderSim &r) { r.remove(); });
        if (!WaitFor([support] { return support->text() == QLatin1String("Aucun Support"); }, 10000))
            return 1;
    }
    benchReport("Lecture d'un badge, temps ajouté à la ligne (médiane)", median(added), "ms", 50);
    return 0;
}
