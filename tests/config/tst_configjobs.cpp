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

    // Each file line taken or refused by name, as the catalogue defines
    // the parameter; the reader's own value always loads back.
    void fileLinesAsTheCatalogueDefines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("check box as a word") << QByteArray("3.4.1=Non\n3.4.0=1\n")
                                             << QStringList{"ligne 1 : 3.4.1=Non : 0 ou 1 attendu"};
        QTest::newRow("check box empty") << QByteArray("\n3.4.4=\n")
                                         << QStringList{"ligne 2 : 3.4.4= : 0 ou 1 attendu"};
        QTest::newRow("option out of range") << QByteArray("2.0.10=2\n")
                                             << QStringList{"ligne 1 : 2.0.10=2 : numéro d'option de 0 à 1 attendu"};
        QTest::newRow("unknown, malformed") << QByteArray("9.9.9=1\n3.0.1\n")
                                            << QStringList{"ligne 1 : 9.9.9=1 : paramètre inconnu",
                                                           "ligne 2 : 3.0.1 : « = » manquant"};
        QTest::newRow("blanks around the identifier") << QByteArray(" 3.0.1 =Quai \n") << QStringList();
        QTest::newRow("twice, two values") << QByteArray("2.0.10=1\n2.0.10=0\n")
                                           << QStringList{"ligne 2 : 2.0.10=0 : déjà donné ligne 1 avec une autre valeur"};
        QTest::newRow("twice, one value") << QByteArray("2.0.10=1\n2.0.10=1\n") << QStringList();
        QTest::newRow("the reader's own odd value") << QByteArray("3.4.2=2\n") << QStringList();
    }
    void fileLinesAsTheCatalogueDefines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, refused);
        model->applyReaderLoad({{"3.4.2", true, "2"}, {"3.0.1", true, "Port"}});
        QList<ConfigLine> lines;
        QVERIFY(ConfigFileParse(content, &lines));
        QCOMPARE(model->fileRefusals(lines), refused);
        model->applyFile(lines);
        // Refused lines change nothing; the reader's own value is no change.
        for (const ConfigChange &change : model->changes())
            QVERIFY2(!refused.join('\n').contains(change.identifier + "=" + change.value)
                         && change.identifier != "3.4.2",
                     qPrintable(change.identifier));
        if (content.startsWith(" 3.0.1"))
            QCOMPARE(model->value("3.0.1"), QString("Quai "));
    }

    // A reader value the catalogue cannot show is kept as given: shown as
    // unknown, saved as given, never written back unless replaced.
    void unknownReaderValueKeptAsGiven()
    {
        r->sim.config().setValue("3.4.2", "2");
        r->sim.config().setValue("2.0.10", "5");
        QCOMPARE(load(), JobOutcome::Done);
        const ConfigParameter &box = *model->find("3.4.2");
        QCOMPARE(box.value, QString("2"));
        QCOMPARE(ConfigValueText(box, box.value), QString("2 (valeur inconnue)"));
        QCOMPARE(ConfigValueText(*model->find("2.0.10"), "5"), QString("5 (valeur inconnue)"));
        QVERIFY(ConfigFileContent(*model).contains("\n3.4.2=2\n"));
        QVERIFY(model->readerValuesContent().contains("\n2.0.10=5\n"));
        QVERIFY(!model->edit("3.4.2", "7"));
        QVERIFY(model->edit("10.1", "4000"));
        QCOMPARE(save(), JobOutcome::Done);
        QCOMPARE(payloads, (QStringList{"10.1=4000", "10.255.1="}));
        QVERIFY(model->edit("3.4.2", "0"));
        QCOMPARE(model->changes().size(), 1);
    }

    // Per-reader parameters from a file are flagged, read-only ones keep
    // the reader's values; the operator's own edit is no copy.
    void fileKeepsTheReadersOwn()
    {
        QCOMPARE(load(), JobOutcome::Done);
        const QString firmware = model->value("12.0");
        model->applyFile({{"3.0.2", "9999"}, {"13.1.4", "10.0.0.9"}, {"12.0", "0.01"}, {"10.1", "4100"}});
        QCOMPARE(model->value("12.0"), firmware);
        QStringList perReader;
        for (const ConfigChange &change : model->changes())
            if (change.perReader)
                perReader << change.identifier;
        QCOMPARE(perReader, (QStringList{"3.0.2", "13.1.4"}));
        QVERIFY(model->edit("3.0.2", "9998"));
        QVERIFY(!model->changes().last().perReader);
        QCOMPARE(model->changes().last().identifier, QString("3.0.2"));
    }

    // Another reader on the port: its identity stops the write before any
    // write, and nothing known of the old reader is kept.
    void anotherReaderStopsTheWrite()
    {
        QCOMPARE(load(), JobOutcome::Done);
        QVERIFY(model->edit("10.1", "4100"));
        r->sim.config().setValue("3.0.2", "2002");
        ConfigSaveJob job(r->session, *model);
        QCOMPARE(SessionWithReader::run(job), JobOutcome::Refused);
        QCOMPARE(job.status(), QString("Le lecteur a changé (1204/1001 -> 1204/2002) : relire"));
        QVERIFY(payloads.isEmpty());
        QVERIFY(!model->readerIdentity().known());
        QCOMPARE(model->changes().size(), 1);
        // Read again, the new reader is written.
        QCOMPARE(save(), JobOutcome::Done);
        QCOMPARE(r->sim.config().value("10.1"), QString("4100"));
    }

    // The link changed: values from the old reader are forgotten, the
    // operator's changes stay, to be written against an unknown reader.
    void forgottenReaderKeepsTheOperatorsChanges()
    {
        QCOMPARE(load(), JobOutcome::Done);
        QVERIFY(model->edit("10.1", "4100"));
        model->forgetReader();
        QCOMPARE(model->changes().size(), 1);
        QVERIFY(!model->find("3.0.1")->valueKnown);
        QVERIFY(model->find("10.1")->valueKnown);
        QVERIFY(model->unknownToReader({"3.0.0", "10.1"}).size() == 2);
        QVERIFY(model->readerValuesContent().isEmpty());
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
