// Reader configuration end to end: the window's buttons clicked like an
// operator does, the simulated reader on the other side of a pty.
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "config/paramtree.h"
#include "tests/config/modalanswerer.h"
#include "tests/support/windowfixture.h"

namespace {
constexpr int Parameters = 143;
constexpr int LoadMs = 20000;

// What one window sent to its reader, as "XY:payload", and the progress
// it showed, as "name n / N".
struct Recorder {
    QStringList requests;
    QStringList progress;
    void attach(WindowWithReader &w)
    {
        QObject::connect(&w.sim, &ReaderSim::requestReceived, [this](char c1, char c2, QByteArray p) {
            requests << QString("%1%2:%3").arg(c1).arg(c2).arg(QString::fromUtf8(p));
        });
        QObject::connect(&w.window->Chain, &CommandChain::progress,
                         [this](const QString &name, int done, int total) {
                             progress << QString("%1 %2 / %3").arg(name).arg(done).arg(total);
                         });
    }
    QStringList sent(const QString &letters) const
    {
        QStringList found;
        for (const QString &r : requests)
            if (r.startsWith(letters + ":"))
                found << r.mid(3);
        return found;
    }
};

QTreeWidget *Tree(WindowWithReader &w)
{
    return w.window->findChild<QTreeWidget *>("treeWidget");
}

QTreeWidgetItem *Param(WindowWithReader &w, const QString &id, int nth = 0)
{
    return Tree(w)->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier).value(nth);
}

QPushButton *Button(WindowWithReader &w, const char *name)
{
    return w.field<QPushButton>(name);
}

QString Status(WindowWithReader &w)
{
    return w.text("SAI_ConfigStatus");
}

QString Read(WindowWithReader &w, QTreeWidgetItem *item)
{
    return TreeItemValue(TreeRead, Tree(w), item, QString(), TreeColumn::Kind, TreeColumn::Value);
}

// identifier=value of every parameter item, in tree order.
QStringList Values(WindowWithReader &w)
{
    QStringList values;
    for (QTreeWidgetItem *item : TreeItems(Tree(w)))
        if (!item->text(TreeColumn::Identifier).isEmpty())
            values << item->text(TreeColumn::Identifier) + "=" + Read(w, item);
    return values;
}

bool Idle(WindowWithReader &w)
{
    return !w.window->Chain.isRunning() && w.window->Protocole.Cmd.IsFree.load();
}
}

class TestConfigEndToEnd : public QObject
{
    Q_OBJECT

    // One window loaded from its reader, shared by the save tests.
    std::unique_ptr<WindowWithReader> w;
    std::unique_ptr<TextHistory> history;
    Recorder recorder;
    int pollsDuringLoad = 0;
    ModalAnswerer answerer;
    QTemporaryDir folder;

    bool open(WindowWithReader &reader)
    {
        if (!reader.start())
            return false;
        // The buttons follow the link once the window has heard of it.
        return QTest::qWaitFor([&] { return Button(reader, "BTN_ReaderConfigLoad")->isEnabled(); },
                               5000);
    }

    void save()
    {
        recorder.requests.clear();
        recorder.progress.clear();
        history->clear();
        Button(*w, "BTN_ReaderConfigSave")->click();
    }

private slots:
    void initTestCase()
    {
        w = std::make_unique<WindowWithReader>();
        QVERIFY(open(*w));
        recorder.attach(*w);
        history = std::make_unique<TextHistory>(w->field("SAI_ConfigStatus"));
        w->sim.config().refuseReads("6.0.2", true);

        // Polling on, as with the badge page in read mode.
        Button(*w, "BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w->sim.requestCount('B', 'S') > 0, 5000);
        const int polls = w->sim.requestCount('B', 'S');
        Button(*w, "BTN_ReaderConfigLoad")->click();
        QTRY_COMPARE_WITH_TIMEOUT(Status(*w), QString("Lecture Ok"), LoadMs);
        pollsDuringLoad = w->sim.requestCount('B', 'S') - polls;
        Button(*w, "BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->window->Protocole.Polling.load() && Idle(*w), 5000);
    }
    void cleanupTestCase()
    {
        history.reset();
        w.reset();
    }

    void fullLoadFillsTheTree()
    {
        QVERIFY2(pollsDuringLoad > 0, "polling went on during the load");
        QCOMPARE(recorder.sent("VG").size(), Parameters);
        QVERIFY(history->contains("GetValue->->OK"));
        QVERIFY(history->contains("Get value (6.0.2)->UNKNOWN"));  // and the load went on
        QVERIFY(history->contains("Get value (6.1.0.0)->OK"));
        QVERIFY(recorder.progress.contains("Lecture 1 / 143"));
        QCOMPARE(recorder.progress.last(), QString("Lecture 143 / 143"));
        QVERIFY(w->field<QProgressBar>("PROGRESS_Chain")->isHidden());
        QVERIFY(Button(*w, "BTN_ReaderConfigSave")->isEnabled());
        QVERIFY(Button(*w, "BTN_ReaderFileSave")->isEnabled());
        QVERIFY(Button(*w, "BTN_ReaderConfigLoad")->isEnabled());

        for (QTreeWidgetItem *item : TreeItems(Tree(*w))) {
            const QString id = item->text(TreeColumn::Identifier);
            if (id.isEmpty())
                continue;
            QCOMPARE(item->text(TreeColumn::Modified), QString("0"));
            // Editor items show their state, plain ones the reader's text.
            QCOMPARE(item->text(TreeColumn::Value), Read(*w, item));
            if (id != "6.0.2" && !id.startsWith("12."))
                QCOMPARE(Read(*w, item), w->sim.config().value(id));
        }
        QCOMPARE(Param(*w, "6.0.2")->text(TreeColumn::Value), QString());
    }

    void saveWithoutChangesSendsNothing()
    {
        save();
        QCOMPARE(Status(*w), QString("Aucune modification"));
        QTest::qWait(100);
        QCOMPARE(recorder.sent("VP"), QStringList());
        QVERIFY(!w->window->Chain.isRunning());
    }

    void saveWritesExactlyTheChangesInOrder()
    {
        Param(*w, "3.0.1")->setText(TreeColumn::Value, "Laverie Centrale");
        auto *type = qobject_cast<QComboBox *>(
            Tree(*w)->itemWidget(Param(*w, "2.0.10"), TreeColumn::Value));
        type->setCurrentIndex(0);
        Param(*w, "3.0.1")->setText(TreeColumn::Value, "Laverie du Centre");
        QCOMPARE(Status(*w), QString("Modification à sauvegarder !"));

        save();
        QTRY_VERIFY_WITH_TIMEOUT(Idle(*w), 10000);
        QCOMPARE(recorder.sent("VP"),
                 (QStringList{"2.0.10=0", "3.0.1=Laverie du Centre", "2.255.1=", "3.255.1="}));
        QVERIFY(history->contains("Save:2.0.10->OK"));
        QVERIFY(history->contains("Save(2) :->OK"));
        QCOMPARE(Status(*w), QString("Save(3) :->OK"));
        QCOMPARE(recorder.progress, (QStringList{"Ecriture 0 / 2", "Ecriture 1 / 2", "Ecriture 2 / 2",
                                                 "Validation 0 / 2", "Validation 1 / 2",
                                                 "Validation 2 / 2"}));
        QCOMPARE(w->sim.config().value("3.0.1"), QString("Laverie du Centre"));
        QCOMPARE(w->sim.config().value("2.0.10"), QString("0"));
        QCOMPARE(Param(*w, "3.0.1")->text(TreeColumn::Modified), QString("0"));
        QCOMPARE(Param(*w, "3.0.1")->text(TreeColumn::Save), QString("Laverie du Centre"));
        QCOMPARE(Param(*w, "2.0.10", 1)->text(TreeColumn::Value), QString("0"));
        QVERIFY(Button(*w, "BTN_ReaderConfigSave")->isEnabled());
    }

    void refusedWriteCommitsNothing()
    {
        w->sim.config().refuseWrites("3.0.5", true);
        Param(*w, "3.0.5")->setText(TreeColumn::Value, "88");
        save();
        QTRY_VERIFY_WITH_TIMEOUT(Idle(*w), 10000);
        QCOMPARE(Status(*w), QString("Save: ->Echec"));
        QCOMPARE(recorder.sent("VP"), QStringList{"3.0.5=88"});
        QVERIFY(Param(*w, "3.0.5")->text(TreeColumn::Modified) != "0");
        QVERIFY(Button(*w, "BTN_ReaderConfigLoad")->isEnabled());
        w->sim.config().refuseWrites("3.0.5", false);
    }

    void unansweredWriteIsATimeout()
    {
        w->sim.failNext(ReaderSim::Fault::Mute, "VP");
        save();
        QTRY_VERIFY_WITH_TIMEOUT(Idle(*w), 10000);
        QVERIFY2(Status(*w).endsWith("->TIMEOUT"), qPrintable(Status(*w)));
        QCOMPARE(recorder.sent("VP"), QStringList{"3.0.5=88"});

        save();  // still marked: written at the next save
        QTRY_VERIFY_WITH_TIMEOUT(Idle(*w), 10000);
        QCOMPARE(Status(*w), QString("Save(3) :->OK"));
        QCOMPARE(w->sim.config().value("3.0.5"), QString("88"));
    }

    // Copying one reader to another through a file: the file reloads into
    // the same tree, and the save writes every parameter but the ones in
    // step ("Identification"), with no heading.
    void fileCopiesAReaderToAnother()
    {
        const QString path = folder.filePath("lecteur.txt");
        answerer.arm(path);
        Button(*w, "BTN_ReaderFileSave")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration enregistrée"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), Parameters);

        WindowWithReader other;
        QVERIFY(open(other));
        Recorder otherRecorder;
        otherRecorder.attach(other);
        QVERIFY(!Button(other, "BTN_ReaderConfigSave")->isEnabled());
        other.field("SAI_FIleName")->setText(path);
        answerer.arm();
        Button(other, "BTN_ReaderFileLoad")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration chargée"));
        QCOMPARE(Values(other), Values(*w));
        QVERIFY(Button(other, "BTN_ReaderConfigSave")->isEnabled());

        Button(other, "BTN_ReaderConfigSave")->click();
        QTRY_VERIFY_WITH_TIMEOUT(Idle(other), LoadMs);
        QVERIFY2(Status(other).endsWith(") :->OK"), qPrintable(Status(other)));
        const QStringList writes = otherRecorder.sent("VP");
        QCOMPARE(writes.filter(QRegularExpression("^\\d+\\.255\\.1=$")).size(), 8);
        QCOMPARE(writes.size(), Parameters - 6 + 8);
        QCOMPARE(writes.filter(QRegularExpression("^=")).size(), 0);
        QCOMPARE(other.sim.config().value("3.0.5"), QString("77"));  // in step: not written
        QCOMPARE(other.sim.config().value("2.0.10"), QString("0"));
        QCOMPARE(other.sim.config().value("3.4.3"), w->sim.config().value("3.4.3"));
    }

    void silentReaderStopsTheLoad()
    {
        WindowWithReader quiet;
        QVERIFY(open(quiet));
        quiet.sim.setSilent(true);
        Button(quiet, "BTN_ReaderConfigLoad")->click();
        QTRY_VERIFY_WITH_TIMEOUT(Idle(quiet), 5000);
        QCOMPARE(Status(quiet), QString("GetValue->->TIMEOUT"));
        QTest::qWait(300);
        QCOMPARE(quiet.sim.requestCount('V', 'G'), 1);
        QVERIFY(!Button(quiet, "BTN_ReaderConfigSave")->isEnabled());
        QVERIFY(Button(quiet, "BTN_ReaderConfigLoad")->isEnabled());
        QVERIFY(quiet.window->TreeLoading);
    }

    // While a chain runs nothing may start another one or change the tree
    // under it; a link lost ends it with its failure text.
    void linkLostEndsTheLoad()
    {
        WindowWithReader lost;
        QVERIFY(open(lost));
        Button(lost, "BTN_ReaderConfigLoad")->click();
        QTRY_VERIFY_WITH_TIMEOUT(lost.sim.requestCount('V', 'G') >= 5, 5000);
        for (const char *name : {"BTN_ReaderConfigLoad", "BTN_ReaderConfigSave", "BTN_ReaderFileLoad"})
            QVERIFY2(!Button(lost, name)->isEnabled(), name);
        QVERIFY(lost.field<QProgressBar>("PROGRESS_Chain")->isVisible());
        Button(lost, "BTN_Serial")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!lost.window->Chain.isRunning(), 5000);
        QVERIFY2(Status(lost).endsWith("->TIMEOUT"), qPrintable(Status(lost)));
        QVERIFY(Button(lost, "BTN_ReaderFileLoad")->isEnabled());
        QVERIFY(lost.field<QProgressBar>("PROGRESS_Chain")->isHidden());
    }
};

QTEST_MAIN(TestConfigEndToEnd)
#include "tst_config_e2e.moc"
