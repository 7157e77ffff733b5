// All or nothing, over every step of a configuration write: a refusal, a
// silence, an answer lost after the reader acted, a lost link or a stop
// request at each request in turn. The reader ends holding its old values
// or the new ones, stored, and the outcome says which; or the outcome names
// every parameter it holds otherwise.
#include <QSignalSpy>
#include <QtTest>

#include "config/configjobs.h"
#include "config/configmodel.h"
#include "tests/support/sessionfixture.h"

namespace {
enum class Injected { Refuse, Mute, Lose, Unplug, Stop };

// Two objects, three parameters: the first written object is committed
// before the second fails, and one object gets two writes.
const QList<ConfigChange> Plan = {{"3.0.1", "Laverie du Quai"}, {"10.1", "4000"}, {"3.4.0", "1"}};
}

Q_DECLARE_METATYPE(Injected)

class TestConfigFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<JobOutcome>(); }

    void faultAtEachStep_data()
    {
        QTest::addColumn<Injected>("fault");
        QTest::addColumn<int>("at");  // the request it strikes, from 1
        // Identity 2 reads, 3 writes, 2 commits, 3 read-backs.
        constexpr int Requests = 2 + 3 + 2 + 3;
        const QList<QPair<const char *, Injected>> faults = {
            {"refused", Injected::Refuse}, {"unanswered", Injected::Mute},
            {"answer lost", Injected::Lose}, {"link lost", Injected::Unplug},
            {"stop asked", Injected::Stop}};
        for (const auto &fault : faults)
            for (int at = 1; at <= Requests; ++at)
                QTest::addRow("%s at request %d", fault.first, at) << fault.second << at;
    }

    void faultAtEachStep()
    {
        QFETCH(Injected, fault);
        QFETCH(int, at);
        SessionWithReader r;
        QVERIFY(r.start());
        // What a load would have read, without its 143 exchanges.
        ConfigModel model;
        QList<ConfigRead> reads;
        for (const QString &id : r.sim.config().identifiers())
            reads.append({id, true, r.sim.config().value(id)});
        model.applyReaderLoad(reads);
        QHash<QString, QString> before;
        for (const ConfigChange &change : Plan) {
            before.insert(change.identifier, r.sim.config().value(change.identifier));
            QVERIFY(before.value(change.identifier) != change.value);
            QVERIFY(model.edit(change.identifier, change.value));
        }

        ConfigSaveJob job(r.session, model);
        job.setCheck(true);
        QStringList lines;
        connect(&job, &ReaderJob::outcomeLine, [&lines](const QString &line) { lines << line; });
        connect(&job, &ReaderJob::journal, [&lines](const QString &line) { lines << line; });
        int requests = 0;
        connect(&r.sim, &ReaderSim::requestReceived, this, [&](char, char, const QByteArray &) {
            if (++requests != at)
                return;
            switch (fault) {
            case Injected::Refuse:
                r.sim.failNext(ReaderSim::Fault::Refuse);
                break;
            case Injected::Mute:
                r.sim.failNext(ReaderSim::Fault::Mute);
                break;
            case Injected::Lose:
                r.sim.failNext(ReaderSim::Fault::Lose);
                break;
            case Injected::Unplug:
                r.sim.failNext(ReaderSim::Fault::Lose);
                QTimer::singleShot(0, &r.sim, [&r] { r.sim.unplug(); });
                break;
            case Injected::Stop:
                job.requestStop();
                break;
            }
        });
        const JobOutcome outcome = SessionWithReader::run(job, 60000);
        const QString said = lines.join('\n');

        QStringList old, wrote, other;
        for (const ConfigChange &change : Plan) {
            const SimConfig &reader = r.sim.config();
            const QString &id = change.identifier;
            if (reader.isPending(id) || (reader.value(id) != before.value(id) && reader.value(id) != change.value))
                other << id;
            else
                (reader.value(id) == change.value ? wrote : old) << id;
        }
        const QString state = QString("outcome %1, old %2, new %3, other %4\n%5")
                                  .arg(int(outcome)).arg(old.join(','), wrote.join(','), other.join(','), said);
        if (outcome == JobOutcome::Partial) {
            // Never a mixed state unnamed.
            QVERIFY2(!job.partial().isEmpty(), qPrintable(state));
            for (const QString &id : other + wrote)
                QVERIFY2(job.partial().contains(id) && said.contains(id), qPrintable(state));
            return;
        }
        QVERIFY2(other.isEmpty(), qPrintable(state));
        if (wrote.size() == Plan.size()) {
            // All written and committed: the outcome says so, and names
            // what it could not read back.
            QVERIFY2(said.contains("3 paramètres écrits, 2 objets validés"), qPrintable(state));
            QVERIFY2(outcome == JobOutcome::Done || said.contains("Vérification"), qPrintable(state));
            // A stop asked during the last read-back comes after the work.
            QVERIFY(fault != Injected::Stop || outcome == JobOutcome::Done);
            return;
        }
        QVERIFY2(old.size() == Plan.size(), qPrintable(state));
        QVERIFY2(outcome != JobOutcome::Done, qPrintable(state));
        QVERIFY2(said.contains("lecteur remis dans son état d'origine") || said.contains("lecteur inchangé"),
                 qPrintable(state));
        QCOMPARE(job.restoredCount() > 0, said.contains("remis"));
        if (fault == Injected::Stop)
            QCOMPARE(outcome, JobOutcome::Interrupted);
        // Every change waits for the next save.
        QCOMPARE(model.changes().size(), Plan.size());
    }
};

QTEST_GUILESS_MAIN(TestConfigFaults)
#include "tst_configfaults.moc"
