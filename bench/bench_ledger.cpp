// bench_ledger: what the ledger costs. The time it adds to one money
// operation (its row before the send, its outcome after, each committed to
// the disk), median and 95th percentile over 200; then, with 100 000 rows,
// the page "Historique" opened, a filter applied, and kovrim-cli
// ledger-verify. Runs in a home of its own.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "ledger/historypage.h"
#include "ledger/ledger.h"

namespace {
constexpr int Transactions = 200;
constexpr int ManyRows = 100000;

LedgerMoneyOperation Debit(int i)
{
    LedgerMoneyOperation operation;
    operation.kind = i % 3 ? LedgerKind::Debit : LedgerKind::Credit;
    operation.uid = QStringLiteral("04A1%1").arg(i % 5000, 4, 16, QLatin1Char('0')).toUpper();
    operation.user = QString::number(i % 5000);
    operation.group = QStringLiteral("1");
    operation.counter = QStringLiteral("0");
    operation.amountCents = 100 + i % 900;
    operation.balanceBeforeCents = 10000;
    return operation;
}

double Percentile(QVector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, int(values.size() * fraction)));
}

void AddedTimePerTransaction(const QString &path)
{
    Ledger ledger(path);
    ledger.setContext({QStringLiteral("banc"), {}, QStringLiteral("/dev/ttyUSB0"), {}});
    if (!ledger.open())
        qFatal("ledger: %s", qPrintable(ledger.error()));
    QVector<double> times;
    for (int i = 0; i < Transactions; ++i) {
        QElapsedTimer timer;
        timer.start();
        const qint64 id = ledger.recordPlanned(Debit(i)).id;
        ledger.recordOutcome(id, LedgerOutcome::Done, 9000);
        times << timer.nsecsElapsed() / 1e6;
    }
    benchReport(QStringLiteral("Historique, temps ajouté à une opération (médiane sur %1)").arg(Transactions),
                median(times), QStringLiteral("ms"), 15);
    benchReport(QStringLiteral("Historique, temps ajouté à une opération (95e centile)"), Percentile(times, 0.95),
                QStringLiteral("ms"), 50);
}

// 100 000 chained rows at once (one transaction): an operation and its
// outcome each time, a few unknown.
void Fill(const QString &path)
{
    {
        Ledger ledger(path);
        if (!ledger.open())
            qFatal("ledger: %s", qPrintable(ledger.error()));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(path);
    db.open();
    QSqlQuery query(db);
    query.exec(QStringLiteral("BEGIN"));
    query.prepare(QStringLiteral("INSERT INTO entries VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    QByteArray previous;
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-365);
    for (int seq = 1; seq <= ManyRows; ++seq) {
        const bool operation = seq % 2;
        const int n = (seq - 1) / 2;
        const LedgerMoneyOperation money = Debit(n);
        LedgerEntry row;
        row.seq = seq;
        row.ref = operation ? 0 : seq - 1;
        row.at = start.addSecs(seq * 300);
        row.event = operation ? LedgerEvent::Operation : LedgerEvent::Outcome;
        row.kind = money.kind;
        row.operatorName = QStringLiteral("opérateur %1").arg(n % 7);
        row.pcName = QStringLiteral("poste");
        row.port = QStringLiteral("/dev/ttyUSB0");
        row.uid = money.uid;
        row.user = money.user;
        row.group = money.group;
        row.counter = money.counter;
        row.amountCents = money.amountCents;
        row.balanceBeforeCents = money.balanceBeforeCents;
        row.outcome = operation ? QString() : (n % 97 ? LedgerOutcome::Done : LedgerOutcome::Unknown);
        row.hash = Ledger::RowHash(previous, row);
        for (const QVariant &value :
             QVariantList{row.seq, row.ref, row.at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")),
                          row.event, row.kind, row.operatorName, row.pcName, row.port, QStringLiteral(""),
                          row.uid, row.user, row.group, row.counter, row.amountCents, *row.balanceBeforeCents,
                          QVariant(QVariant::LongLong), row.outcome.isNull() ? QStringLiteral("") : row.outcome,
                          QStringLiteral(""), previous.isNull() ? QStringLiteral("") : QString::fromLatin1(previous),
                          QString::fromLatin1(row.hash)})
            query.addBindValue(value);
        if (!query.exec())
            qFatal("fill: row %d", seq);
        previous = row.hash;
    }
    query.exec(QStringLiteral("COMMIT"));
    query.finish();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

void VerifyFigure(const QString &cli)
{
    QElapsedTimer timer;
    timer.start();
    QProcess verify;
    verify.start(cli, {QStringLiteral("--ledger"), Ledger::DefaultPath(), QStringLiteral("ledger-verify")});
    verify.waitForFinished(60000);
    const double verifyMs = timer.nsecsElapsed() / 1e6;
    if (verify.exitCode() != 0)
        qFatal("ledger-verify: %s", verify.readAllStandardError().constData());
    benchReport(QStringLiteral("kovrim-cli ledger-verify sur 100 000 lignes"), verifyMs / 1000, QStringLiteral("s"), 3);
}

// The page measured once the window's check of the chain at start has
// ended (it runs beside the window, on the other core); five of each,
// the median kept.
void ManyRowsFigures()
{
    QElapsedTimer timer;
    timer.start();
    MainWindow window;
    window.show();
    QApplication::processEvents();
    const double startMs = timer.nsecsElapsed() / 1e6;
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 4000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("ONG_Main"));
    QWidget *page = window.findChild<QWidget *>(QStringLiteral("ONG_Historique"));
    auto *outcomes = window.findChild<QComboBox *>(QStringLiteral("COMB_HistoryOutcome"));
    auto *kinds = window.findChild<QComboBox *>(QStringLiteral("COMB_HistoryKind"));
    QVector<double> opens;
    QVector<double> filters;
    for (int round = 0; round < 5; ++round) {
        tabs->setCurrentIndex(0);
        window.History->changed();
        timer.restart();
        tabs->setCurrentWidget(page);
        QApplication::processEvents();
        opens << timer.nsecsElapsed() / 1e6;
        timer.restart();
        outcomes->setCurrentIndex(round % 2 ? 0 : outcomes->findData(LedgerOutcome::Unknown));
        QApplication::processEvents();
        filters << timer.nsecsElapsed() / 1e6;
        timer.restart();
        kinds->setCurrentIndex(round % 2 ? 0 : kinds->findData(LedgerKind::Credit));
        QApplication::processEvents();
        filters << timer.nsecsElapsed() / 1e6;
    }
    std::printf("fenêtre ouverte sur %d lignes en %.0f ms\n", ManyRows, startMs);
    benchReport(QStringLiteral("Page « Historique » sur 100 000 lignes, ouverture (médiane)"), median(opens),
                QStringLiteral("ms"), 300);
    benchReport(QStringLiteral("Page « Historique » sur 100 000 lignes, un filtre (médiane)"), median(filters),
                QStringLiteral("ms"), 300);
}
}

int main(int argc, char *argv[])
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/kovrim-bench-ledger-XXXXXX"));
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type >= QtCriticalMsg)
            std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    });
    QDir().mkpath(QFileInfo(Ledger::DefaultPath()).absolutePath());
    AddedTimePerTransaction(QDir(home.path()).filePath(QStringLiteral("transactions.sqlite")));
    Fill(Ledger::DefaultPath());
    if (qEnvironmentVariableIsSet("KOVRIM_BENCH_LEDGER_KEEP"))
        QFile::copy(Ledger::DefaultPath(), qEnvironmentVariable("KOVRIM_BENCH_LEDGER_KEEP"));
    VerifyFigure(QCoreApplication::applicationDirPath() + QStringLiteral("/" KOVRIM_CLI_RELATIVE_PATH));
    ManyRowsFigures();
    return 0;
}
