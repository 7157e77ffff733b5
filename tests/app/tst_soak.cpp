// Soak: the window driven like an operator, over and over, through badge
// reads, transactions, a configuration load and save, a blacklist transfer
// and a clock setting, while the simulated line fails at random with a
// fixed seed (rounds of 0, 3, 10 and 25 % of the answers hit). After every
// operation: it ended with its success text or one of its failure texts
// within the sum of its time-outs plus 1 s, the command slot is free, the
// buttons are enabled again and polling can be switched on again. An
// unplugged adapter is plugged back and "Connecter" clicked.
//
// KOVRIM_SOAK_SECONDS sets how long operations are started (70 s by
// default, so that the whole test stays within 90 s); a summary of what
// ran, what ended how and which faults hit goes to the log.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "config/configpage.h"
#include "config/paramtree.h"
#include "link/commands.h"
#include "tests/support/linkwindow.h"
#include "tests/support/windowfixture.h"

namespace {
constexpr int DefaultSeconds = 70;
constexpr quint32 Seed = 20261208;
const int RatesPercent[] = {0, 3, 10, 25};
constexpr int MaxFindings = 10;
constexpr int PollPauseMs = 500;
constexpr int GraceMs = 1000;
// Beyond any bound: an operation still running then is stuck.
constexpr int StuckMs = 60000;

// How an operation ends: on its status line (or in the clock's box), with
// one of these texts (regular expressions).
struct Ending {
    const char *line;
    QStringList success;
    QStringList failure;
    bool chain = false;       // ends with the window's chain
    int unseenRequestMs = 0;  // time-out of a request the reader never saw
};

int TimeoutMs(const QByteArray &letters)
{
    return SimCommandTimeoutMs(letters.at(0), letters.at(1));
}

bool Matches(const QStringList &patterns, const QString &text)
{
    for (const QString &pattern : patterns)
        if (QRegularExpression(pattern).match(text).hasMatch())
            return true;
    return false;
}
}

class TestSoak : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowOnLink> w;
    QElapsedTimer soakClock;
    QElapsedTimer opClock;
    QList<QPair<QByteArray, qint64>> received;  // letters, when, during the operation
    QStringList injected;                       // faults of the operation
    bool unplugged = false;
    qint64 chainEndMs = -1;
    MessageBoxCatcher box;

    QStringList findings;
    QMap<QString, int> outcomes;  // "operation: text"
    QMap<QString, int> faultCounts;
    int operations = 0;
    int round = 0;

    void finding(const QString &operation, const QString &what)
    {
        findings << QStringLiteral("[%1 s, tour %2] %3 : %4 (pannes : %5)")
                        .arg(soakClock.elapsed() / 1000)
                        .arg(round)
                        .arg(operation, what, injected.join(", "));
        qWarning("%s", qPrintable(findings.last()));
    }

    QString shown(const Ending &ending) const
    {
        return QLatin1String(ending.line) == QLatin1String("box") ? box.text : w->text(ending.line);
    }

    // The adapter was pulled: the window says so, the adapter comes back
    // and the operator clicks "Connecter".
    void ensureLink(const QString &operation)
    {
        if (w->isOpen() && !unplugged)
            return;
        const QString lost = QString::fromUtf8("Liaison perdue : lecteur débranché ?");
        if (!QTest::qWaitFor([&] { return !w->isOpen() && w->text("LINEEDIT_Com") == lost; }, 3000))
            return finding(operation, "débranchement non signalé, liaison : " + w->text("LINEEDIT_Com"));
        unplugged = false;
        if (!QTest::qWaitFor([this] { return w->sim.isPlugged(); }, 3000))
            w->sim.replug();
        w->button("BTN_Serial")->click();
        // Open, and the window has heard of it.
        if (!QTest::qWaitFor([this] { return w->isOpen() && w->button("BTN_ReaderConfigLoad")->isEnabled(); },
                             5000))
            finding(operation, "\"Connecter\" n'ouvre pas la liaison");
    }

    void stopPolling()
    {
        if (w->button("BTN_BadgeRead")->isChecked())
            w->button("BTN_BadgeRead")->click();
        (void)QTest::qWaitFor([this] { return !w->window->Protocole.Polling.load() && w->slotFree(); }, 5000);
    }

    // What every operation must leave behind.
    void settle(const QString &operation)
    {
        if (!QTest::qWaitFor([this] { return w->idle(); }, GraceMs))
            finding(operation, "commande toujours occupée après la fin");
        ensureLink(operation);
        for (const char *name : {"BTN_ReaderConfigLoad", "BTN_BlackListWriteToSupport",
                                 "BTN_BlackListReadFromSupport", "BTN_DateHeureMAJ", "BTN_ReaderFileLoad"})
            if (!w->button(name)->isEnabled())
                finding(operation, QString("%1 reste grisé").arg(name));
        if (w->button("BTN_ReaderConfigSave")->isEnabled() != w->window->Config->model().hasConfiguration())
            finding(operation, "BTN_ReaderConfigSave ne suit pas la configuration");

        // Polling can be switched on again: a poll goes out, or times out
        // while the line is flooded.
        const int polls = w->sim.requestCount('B', 'S');
        TextHistory protocol(w->field("SAI_ProtocoleStatus"));
        w->button("BTN_BadgeRead")->click();
        if (!w->window->Protocole.Polling.load())
            finding(operation, "le polling ne se remet pas en marche");
        else if (!QTest::qWaitFor([&] { return w->sim.requestCount('B', 'S') > polls || unplugged
                                               || protocol.contains("Statut timeout"); },
                                  CmdTimeout::Poll + GraceMs))
            finding(operation, "aucune interrogation après la remise en marche du polling");
        stopPolling();
        ensureLink(operation);
        if (!QTest::qWaitFor([this] { return w->idle(); }, 5000))
            finding(operation, "commande occupée après l'arrêt du polling");
    }

    // Runs one operation and checks how it ended. `staticBoundMs`, when
    // given, replaces the bound made of the requests the reader saw;
    // `finish` runs once it has ended, before the checks of what it left.
    void run(const QString &operation, const Ending &ending, const std::function<void()> &start,
             int staticBoundMs = 0, const std::function<void()> &finish = {})
    {
        ensureLink(operation);
        TextHistory history(w->field(QLatin1String(ending.line) == QLatin1String("box") ? "SAI_ProtocoleStatus"
                                                                                        : ending.line));
        received.clear();
        injected.clear();
        chainEndMs = -1;
        if (QLatin1String(ending.line) == QLatin1String("box")) {
            box = MessageBoxCatcher();
            box.arm();
        }
        ++operations;
        opClock.start();
        start();

        auto ended = [&]() -> QString {
            if (QLatin1String(ending.line) == QLatin1String("box"))
                return box.text;
            if (ending.chain)
                return w->window->Chain.isRunning() || w->window->Config->isBusy() ? QString()
                                                                                   : shown(ending);
            for (const QString &text : history.texts)
                if (Matches(ending.success + ending.failure, text))
                    return text;
            return QString();
        };
        auto bound = [&]() -> qint64 {
            if (staticBoundMs)
                return staticBoundMs;
            qint64 sum = ending.unseenRequestMs + 1000;
            for (const auto &request : received)
                sum += TimeoutMs(request.first) + (request.first == "BS" ? PollPauseMs : 0);
            return sum;
        };
        QString text;
        while ((text = ended()).isEmpty() && opClock.elapsed() < qMin<qint64>(bound() + 2000, StuckMs))
            QTest::qWait(5);
        const qint64 elapsed = ending.chain && chainEndMs >= 0 ? chainEndMs : opClock.elapsed();
        if (text.isEmpty()) {
            // A poll answer garbled within its text may hide the badge's
            // arrival: nothing to read is then a right answer.
            if (operation == "lecture badge" && injected.contains("BS garbage inside"))
                text = "<arrivée brouillée>";
            else
                finding(operation, QString("pas de fin après %1 ms").arg(elapsed));
        } else if (!Matches(ending.success + ending.failure, text)) {
            finding(operation, "fin inattendue : " + text);
        } else if (elapsed > bound()) {
            finding(operation, QString("%1 en %2 ms, borne %3 ms").arg(text).arg(elapsed).arg(bound()));
        }
        outcomes[operation + " : " + (text.isEmpty() ? QString("<aucune>") : text)]++;
        if (finish)
            finish();
        settle(operation);
    }

    void readBadge()
    {
        const Ending ending{"SAI_ProtocoleStatus", {"^Lecture->OK$"},
                            {"^Lecture->ECHEC$", "^Lecture->CMD ERREUR$", "^Statut timeout$"}};
        w->sim.remove();
        // From the arrival: the poll on its way, the pause, the poll that
        // sees the badge, the read.
        const int bound = CmdTimeout::Poll + PollPauseMs + CmdTimeout::Poll + CmdTimeout::BadgeReadAfterPoll + 1000;
        run("lecture badge", ending, [this] {
            const int polls = w->sim.requestCount('B', 'S');
            w->button("BTN_BadgeRead")->click();
            (void)QTest::qWaitFor(
                [&] { return w->sim.requestCount('B', 'S') > polls || !w->window->Protocole.Polling.load(); },
                5000);
            opClock.start();
            w->sim.present("credit");
        }, bound, [this] { stopPolling(); });
    }

    void transaction(bool debit)
    {
        // After an unanswered one the operator reads the badge first.
        if (!w->button("BTN_TransactionDebit")->isEnabled())
            readBadge();
        if (!w->button("BTN_TransactionDebit")->isEnabled()) {
            outcomes[QString(debit ? "débit" : "crédit") + " : relecture du badge attendue"]++;
            return;
        }
        // Refused or accepted; accepted, the badge is read again.
        const Ending ending{"SAI_ProtocoleStatus", {"^Lecture->OK$"},
                            {"^Transaction->Echec$", "^Lecture->ECHEC$", "^Lecture->CMD ERREUR$"}};
        w->sim.present("credit");
        w->field("SAI_Transaction")->setText("0.10");
        run(debit ? "débit" : "crédit", ending, [this, debit] {
            w->button(debit ? "BTN_TransactionDebit" : "BTN_TransactionCredit")->click();
        }, CmdTimeout::Transaction + CmdTimeout::BadgeReadShort + 1000);
    }

    void configLoad()
    {
        run("lecture configuration",
            {"SAI_ConfigStatus", {"^Lecture Ok$"}, {"->TIMEOUT$"}, true, int(CmdTimeout::ValueGet)},
            [this] { w->button("BTN_ReaderConfigLoad")->click(); });
    }

    void configSave()
    {
        if (!w->button("BTN_ReaderConfigSave")->isEnabled())
            return;
        auto *tree = w->field<QTreeWidget>("treeWidget");
        tree->findItems("3.0.1", Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier)
            .first()
            ->setText(TreeColumn::Value, QString("Soak %1").arg(operations));
        run("écriture configuration",
            {"SAI_ConfigStatus",
             {"^Vérification->OK$"},
             {"^Save ->Echec$", "^Save: ->Echec", "->TIMEOUT$", "->FAILED$", "^Vérification->ECHEC$",
              "^Save->(ECHEC|INTERROMPU) : lecteur remis dans son état d'origine",
              "^Save->ECHEC : \\S+( \\S+)* (en attente|modifiés?) dans le lecteur", "^Le lecteur a changé"},
             true,
             int(CmdTimeout::ValuePut)},
            [this] { w->button("BTN_ReaderConfigSave")->click(); });
    }

    void blacklistWrite()
    {
        run("liste noire",
            {"SAI_BlackListStatus", {"^LN Vérification->OK$"},
             // A write that stops says what the reader holds.
             {"^LN Ecriture->(ECHEC|TIMEOUT|INTERROMPU)( \\(liaison perdue\\))? : "}, true,
             int(CmdTimeout::File)},
            [this] { w->button("BTN_BlackListWriteToSupport")->click(); });
    }

    void clock()
    {
        run("horloge",
            {"box", {"^Mise à jour OK$"}, {"^Mise à jour ECHEC$"}, true, int(CmdTimeout::ValuePut)},
            [this] { w->button("BTN_DateHeureMAJ")->click(); });
        if (box.title != QString("MAJ Heure/Date") && !box.text.isEmpty())
            finding("horloge", "titre de la boîte : " + box.title);
    }

    void report(qint64 ms) const
    {
        qInfo("Endurance : %d opérations en %lld s, %d tours", operations, ms / 1000, round);
        for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it)
            qInfo("  %4d  %s", it.value(), qPrintable(it.key()));
        QStringList faults;
        for (auto it = faultCounts.cbegin(); it != faultCounts.cend(); ++it)
            faults << QString("%1 %2").arg(it.key()).arg(it.value());
        qInfo("Pannes injectées : %s", qPrintable(faults.join(", ")));
        qInfo("Constats : %d", int(findings.size()));
    }

private slots:
    void soak()
    {
        bool given = false;
        const int seconds = qEnvironmentVariableIntValue("KOVRIM_SOAK_SECONDS", &given);
        const qint64 durationMs = qint64(given && seconds > 0 ? seconds : DefaultSeconds) * 1000;

        w = std::make_unique<WindowOnLink>();
        QVERIFY(w->start());
        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &) {
            received.append({QByteArray() + c1 + c2, opClock.elapsed()});
        });
        connect(&w->sim, &ReaderSim::faultInjected, this, [this](char c1, char c2, const QString &fault) {
            injected << QString("%1%2 %3").arg(c1).arg(c2).arg(fault);
            ++faultCounts[fault];
            if (fault == "unplug")
                unplugged = true;
        });
        connect(&w->window->Chain, &CommandChain::finished, this, [this] { chainEndMs = opClock.elapsed(); });
        auto *table = w->field<QTableWidget>("TABLE_BlackList");
        for (int row = 0; row < 3; ++row) {
            w->button("BTN_BlackListNew")->click();
            table->item(row, 1)->setText(QString("04A1B2C%1").arg(row));
        }

        soakClock.start();
        while (soakClock.elapsed() < durationMs && findings.size() < MaxFindings) {
            const int rate = RatesPercent[round % 4];
            w->sim.faults().setRandom(Seed + quint32(round), rate);
            readBadge();
            transaction(true);
            transaction(false);
            configLoad();
            configSave();
            blacklistWrite();
            clock();
            ++round;
        }
        w->sim.faults().clear();
        report(soakClock.elapsed());
        QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
        QVERIFY(operations > 0);
    }
};

// A long soak by hand outlives Qt Test's own five-minute watchdog.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "86400000");
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestSoak test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soak.moc"
