// The blacklist write's rules, on the jobs against the simulated reader,
// with no window: the old list kept in a file and put back on any failure,
// the reader's identity checked before the clear, rows named as the table
// shows them.
#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "blacklist/blacklistjobs.h"
#include "tests/support/sessionfixture.h"

namespace {
const QStringList OldEntries{"Cda=250101;UID=0A0A0A0A;Usr=;Grp=", "Cda=;UID=;Usr=77;Grp="};
const QStringList NewEntries{"Cda=260305;UID=04A1B2C3;Usr=12;Grp=3", "Cda=;UID=0E0E0E0E;Usr=;Grp=",
                             "Cda=;UID=;Usr=;Grp=7"};

// The requests of a write of NewEntries over OldEntries: identity 2, old
// list 4 (its end asked twice), identity 2, clear 1, adds 3, read-back 5.
constexpr int Requests = 17;

// A fault injected into one request of the write, counted over all of them.
enum class Fault { Refuse, Mute, Drop, Unplug, Stop };
}
Q_DECLARE_METATYPE(Fault)

class TestBlackListJobs : public QObject
{
    Q_OBJECT

    std::unique_ptr<SessionWithReader> r;
    QTemporaryDir folder;
    QStringList journal;
    QString outcomeLine;
    int requests = 0;

    void fillReader(const QStringList &entries)
    {
        r->sim.handleControlLine("liste vider");
        for (const QString &entry : entries)
            r->sim.handleControlLine("liste ajoute " + entry);
    }
    JobOutcome write(BlackListWriteJob &job)
    {
        journal.clear();
        connect(&job, &ReaderJob::journal, this, [this](const QString &line) { journal << line; });
        connect(&job, &ReaderJob::outcomeLine, this, [this](const QString &line) { outcomeLine = line; });
        return SessionWithReader::run(job);
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<JobOutcome>();
        qRegisterMetaType<Fault>();
    }
    void init()
    {
        r = std::make_unique<SessionWithReader>();
        QVERIFY(r->start());
        requests = 0;
        connect(&r->sim, &ReaderSim::requestReceived, this, [this] { ++requests; });
    }
    void cleanup() { r.reset(); }

    // The old list is read and kept before anything is cleared, in the
    // file format, named after the reader; the new one goes out and is read back.
    void backupThenWriteThenCheck()
    {
        fillReader(OldEntries);
        BlackListWriteJob job(r->session);
        BlackListTransfer transfer;
        transfer.entries = NewEntries;
        transfer.rows = QVector<int>{0, 3, 4};
        transfer.labels = QStringList{"04A1B2C3", "0E0E0E0E", "groupe 7"};
        transfer.skipped = 2;
        job.setTransfer(transfer);
        job.setBackupFolder(folder.filePath("sauvegardes"));
        QCOMPARE(write(job), JobOutcome::Done);
        QCOMPARE(r->sim.listFile().entries(), NewEntries);
        QCOMPARE(outcomeLine, QString("LN Ecriture->OK : 3 lignes écrites et relues, "
                                      "2 lignes vides ou en double non envoyées"));
        QCOMPARE(job.sentCount(), 3);
        QCOMPARE(job.checkedCount(), 3);
        QCOMPARE(job.skippedCount(), 2);
        QCOMPARE(job.restoredCount(), 0);
        QCOMPARE(job.oldEntries(), OldEntries);
        QCOMPARE(job.readerIdentity(), QString("1204/1001"));
        QVERIFY2(QRegularExpression("/sauvegardes/listenoire-1204-1001-\\d{8}-\\d{6}\\.txt$")
                     .match(job.backupPath()).hasMatch(), qPrintable(job.backupPath()));
        QFile backup(job.backupPath());
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), QByteArray("01/01/25;0A0A0A0A;;;;\n;;77;;;\n"));
        QVERIFY(journal.first().startsWith("Liste noire du lecteur sauvegardée dans "));

        // A second write in the same second keeps the first backup.
        BlackListWriteJob again(r->session);
        again.setEntries(OldEntries);
        again.setBackupFolder(folder.filePath("sauvegardes"));
        QCOMPARE(write(again), JobOutcome::Done);
        QVERIFY(again.backupPath() != job.backupPath());
        QVERIFY(QFile::exists(job.backupPath()));
    }

    // A refusal names the table's row and who it names.
    void refusalNamesTheTableRow()
    {
        fillReader(OldEntries);
        BlackListWriteJob job(r->session);
        BlackListTransfer transfer;
        transfer.entries = NewEntries;
        transfer.rows = QVector<int>{0, 4, 6};
        transfer.labels = QStringList{"04A1B2C3", "0E0E0E0E", "groupe 7"};
        job.setTransfer(transfer);
        int adds = 0;
        connect(&r->sim, &ReaderSim::requestReceived, this, [&](char c1, char c2) {
            if (c1 == 'F' && c2 == 'A' && ++adds == 2)
                r->sim.failNext(ReaderSim::Fault::Refuse);
        });
        QCOMPARE(write(job), JobOutcome::Refused);
        QVERIFY2(journal.contains("LN Ecriture de la ligne 5 (0E0E0E0E) refusée par le lecteur"),
                 qPrintable(journal.join('\n')));
        QCOMPARE(outcomeLine, QString("LN Ecriture->ECHEC : liste d'origine rétablie (2 lignes)"));
        QCOMPARE(r->sim.listFile().entries(), OldEntries);
        QCOMPARE(job.restoredCount(), 2);
        QCOMPARE(job.sentCount(), 1);
    }

    // Another reader behind the same link while the old list was read: it
    // is not cleared, and the write says so.
    void swappedReaderStopsBeforeTheClear()
    {
        fillReader(OldEntries);
        BlackListWriteJob job(r->session);
        job.setEntries(NewEntries);
        job.setBackupFolder(folder.filePath("sauvegardes"));
        connect(&r->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &p) {
            if (c1 == 'F' && c2 == 'G' && p.endsWith("Pos=1"))
                r->sim.config().setValue("3.0.2", "1002");
        });
        QCOMPARE(write(job), JobOutcome::Refused);
        QVERIFY(journal.contains("Le lecteur a changé (1204/1001 -> 1204/1002) : relire"));
        QCOMPARE(outcomeLine, QString("LN Ecriture->ECHEC : liste du lecteur inchangée"));
        QCOMPARE(r->sim.requestCount('F', 'C'), 0);
        QCOMPARE(r->sim.listFile().entries(), OldEntries);
    }

    // Nothing is cleared without a backup that could be written.
    void unwritableBackupClearsNothing()
    {
        fillReader(OldEntries);
        QFile blocker(folder.filePath("fichier"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        BlackListWriteJob job(r->session);
        job.setEntries(NewEntries);
        job.setBackupFolder(folder.filePath("fichier/sauvegardes"));
        QCOMPARE(write(job), JobOutcome::LocalError);
        QCOMPARE(r->sim.requestCount('F', 'C'), 0);
        QCOMPARE(r->sim.listFile().entries(), OldEntries);
    }

    // More than the old limit of 1000 entries reads whole.
    void longListReadsWhole()
    {
        QStringList many;
        for (int i = 0; i < 1001; ++i)
            many << QString("Cda=;UID=%1;Usr=;Grp=").arg(QString::number(0x04000000 + i, 16).toUpper());
        fillReader(many);
        QCOMPARE(r->sim.listFile().entries().size(), 1001);
        BlackListReadJob read(r->session);
        QCOMPARE(SessionWithReader::run(read, 120000), JobOutcome::Done);
        QCOMPARE(read.entries().size(), 1001);
    }

    // One fault at each request of the write in turn: a refusal, a
    // silence (the request lost, or done but its answer lost), a lost link,
    // a requested stop. The reader ends holding its old list or the new
    // one and the outcome says which; else the outcome names what it holds.
    void everyFaultPointEndsNamed_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("at");
        for (int at = 1; at <= Requests; ++at) {
            QTest::addRow("refusal at %d", at) << Fault::Refuse << at;
            QTest::addRow("silence at %d", at) << Fault::Mute << at;
            QTest::addRow("lost link at %d", at) << Fault::Unplug << at;
            QTest::addRow("stop at %d", at) << Fault::Stop << at;
        }
        // Done, but the answer lost: the clear and the adds.
        for (int at = 9; at <= 12; ++at)
            QTest::addRow("lost answer at %d", at) << Fault::Drop << at;
    }
    void everyFaultPointEndsNamed()
    {
        QFETCH(Fault, fault);
        QFETCH(int, at);
        fillReader(OldEntries);
        BlackListWriteJob job(r->session);
        job.setEntries(NewEntries);
        int seen = 0;
        QString inFlight;
        connect(&r->sim, &ReaderSim::requestReceived, this,
                [&](char c1, char c2, const QByteArray &payload) {
                    if (++seen != at)
                        return;
                    if (c1 == 'F' && c2 == 'A')
                        inFlight = QString::fromUtf8(payload).mid(6);
                    switch (fault) {
                    case Fault::Refuse:
                        r->sim.failNext(ReaderSim::Fault::Refuse);
                        break;
                    case Fault::Mute:
                        r->sim.failNext(ReaderSim::Fault::Mute);
                        break;
                    case Fault::Drop:
                        r->sim.handleControlLine("drop 1");
                        break;
                    case Fault::Unplug:
                        r->sim.unplug();
                        break;
                    case Fault::Stop:
                        job.requestStop();
                        break;
                    }
                });
        const JobOutcome outcome = write(job);
        const QStringList held = r->sim.listFile().entries();
        const QString said = QString("at %1: %2 / %3").arg(at).arg(outcomeLine, held.join(" | "));
        QVERIFY2(!outcomeLine.isEmpty(), qPrintable(said));
        if (outcome == JobOutcome::Done) {
            QVERIFY2(held == NewEntries, qPrintable(said));
            QVERIFY(outcomeLine.startsWith("LN Ecriture->OK : 3 lignes écrites et relues"));
        } else if (outcomeLine.contains("inchangée") || outcomeLine.contains("liste d'origine rétablie")) {
            QVERIFY2(held == OldEntries, qPrintable(said));
        } else if (outcomeLine.contains("non relues")) {
            QVERIFY2(held == NewEntries, qPrintable(said));
        } else {
            QCOMPARE(outcome, JobOutcome::Partial);
            QVERIFY2(outcomeLine.contains(QString(" ne tient que %1 ").arg(job.partial().size())),
                     qPrintable(said));
            // What is named, and at most the line sent when the link went.
            const QStringList withInFlight = job.partial() + QStringList{inFlight};
            QVERIFY2(held == job.partial() || held == withInFlight
                         || (job.partial().isEmpty() && held == OldEntries),
                     qPrintable(said));
        }
        // A stop after the last read-back has nothing left to stop.
        if (fault == Fault::Stop)
            QVERIFY2(outcome == JobOutcome::Interrupted || (at == Requests && outcome == JobOutcome::Done),
                     qPrintable(said));
        // The identity and old list reads change nothing when they fail.
        if (at <= 8 && fault != Fault::Stop)
            QVERIFY2(outcomeLine.contains("inchangée") || outcome == JobOutcome::Done, qPrintable(said));
    }
};

QTEST_MAIN(TestBlackListJobs)
#include "tst_blacklistjobs.moc"
