// What each job leaves for the journal, against the simulated reader with
// no window: one outcome line with its counts, then one line per failure;
// its steps go on their own signal.
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "blacklist/blacklistjobs.h"
#include "config/configjobs.h"
#include "config/configmodel.h"
#include "tests/support/sessionfixture.h"
#include "tools/clockjob.h"

namespace {
const QStringList TwoEntries{"Cda=160512;UID=04A1B2C3;Usr=12;Grp=3", "Cda=;UID=04D9F0A1;Usr=41;Grp="};

std::unique_ptr<ReaderJob> MakeJob(const QString &kind, ReaderSession &session, ConfigModel &model)
{
    if (kind == "load")
        return std::make_unique<ConfigLoadJob>(session, model);
    if (kind == "save") {
        model.applyFile({{"3.0.1", "A"}, {"13.6", "8080"}, {"10.1", "4000"}});
        auto job = std::make_unique<ConfigSaveJob>(session, model);
        job->setCheck(true);
        return job;
    }
    if (kind == "blacklist write") {
        auto job = std::make_unique<BlackListWriteJob>(session);
        job->setEntries(TwoEntries);
        return job;
    }
    if (kind == "blacklist check") {
        auto job = std::make_unique<BlackListReadJob>(session);
        job->checkAgainst(TwoEntries);
        return job;
    }
    auto job = std::make_unique<ClockJob>(session);
    job->setMoment(QDateTime(QDate(2026, 3, 5), QTime(14, 7)));
    return job;
}
}

class TestJobJournal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<JobOutcome>(); }

    void oneOutcomeLineThenOnePerFailure_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("simulator");  // control lines before the run
        QTest::addColumn<JobOutcome>("outcome");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("steps");

        QTest::newRow("load, two refused")
            << "load" << QStringList{"param refuse get 3.7.7", "param refuse get 9.0.2"} << JobOutcome::Done
            << QStringList{"Lecture Ok : 143 paramètres, 2 refusés (3.7.7, 9.0.2)"} << 143;
        QTest::newRow("load, silent reader")
            // A read is asked once more: a reader silent for good ends the load.
            << "load" << QStringList{"silent on"} << JobOutcome::NoAnswer
            << QStringList{"Lecture->TIMEOUT : 0 / 143 paramètres lus",
                           "Lecture de " + ConfigModel().itemOrder().first() + " sans réponse du lecteur"}
            << 1;
        QTest::newRow("save, checked")
            << "save" << QStringList() << JobOutcome::Done
            << QStringList{"Save->OK : 3 paramètres écrits, 3 objets validés, 3 vérifiés"} << 5 + 3 + 3 + 3;
        // The first write put back: written, committed, read back.
        QTest::newRow("save, refused write")
            << "save" << QStringList{"param refuse put 13.6"} << JobOutcome::Refused
            << QStringList{"Save->ECHEC : lecteur remis dans son état d'origine (1 paramètre)",
                           "Ecriture de 13.6 refusée par le lecteur"}
            << 5 + 2 + 3;
        QTest::newRow("save, read back refused")
            << "save" << QStringList{"param refuse get 13.6"} << JobOutcome::CheckFailed
            << QStringList{"Save->ECHEC : 3 paramètres écrits, 3 objets validés, 2 / 3 vérifiés",
                           "Vérification : 13.6 refusée par le lecteur, écrit 8080"}
            << 5 + 3 + 3 + 3;
        QTest::newRow("blacklist write")
            << "blacklist write" << QStringList() << JobOutcome::Done
            << QStringList{"LN Ecriture->OK : 2 lignes écrites et relues"}
            // identity, old list (its end asked twice), identity, clear,
            // adds, read-back
            << 2 + 2 + 2 + 1 + 2 + 4;
        QTest::newRow("blacklist write, add silent")
            << "blacklist write" << QStringList{"next mute FA"} << JobOutcome::NoAnswer
            << QStringList{"LN Ecriture->ECHEC : liste d'origine rétablie (0 ligne)",
                           "LN Ecriture de la ligne 1 (04A1B2C3) sans réponse du lecteur"}
            // ... the silent add, then the old (empty) list put back: clear, read-back
            << 2 + 2 + 2 + 1 + 1 + 1 + 2;
        QTest::newRow("blacklist check, list altered")
            << "blacklist check"
            << QStringList{"liste ajoute " + TwoEntries.at(0), "liste ajoute " + TwoEntries.at(1),
                           "liste ajoute UID=FFFF"}
            << JobOutcome::CheckFailed
            << QStringList{"LN Vérification->ECHEC : 3 lignes relues, 2 envoyées",
                           "LN Vérification : 2 lignes envoyées, 3 relues"}
            << 3 + 2;  // the list's end asked twice
        QTest::newRow("clock") << "clock" << QStringList() << JobOutcome::Done
                               << QStringList{"MAJ Date/Heure->OK : 05/03/26 14:07"} << 2;
        QTest::newRow("clock, date refused")
            << "clock" << QStringList{"next refuse VP"} << JobOutcome::Refused
            << QStringList{"MAJ Date/Heure->ECHEC : date 05/03/26 et heure 14:07 non écrites",
                           "Horloge : écriture de la date 05/03/26 refusée par le lecteur"}
            << 1;
    }
    void oneOutcomeLineThenOnePerFailure()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, simulator);
        QFETCH(JobOutcome, outcome);
        QFETCH(QStringList, lines);
        QFETCH(int, steps);
        SessionWithReader r;
        QVERIFY(r.start());
        ConfigModel model;
        std::unique_ptr<ReaderJob> job = MakeJob(kind, r.session, model);
        for (const QString &line : simulator)
            r.sim.handleControlLine(line);
        QStringList journal;
        const auto keep = [&journal](const QString &line) { journal << line; };
        connect(job.get(), &ReaderJob::outcomeLine, this, keep);
        connect(job.get(), &ReaderJob::journal, this, keep);
        QSignalSpy stepLines(job.get(), &ReaderJob::stepLine);

        QCOMPARE(SessionWithReader::run(*job), outcome);
        QCOMPARE(journal, lines);
        QCOMPARE(stepLines.size(), steps);
    }
};

QTEST_GUILESS_MAIN(TestJobJournal)
#include "tst_jobjournal.moc"
