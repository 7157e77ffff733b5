// The ledger across processes: a window killed between a debit's send and
// its answer leaves an operation that the next start lists, locks and
// settles on the reader's real balance; the window and two kovrim-cli
// processes writing the same file at once lose no row.
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <memory>

#include "badge/badgepage.h"
#include "badge/badgerecord.h"
#include "ledger/ledger.h"
#include "tests/cli/clirun.h"
#include "tests/cli/clisim.h"
#include "tests/support/windowfixture.h"

namespace {
// Set in the environment of the child that plays the window to be killed.
const char ChildPortVariable[] = "KOVRIM_TEST_WINDOW_CHILD_PORT";
const QString DebitedUid = QStringLiteral("04A1B2C3");

QString BadgeBalance(const ReaderSim &sim)
{
    for (const RecordPair &pair : RecordPairsParse(sim.badgeRecord(QStringLiteral("credit"))))
        if (pair.key == QLatin1String("Cn0"))
            return pair.value;
    return QString();
}

// Reads the badge on the reader, then stops polling: the window is idle,
// the badge in its form.
bool ReadOnce(MainWindow &window, const TextHistory &status)
{
    auto *read = window.findChild<QPushButton *>("BTN_BadgeRead");
    read->click();
    if (!QTest::qWaitFor([&status] { return status.contains("Lecture->OK"); }, 10000))
        return false;
    if (read->isChecked())
        read->click();
    return QTest::qWaitFor([&window] { return !window.Protocole.Polling.load() && window.Protocole.Cmd.IsFree.load(); },
                           5000);
}

bool PortReady(MainWindow &window)
{
    return QTest::qWaitFor([&window] {
        return window.Protocole.ComIsOpen.load()
               && window.findChild<QPushButton *>("BTN_ReaderConfigLoad")->isEnabled();
    }, 5000);
}

int ChildFails(const char *why)
{
    std::fprintf(stderr, "fenêtre enfant : %s\n", why);
    return 3;
}

// The child: the real window reads the badge and debits 1,50, then waits
// to be killed. The parent kills it when the reader receives the debit.
int RunWindowChild(const QString &port)
{
    if (!QDir::homePath().startsWith(QDir::tempPath() + "/kovrim-ledger-processes-home-"))
        return ChildFails("pas dans le dossier personnel du test");
    MainWindow window(port);
    window.show();
    if (!PortReady(window))
        return ChildFails("port non ouvert");
    TextHistory status(window.findChild<QLineEdit *>("SAI_ProtocoleStatus"));
    if (!ReadOnce(window, status))
        return ChildFails("badge non lu");
    auto *debit = window.findChild<QPushButton *>("BTN_TransactionDebit");
    if (!QTest::qWaitFor([debit] { return debit->isEnabled(); }, 5000))
        return ChildFails("débit impossible");
    window.findChild<QLineEdit *>("SAI_Transaction")->setText("1,50");
    debit->click();
    return QApplication::exec();
}
}

class TestLedgerProcesses : public QObject
{
    Q_OBJECT

private slots:
    // The operator's folder of a home made for the test, emptied before
    // each case: never a real home, even when the test runs by hand.
    void init()
    {
        QVERIFY(QDir::homePath().startsWith(QDir::tempPath() + "/kovrim-ledger-processes-home-"));
        QDir(QFileInfo(Ledger::DefaultPath()).absolutePath()).removeRecursively();
    }

    void debitKilledBetweenSendAndAnswer()
    {
        ReaderSim sim;
        QVERIFY(sim.start());
        QVERIFY(sim.present("credit"));
        // The reader applies the debit; its answer never leaves.
        sim.failNext(ReaderSim::Fault::Lose, "BT");

        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(ChildPortVariable, sim.slavePath());
        child.setProcessEnvironment(environment);
        bool killed = false;
        connect(&sim, &ReaderSim::requestReceived, &child, [&](char c1, char c2, const QByteArray &) {
            if (c1 == 'B' && c2 == 'T' && !killed) {
                ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
                killed = true;
            }
        });
        child.start();
        QTRY_VERIFY_WITH_TIMEOUT(killed || child.state() == QProcess::NotRunning, 15000);
        QVERIFY2(killed, child.readAllStandardError().constData());
        QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 5000);
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(BadgeBalance(sim), QString("1350"));

        {
            // Recorded before the send, nothing after it.
            Ledger ledger(Ledger::DefaultPath());
            QVERIFY(ledger.open());
            const QList<LedgerEntry> unsettled = ledger.unsettled();
            QCOMPARE(unsettled.size(), 1);
            QCOMPARE(unsettled.first().uid, DebitedUid);
            QCOMPARE(unsettled.first().kind, LedgerKind::Debit);
            QCOMPARE(unsettled.first().amountCents, 150);
            QCOMPARE(ledger.entries(LedgerFilter()).size(), 1);
        }

        // The window again, on the same home and the same reader.
        MainWindow window(sim.slavePath());
        window.show();
        auto *pending = window.findChild<QListWidget *>("LST_BadgePending");
        QCOMPARE(pending->count(), 1);
        QVERIFY2(pending->item(0)->text().startsWith(DebitedUid), qPrintable(pending->item(0)->text()));
        QVERIFY(pending->item(0)->text().contains("1.50"));
        auto *page = window.findChild<BadgePage *>();
        QVERIFY(page);
        QVERIFY(page->operations().isLocked(DebitedUid));
        QVERIFY(window.findChild<QPlainTextEdit *>("TXTEDIT_Journal")
                    ->toPlainText()
                    .contains("Opérations à régler d'une session précédente : 1"));

        QVERIFY(PortReady(window));
        // The operator presents the badge again.
        sim.remove();
        QVERIFY(sim.present("credit"));
        TextHistory status(window.findChild<QLineEdit *>("SAI_ProtocoleStatus"));
        QVERIFY2(ReadOnce(window, status), qPrintable(status.texts.join(" | ")));
        QTRY_COMPARE(pending->count(), 0);
        QVERIFY(!page->operations().isLocked(DebitedUid));
        QCOMPARE(window.findChild<QLineEdit *>("SAI_Credit")->text(), QString("13.50"));

        Ledger ledger(Ledger::DefaultPath());
        QVERIFY(ledger.open());
        QVERIFY(ledger.unsettled().isEmpty());
        const QList<LedgerEntry> rows = ledger.entries(LedgerFilter());
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.first().event, LedgerEvent::Settlement);
        QCOMPARE(rows.first().ref, rows.last().seq);
        QCOMPARE(rows.first().outcome, LedgerOutcome::Applied);
        QCOMPARE(rows.first().balanceAfterCents, std::optional<qint64>(1350));
        QCOMPARE(ledger.totals(LedgerFilter()).debitsCents, 150);
        QVERIFY(ledger.verify().ok);
        QCOMPARE(sim.requestCount('B', 'T'), 1);
    }

    // Each round, the window sets its reader's clock while two kovrim-cli
    // set theirs, all three recording in the same file.
    void windowAndTwoCliWriteAtOnce()
    {
        WindowWithReader w;
        QVERIFY(w.start());
        LinkedSim first;
        LinkedSim second;
        QVERIFY(first.start(QStringLiteral("premier")));
        QVERIFY(second.start(QStringLiteral("second")));
        const QString path = Ledger::DefaultPath();
        auto *clock = w.field<QPushButton>("BTN_DateHeureMAJ");
        constexpr int Rounds = 5;
        for (int round = 0; round < Rounds; ++round) {
            QTRY_VERIFY_WITH_TIMEOUT(clock->isEnabled(), 5000);
            CliProcess one({"--port", first.link, "--ledger", path, "--operator", "Un", "clock-set"});
            CliProcess two({"--port", second.link, "--ledger", path, "--operator", "Deux", "clock-set"});
            MessageBoxCatcher done;
            done.arm();
            clock->click();
            QTRY_COMPARE_WITH_TIMEOUT(done.text, QString("Mise à jour OK"), 10000);
            const CliRun oneRun = one.finish();
            const CliRun twoRun = two.finish();
            QVERIFY2(oneRun.exitCode == 0, qPrintable(oneRun.err));
            QVERIFY2(twoRun.exitCode == 0, qPrintable(twoRun.err));
        }

        const CliRun verify = RunCli({"--json", "--ledger", path, "ledger-verify"});
        QVERIFY2(verify.exitCode == 0, qPrintable(verify.out + verify.err));
        QCOMPARE(QJsonDocument::fromJson(verify.out.toUtf8()).object().value("rows").toInt(), 3 * Rounds);
        Ledger ledger(path);
        QVERIFY(ledger.open());
        QMap<QString, int> byPort;
        for (const LedgerEntry &row : ledger.entries(LedgerFilter())) {
            QCOMPARE(row.outcome, LedgerOutcome::Done);
            ++byPort[row.port];
        }
        const QMap<QString, int> expected{{w.sim.slavePath(), Rounds}, {first.link, Rounds}, {second.link, Rounds}};
        QCOMPARE(byPort, expected);
    }
};

int main(int argc, char *argv[])
{
    const QString childPort = qEnvironmentVariable(ChildPortVariable);
    if (!childPort.isEmpty()) {
        QApplication app(argc, argv);
        return RunWindowChild(childPort);
    }
    QTemporaryDir home(QDir::tempPath() + "/kovrim-ledger-processes-home-XXXXXX");
    if (!home.isValid())
        return 1;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    QApplication app(argc, argv);
    TestLedgerProcesses test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ledger_processes.moc"
