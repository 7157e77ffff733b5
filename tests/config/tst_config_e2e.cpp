// Reader configuration end to end: the window's buttons clicked as an
// operator does, the simulated reader on the other side of a pty.
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "config/configpage.h"
#include "config/paramtree.h"
#include "tests/config/modalanswerer.h"
#include "tests/support/windowfixture.h"

namespace {
constexpr int Parameters = 143;
constexpr int ChainMs = 20000;

struct Reader : WindowWithReader {
    QStringList writes;    // 'V','P' payloads received
    QStringList progress;  // "name n / N" shown

    bool open()
    {
        if (!start())
            return false;
        QObject::connect(&sim, &ReaderSim::requestReceived, [this](char, char c2, QByteArray p) {
            if (c2 == 'P')
                writes << QString::fromUtf8(p);
        });
        QObject::connect(&window->Chain, &CommandChain::progress, [this](const QString &name, int n, int total) {
            progress << QString("%1 %2 / %3").arg(name).arg(n).arg(total);
        });
        // The buttons follow the link once the window has heard of it.
        return QTest::qWaitFor([this] { return button("BTN_ReaderConfigLoad")->isEnabled(); }, 5000);
    }
    QPushButton *button(const char *name) const { return field<QPushButton>(name); }
    QString status() const { return text("SAI_ConfigStatus"); }
    bool idle() const
    {
        return !window->Chain.isRunning() && !window->Config->isBusy()
               && window->Protocole.Cmd.IsFree.load();
    }
    QTreeWidget *tree() const { return field<QTreeWidget>("treeWidget"); }
    QTreeWidgetItem *param(const QString &id, int nth = 0) const
    {
        return tree()->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier).value(nth);
    }
    QString value(QTreeWidgetItem *item) const
    {
        return TreeItemValue(TreeRead, tree(), item, QString(), TreeColumn::Kind, TreeColumn::Value);
    }
    QStringList values() const
    {
        QStringList all;
        for (QTreeWidgetItem *item : TreeItems(tree()))
            if (!item->text(TreeColumn::Identifier).isEmpty())
                all << item->text(TreeColumn::Identifier) + "=" + value(item);
        return all;
    }
    void clickAndWait(const char *name)
    {
        writes.clear();
        progress.clear();
        button(name)->click();
        QTRY_VERIFY_WITH_TIMEOUT(idle(), ChainMs);
    }
};
}

class TestConfigEndToEnd : public QObject
{
    Q_OBJECT

    // Loaded once from its reader, with polling on, then shared.
    std::unique_ptr<Reader> r;
    std::unique_ptr<TextHistory> history;
    bool pollingWentOn = false;
    ModalAnswerer answerer;
    QTemporaryDir folder;

private slots:
    void initTestCase()
    {
        r = std::make_unique<Reader>();
        QVERIFY(r->open());
        history = std::make_unique<TextHistory>(r->field("SAI_ConfigStatus"));
        r->sim.config().refuseReads("6.0.2", true);
        r->button("BTN_BadgeRead")->click();  // the badge page's read mode polls
        QTRY_VERIFY_WITH_TIMEOUT(r->sim.requestCount('B', 'S') > 0, 5000);
        r->clickAndWait("BTN_ReaderConfigLoad");
        // Whether a poll slips in between two reads depends on thread timing;
        // what must hold is that the load neither stops nor wedges polling.
        const int polls = r->sim.requestCount('B', 'S');
        pollingWentOn = QTest::qWaitFor([&] { return r->sim.requestCount('B', 'S') > polls; }, 5000);
        r->button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!r->window->Protocole.Polling.load() && r->idle(), 5000);
    }
    void cleanupTestCase()
    {
        history.reset();
        r.reset();
    }

    void fullLoadFillsTheTree()
    {
        QCOMPARE(r->status(), QString("Lecture Ok"));
        QVERIFY(pollingWentOn);
        QCOMPARE(r->sim.requestCount('V', 'G'), Parameters);
        QCOMPARE(history->texts.filter("UNKNOWN"), QStringList{"Get value (6.0.2)->UNKNOWN"});
        QVERIFY(history->contains("Get value (6.1.0.0)->OK"));  // it went on
        QVERIFY(r->progress.contains("Lecture 1 / 143"));
        QCOMPARE(r->progress.last(), QString("Lecture 143 / 143"));
        QVERIFY(r->field<QProgressBar>("PROGRESS_Chain")->isHidden());
        QVERIFY(r->button("BTN_ReaderConfigSave")->isEnabled());
        QVERIFY(r->button("BTN_ReaderFileSave")->isEnabled());
        for (QTreeWidgetItem *item : TreeItems(r->tree())) {
            const QString id = item->text(TreeColumn::Identifier);
            if (id.isEmpty())
                continue;
            QCOMPARE(item->text(TreeColumn::Modified), QString("0"));
            QCOMPARE(item->text(TreeColumn::Value), r->value(item));
            if (id != "6.0.2" && !id.startsWith("12."))  // refused, or the live clock
                QCOMPARE(r->value(item), r->sim.config().value(id));
        }
        // The journal has the outcome; the debug pane has each step.
        const QString journal = r->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText();
        QCOMPARE(journal.count("Lecture Ok : 143 paramètres, 1 refusé (6.0.2)"), 1);
        QVERIFY(!journal.contains("Get value") && !journal.contains("Lecture de "));
        const QStringList steps = r->field<QPlainTextEdit>("TXTEDIT_Debug")->toPlainText().split('\n');
        QCOMPARE(steps.filter(QRegularExpression("  Lecture de \\S+->(OK|REFUS)$")).size(), Parameters);
        QCOMPARE(steps.filter("Lecture de 6.0.2->REFUS").size(), 1);
        r->clickAndWait("BTN_ReaderConfigSave");
        QCOMPARE(r->status(), QString("Aucune modification"));
        QCOMPARE(r->writes, QStringList());
    }

    void saveWritesExactlyTheChangesInOrder()
    {
        r->param("3.0.1")->setText(TreeColumn::Value, "Laverie Centrale");
        qobject_cast<QComboBox *>(r->tree()->itemWidget(r->param("2.0.10"), TreeColumn::Value))
            ->setCurrentIndex(0);
        r->param("3.0.1")->setText(TreeColumn::Value, "Laverie du Centre");
        history->clear();
        r->clickAndWait("BTN_ReaderConfigSave");
        QCOMPARE(r->writes, (QStringList{"2.0.10=0", "3.0.1=Laverie du Centre", "2.255.1=", "3.255.1="}));
        QVERIFY(history->contains("Save:2.0.10->OK"));
        QVERIFY(history->contains("Save(2) :->OK"));
        QVERIFY(history->contains("Save(3) :->OK"));
        QCOMPARE(r->status(), QString("Vérification->OK"));
        QCOMPARE(r->progress, (QStringList{"Lecture avant écriture 0 / 2", "Lecture avant écriture 1 / 2",
                                           "Lecture avant écriture 2 / 2",
                                           "Ecriture 0 / 2", "Ecriture 1 / 2", "Ecriture 2 / 2",
                                           "Validation 0 / 2", "Validation 1 / 2", "Validation 2 / 2",
                                           "Vérification 0 / 2", "Vérification 1 / 2",
                                           "Vérification 2 / 2"}));
        QCOMPARE(r->sim.config().value("3.0.1"), QString("Laverie du Centre"));
        QCOMPARE(r->sim.config().value("2.0.10"), QString("0"));
        QCOMPARE(r->param("3.0.1")->text(TreeColumn::Modified), QString("0"));
        QCOMPARE(r->param("3.0.1")->text(TreeColumn::Save), QString("Laverie du Centre"));
    }

    void refusedOrUnansweredWriteCommitsNothing()
    {
        r->sim.config().refuseWrites("3.0.5", true);
        r->param("3.0.5")->setText(TreeColumn::Value, "88");
        r->clickAndWait("BTN_ReaderConfigSave");
        QCOMPARE(r->status(), QString("Save: ->Echec"));
        QCOMPARE(r->writes, QStringList{"3.0.5=88"});
        // The operator learns which parameter the reader refused.
        const QString refusal = "Ecriture de 3.0.5 refusée par le lecteur";
        QVERIFY(r->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText().contains(refusal));
        QCOMPARE(r->window->statusBar()->currentMessage(), refusal);
        r->sim.config().refuseWrites("3.0.5", false);

        // Unanswered, the write may have landed: it is put back.
        const QString before = r->sim.config().value("3.0.5");
        r->sim.failNext(ReaderSim::Fault::Mute, "VP");
        r->clickAndWait("BTN_ReaderConfigSave");
        QCOMPARE(r->status(), QString("Save->ECHEC : lecteur remis dans son état d'origine (1 paramètre)"));
        QCOMPARE(r->writes, (QStringList{"3.0.5=88", "3.0.5=" + before, "3.255.1="}));
        QVERIFY(!r->sim.config().isPending("3.0.5"));

        r->clickAndWait("BTN_ReaderConfigSave");  // still marked
        QCOMPARE(r->writes, (QStringList{"3.0.5=88", "3.255.1="}));
        QCOMPARE(r->sim.config().value("3.0.5"), QString("88"));
    }

    // A file copies one reader to another: it reloads into the same tree,
    // and the save writes every parameter the file names (each once), never
    // a heading nor a read-only parameter.
    void fileCopiesAReaderToAnother()
    {
        const QString path = folder.filePath("lecteur.txt");
        answerer.arm(path);
        r->button("BTN_ReaderFileSave")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration enregistrée"));

        Reader other;
        QVERIFY(other.open());
        QVERIFY(!other.button("BTN_ReaderConfigSave")->isEnabled());
        other.field("SAI_FIleName")->setText(path);
        answerer.arm();
        other.button("BTN_ReaderFileLoad")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration chargée"));
        // The versions and the clock stay the other reader's: unknown yet.
        const QRegularExpression readOnly("^12\\.");
        QCOMPARE(QStringList(other.values()).filter(readOnly).filter(QRegularExpression("=.")), QStringList());
        QStringList copied = r->values();
        QCOMPARE(QStringList(other.values()).replaceInStrings(QRegularExpression("^12\\..*"), QString()),
                 copied.replaceInStrings(QRegularExpression("^12\\..*"), QString()));
        QVERIFY(other.button("BTN_ReaderConfigSave")->isEnabled());

        QStringList differing;  // what the other reader holds otherwise
        for (const QString &id : r->sim.config().identifiers())
            if (!id.startsWith("12.") && id != "6.0.2"
                && other.sim.config().value(id) != r->sim.config().value(id))
                differing << id;
        QVERIFY(!differing.isEmpty());
        other.clickAndWait("BTN_ReaderConfigSave");
        QCOMPARE(other.status(), QString("Vérification->OK"));
        // The values the other reader already holds drop out.
        QCOMPARE(other.writes.size(), differing.size() + other.writes.filter(QRegularExpression("^\\d+\\.255\\.1=$")).size());
        for (const QString &id : differing)
            QCOMPARE(other.sim.config().value(id), r->sim.config().value(id));
        // Its read was refused on the first reader: the file does not hold
        // it, and the other reader keeps its own.
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(!saved.readAll().contains("\n6.0.2="));
        QCOMPARE(other.writes.filter(QRegularExpression("^6\\.0\\.2=")), QStringList());
        QCOMPARE(other.writes.filter(QRegularExpression("^12\\.")), QStringList());
        QCOMPARE(other.writes.filter(QRegularExpression("^=")), QStringList());
    }

    void silentReaderStopsTheLoad()
    {
        Reader quiet;
        QVERIFY(quiet.open());
        quiet.sim.setSilent(true);
        quiet.clickAndWait("BTN_ReaderConfigLoad");
        QCOMPARE(quiet.status(), QString("GetValue->->TIMEOUT"));
        QTest::qWait(300);
        // The first read, asked once more, and nothing after.
        QCOMPARE(quiet.sim.requestCount('V', 'G'), 2);
        QVERIFY(!quiet.button("BTN_ReaderConfigSave")->isEnabled());
        QVERIFY(quiet.button("BTN_ReaderConfigLoad")->isEnabled());
    }

    // A reload that stops halfway still ends the load: what the operator
    // edits next is written, not dropped as "Aucune modification".
    void editsAfterAFailedReloadAreWritten()
    {
        Reader again;
        QVERIFY(again.open());
        again.clickAndWait("BTN_ReaderConfigLoad");
        // Both tries of the first read go unanswered.
        again.sim.handleControlLine("drop 2");
        again.clickAndWait("BTN_ReaderConfigLoad");
        QVERIFY2(again.status().endsWith("->TIMEOUT"), qPrintable(again.status()));
        again.param("3.0.1")->setText(TreeColumn::Value, "Après échec");
        again.clickAndWait("BTN_ReaderConfigSave");
        QVERIFY2(again.writes.contains("3.0.1=Après échec"), qPrintable(again.writes.join(' ')));
    }

    // A file that names one parameter, loaded right after connecting, and
    // then edits: exactly that parameter and the edits are written, in that
    // order, and committed; nothing the file did not name is touched.
    void partialFileThenEditsWriteExactlyThose()
    {
        Reader fresh;
        QVERIFY(fresh.open());
        const QString path = folder.filePath("partiel.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("10.1=4000\n") > 0);
        file.close();
        fresh.field("SAI_FIleName")->setText(path);
        answerer.arm();
        fresh.button("BTN_ReaderFileLoad")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration chargée"));
        QCOMPARE(fresh.param("10.1")->text(TreeColumn::Modified), QString("1"));

        fresh.param("10.1")->setText(TreeColumn::Value, "3000");
        QCOMPARE(fresh.status(), QString("Modification à sauvegarder !"));
        fresh.param("3.0.1")->setText(TreeColumn::Value, "Laverie du Quai");
        const QString ip = fresh.sim.config().value("9.0.0");
        fresh.clickAndWait("BTN_ReaderConfigSave");
        QCOMPARE(fresh.writes, (QStringList{"10.1=3000", "3.0.1=Laverie du Quai", "10.255.1=",
                                            "3.255.1="}));
        QCOMPARE(fresh.sim.config().value("10.1"), QString("3000"));
        QCOMPARE(fresh.sim.config().value("9.0.0"), ip);
        QCOMPARE(fresh.param("10.1")->text(TreeColumn::Modified), QString("0"));
    }

    // While a load runs the tree takes no edit, and neither file button nor
    // a second load or a save can start; afterwards edits count again.
    void noEditNorFileDuringALoad()
    {
        Reader slow;
        QVERIFY(slow.open());
        slow.sim.setPacing(true);
        slow.button("BTN_ReaderConfigLoad")->click();
        QTRY_VERIFY_WITH_TIMEOUT(slow.sim.requestCount('V', 'G') >= 3, 5000);
        for (const char *name : {"BTN_ReaderConfigLoad", "BTN_ReaderConfigSave", "BTN_ReaderFileLoad",
                                 "BTN_ReaderFileSave"})
            QVERIFY2(!slow.button(name)->isEnabled(), name);
        QCOMPARE(slow.tree()->editTriggers(), QAbstractItemView::NoEditTriggers);
        QWidget *mdb = slow.tree()->itemWidget(slow.param("3.4.0"), TreeColumn::Value);
        QVERIFY(!mdb->isEnabled());
        slow.param("3.0.1")->setText(TreeColumn::Value, "Edité pendant la lecture");
        QCOMPARE(slow.param("3.0.1")->text(TreeColumn::Value), QString());
        QTRY_VERIFY_WITH_TIMEOUT(slow.idle(), ChainMs);
        QCOMPARE(slow.status(), QString("Lecture Ok"));
        QCOMPARE(slow.value(slow.param("3.0.1")), slow.sim.config().value("3.0.1"));
        QVERIFY(mdb->isEnabled());
        QVERIFY(slow.button("BTN_ReaderFileSave")->isEnabled());

        slow.sim.setPacing(false);
        qobject_cast<QCheckBox *>(mdb)->click();
        QCOMPARE(slow.param("3.4.0")->text(TreeColumn::Modified), QString("1"));
        slow.clickAndWait("BTN_ReaderConfigSave");
        QCOMPARE(slow.writes.size(), 2);
        QVERIFY(slow.writes.first().startsWith("3.4.0="));
    }

    // Nothing starts another chain or changes the tree under a running
    // one; a link lost ends it with its failure text.
    void linkLostEndsTheLoad()
    {
        Reader lost;
        QVERIFY(lost.open());
        lost.button("BTN_ReaderConfigLoad")->click();
        QTRY_VERIFY_WITH_TIMEOUT(lost.sim.requestCount('V', 'G') >= 5, 5000);
        for (const char *name : {"BTN_ReaderConfigLoad", "BTN_ReaderConfigSave", "BTN_ReaderFileLoad"})
            QVERIFY2(!lost.button(name)->isEnabled(), name);
        QVERIFY(lost.field<QProgressBar>("PROGRESS_Chain")->isVisible());
        lost.button("BTN_Serial")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!lost.window->Chain.isRunning(), 5000);
        QVERIFY2(lost.status().endsWith("->TIMEOUT"), qPrintable(lost.status()));
        QVERIFY(lost.button("BTN_ReaderFileLoad")->isEnabled());
    }

    // The minute may turn between the reader's answer and the PC's look:
    // a drift is told within a minute of the clock's offset.
    void clockDriftIsTold_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("told");
        QTest::newRow("5 min ahead") << 5 << false << true;
        QTest::newRow("5 min behind") << -5 << false << true;
        QTest::newRow("2 min ahead") << 2 << false << false;
        QTest::newRow("clock read refused") << 5 << true << false;
    }
    void clockDriftIsTold()
    {
        QFETCH(int, offset);
        QFETCH(bool, refused);
        QFETCH(bool, told);
        auto *journal = r->field<QPlainTextEdit>("TXTEDIT_Journal");
        journal->clear();
        r->sim.config().setClockDrift(offset);
        r->sim.config().refuseReads("12.3", refused);
        r->clickAndWait("BTN_ReaderConfigLoad");
        r->sim.config().setClockDrift(0);
        r->sim.config().refuseReads("12.3", false);
        QCOMPARE(r->status(), QString("Lecture Ok"));

        static const QRegularExpression warning(
            "Horloge du lecteur décalée de (\\d+) min : utiliser MAJ Date/Heure$");
        const QStringList lines = journal->toPlainText().split('\n').filter(warning);
        QCOMPARE(lines.size(), told ? 1 : 0);
        if (!told)
            return;
        QVERIFY2(qAbs(warning.match(lines.first()).captured(1).toInt() - qAbs(offset)) <= 1,
                 qPrintable(lines.first()));
        QVERIFY(warning.match(r->window->statusBar()->currentMessage()).hasMatch());
    }
};

QTEST_MAIN(TestConfigEndToEnd)
#include "tst_config_e2e.moc"
