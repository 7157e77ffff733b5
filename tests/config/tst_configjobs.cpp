// The configuration load and save rules, on the jobs against the simulated
// reader, with no window.
#include <QSignalSpy>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "config/configjobs.h"
#include "config/configmodel.h"
#include "config/configstore.h"
#include "tests/support/sessionfixture.h"

class TestConfigJobs : public QObject
{
    Q_OBJECT

    std::unique_ptr<SessionWithReader> r;
    std::unique_ptr<ConfigModel> model;

    JobOutcome save(QStringList *journal = nullptr)
    {
        ConfigSaveJob job(r->session, *model);
        QSignalSpy lines(&job, &ReaderJob::journal);
        const JobOutcome outcome = SessionWithReader::run(job);
        if (journal)
            for (const QList<QVariant> &line : lines)
                *journal << line.first().toString();
        return outcome;
    }
    JobOutcome load()
    {
        ConfigLoadJob job(r->session, *model);
        return SessionWithReader::run(job);
    }
    QStringList payloads;

private slots:
    void initTestCase() { qRegisterMetaType<JobOutcome>(); }
    void init()
    {
        r = std::make_unique<SessionWithReader>();
        QVERIFY(r->start());
        model = std::make_unique<ConfigModel>();
        payloads.clear();
        connect(&r->sim, &ReaderSim::requestReceived, this,
                [this](char c1, char c2, const QByteArray &payload) {
                    if (c1 == 'V' && c2 == 'P')
                        payloads << QString::fromLatin1(payload);
                });
    }
    void cleanup()
    {
        model.reset();
        r.reset();
    }

    // A file copied into a reader never loaded: exactly the parameters the
    // file names are written, in file order, then the operator's edits;
    // read-only ones never; then each object is committed once.
    void fileCopyWritesWhatTheFileNamesThenEdits()
    {
        QVERIFY(model->applyFile({{"10.1", "4000"}, {"12.0", "9.99"}, {"3.4.0", "1"}}) == 3);
        QVERIFY(model->edit("3.0.1", "Laverie du port"));
        QCOMPARE(save(), JobOutcome::Done);
        QCOMPARE(payloads, (QStringList{"10.1=4000", "3.4.0=1", "3.0.1=Laverie du port",
                                        "10.255.1=", "3.255.1="}));
        QCOMPARE(r->sim.config().value("10.1"), QString("4000"));
        QCOMPARE(r->sim.config().value("3.0.1"), QString("Laverie du port"));
        QVERIFY(model->changes().isEmpty());
        // What was committed is now the reader's: writing it again is no change.
        QVERIFY(model->edit("10.1", "4000"));
        QVERIFY(model->changes().isEmpty());
    }

    // After a load, an edit back to the reader's value is no change, and a
    // file equal to the reader writes nothing.
    void loadMakesTheBaseline()
    {
        r->sim.config().setValue("10.1", "5000");
        QCOMPARE(load(), JobOutcome::Done);
        QCOMPARE(model->value("10.1"), QString("5000"));
        QCOMPARE(r->sim.requestCount('V', 'G'), model->itemOrder().size());
        QVERIFY(model->edit("10.1", "3000"));
        QCOMPARE(model->changes().size(), 1);
        QVERIFY(model->edit("10.1", "5000"));
        QVERIFY(model->changes().isEmpty());
        model->applyFile({{"10.1", "5000"}, {"3.0.1", r->sim.config().value("3.0.1")}});
        QVERIFY(model->changes().isEmpty());
        QCOMPARE(save(), JobOutcome::Done);
        QVERIFY(payloads.isEmpty());
    }

    // A refused write names its parameter, stops before any commit, puts
    // back what was written, and leaves every change marked for the next
    // save.
    void refusedWriteNamesItsParameter()
    {
        model->applyFile({{"3.0.1", "A"}, {"13.6", "8080"}, {"10.1", "4000"}});
        r->sim.config().refuseWrites("13.6", true);
        QStringList journal;
        QCOMPARE(save(&journal), JobOutcome::Refused);
        QCOMPARE(journal, QStringList{"Ecriture de 13.6 refusée par le lecteur"});
        QCOMPARE(payloads, (QStringList{"3.0.1=A", "13.6=8080", "3.0.1=Laverie du Port", "3.255.1="}));
        QVERIFY(!r->sim.config().isPending("3.0.1"));
        QStringList left;
        for (const ConfigChange &change : model->changes())
            left << change.identifier;
        QCOMPARE(left, (QStringList{"13.6", "10.1", "3.0.1"}));

        r->sim.config().refuseWrites("13.6", false);
        payloads.clear();
        QCOMPARE(save(), JobOutcome::Done);
        QCOMPARE(payloads, (QStringList{"13.6=8080", "10.1=4000", "3.0.1=A", "13.255.1=",
                                        "10.255.1=", "3.255.1="}));
    }

    // The safe write: what it replaces is kept in a file first, and what
    // the reader kept is read back; a value kept different stays marked.
    void backupAndCheck()
    {
        QTemporaryDir folder;
        r->sim.config().setValue("3.0.0", "77");
        r->sim.config().setValue("10.1", "5000");
        QCOMPARE(load(), JobOutcome::Done);
        QVERIFY(model->edit("10.1", "3000"));
        QVERIFY(model->edit("13.6", "8080"));
        // The reader keeps another value than the one it accepted.
        connect(&r->sim, &ReaderSim::requestReceived, this, [this](char, char, const QByteArray &p) {
            if (p == "13.255.1=")
                QTimer::singleShot(0, this, [this] { r->sim.config().setValue("13.6", "80"); });
        });
        ConfigSaveJob job(r->session, *model);
        job.setBackupFolder(folder.filePath("sauvegardes"));
        job.setCheck(true);
        QSignalSpy journal(&job, &ReaderJob::journal);
        QCOMPARE(SessionWithReader::run(job), JobOutcome::CheckFailed);
        QCOMPARE(job.status(), QString("Vérification->ECHEC"));
        QVERIFY(QFileInfo(job.backupPath()).fileName().startsWith("lecteur-77-"));
        QList<ConfigLine> lines;
        QString refusal;
        QVERIFY(ConfigFileRead(job.backupPath(), &lines, &refusal));
        QVERIFY(lines.size() >= 140 - 1);
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const ConfigLine &line) {
            return line.identifier == "10.1" && line.value == "5000";
        }));
        QCOMPARE(journal.last().first().toString(), QString("Vérification : 13.6 lu 80, écrit 8080"));
        QCOMPARE(model->changes().size(), 1);
        QCOMPARE(model->changes().first().identifier, QString("13.6"));

        // A backup that cannot be written stops the save before any write.
        QFile blocker(folder.filePath("fichier"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        payloads.clear();
        job.setBackupFolder(folder.filePath("fichier/sauvegardes"));
        QCOMPARE(SessionWithReader::run(job), JobOutcome::LocalError);
        QCOMPARE(job.status(), QString("Save: ->Echec"));
        QVERIFY(payloads.isEmpty());
    }

    // Two readers with the same identification backed up in the same
    // second: both backups stay, neither replaces the other.
    void backupsOfOneSecondAreAllKept()
    {
        QTemporaryDir folder;
        QCOMPARE(load(), JobOutcome::Done);
        const QDateTime when(QDate(2026, 12, 8), QTime(2, 30, 0));
        QString error;
        const QString first = ConfigBackupWrite(folder.path(), *model, when, &error);
        const QString second = ConfigBackupWrite(folder.path(), *model, when, &error);
        QVERIFY2(!first.isEmpty() && !second.isEmpty(), qPrintable(error));
        QVERIFY(first != second);
        QVERIFY(second.endsWith("-20261208-023000-2.txt"));
        for (const QString &path : {first, second}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), model->readerValuesContent());
        }
    }

    // Unanswered requests and a lost link end each job with its outcome;
    // a load that stops leaves the model as it was.
    void timeOutsAndLostLink_data()
    {
        QTest::addColumn<bool>("loading");
        QTest::addColumn<bool>("unplug");
        QTest::addColumn<JobOutcome>("outcome");
        QTest::newRow("load, silent reader") << true << false << JobOutcome::NoAnswer;
        QTest::newRow("save, silent reader") << false << false << JobOutcome::NoAnswer;
        QTest::newRow("load, unplugged") << true << true << JobOutcome::LinkLost;
        QTest::newRow("save, unplugged") << false << true << JobOutcome::LinkLost;
    }
    void timeOutsAndLostLink()
    {
        QFETCH(bool, loading);
        QFETCH(bool, unplug);
        QFETCH(JobOutcome, outcome);
        model->applyFile({{"3.0.1", "Quai"}, {"10.1", "4000"}});
        std::unique_ptr<ReaderJob> job;
        if (loading)
            job = std::make_unique<ConfigLoadJob>(r->session, *model);
        else
            job = std::make_unique<ConfigSaveJob>(r->session, *model);
        QSignalSpy finished(job.get(), &ReaderJob::finished);
        // The first request is left unanswered; meanwhile the link goes.
        r->sim.failNext(ReaderSim::Fault::Mute);
        if (unplug)
            QTimer::singleShot(200, &r->sim, [this] { r->sim.unplug(); });
        else
            r->sim.setSilent(true);
        QVERIFY(job->start());
        QVERIFY(finished.wait(15000));
        QCOMPARE(finished.first().first().value<JobOutcome>(), outcome);
        QVERIFY(!r->session.chain().isRunning());
        QCOMPARE(model->value("3.0.1"), QString("Quai"));
        QCOMPARE(model->changes().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestConfigJobs)
#include "tst_configjobs.moc"
