// Reader A read, reader B plugged in its place: the window forgets A, a
// copy of A's file writes B's differences only, B keeps its identity, and
// B's backup holds B's values. A preview open when the link drops is never
// written into whatever answers next.
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "config/configpage.h"
#include "config/paramtree.h"
#include "tests/config/modalanswerer.h"
#include "tests/support/linkwindow.h"

namespace {
constexpr int ChainMs = 20000;
}

class TestSwapEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowOnLink> w;
    ModalAnswerer answerer;
    QStringList payloads;

    QString status() const { return w->text("SAI_ConfigStatus"); }
    QTreeWidgetItem *param(const QString &id) const
    {
        return w->field<QTreeWidget>("treeWidget")
            ->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier)
            .value(0);
    }
    QDialog *preview() const
    {
        QDialog *dialog = nullptr;
        QTest::qWaitFor([&] {
            dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            return dialog && dialog->objectName() == "DLG_WritePreview";
        }, ChainMs);
        return dialog;
    }
    void load()
    {
        w->button("BTN_ReaderConfigLoad")->click();
        QTRY_COMPARE_WITH_TIMEOUT(status(), QString("Lecture Ok"), ChainMs);
        QTRY_VERIFY(w->idle());
    }
    // The adapter pulled, reader B put in A's place: the window opens the
    // link again by itself.
    void swapReader()
    {
        w->sim.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isOpen(), 5000);
        SimConfig &b = w->sim.config();
        b.setValue("3.0.2", "2002");
        b.setValue("13.1.4", "192.168.1.77");
        b.setValue("10.1", "3000");
        b.setValue("3.0.1", "Laverie B");
        QVERIFY(w->sim.replug());
        QTRY_VERIFY_WITH_TIMEOUT(w->isOpen() && w->button("BTN_ReaderConfigLoad")->isEnabled(), 10000);
    }

private slots:
    void init()
    {
        w = std::make_unique<WindowOnLink>();
        QVERIFY(w->start());
        w->operatorAgrees.on = false;
        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, QByteArray p) {
            if (c1 == 'V' && c2 == 'P')
                payloads << QString::fromUtf8(p);
        });
        payloads.clear();
    }
    void cleanup() { w.reset(); }

    void copyOfReaderAIntoReaderB()
    {
        w->sim.config().setValue("10.1", "5000");
        w->sim.config().setValue("3.0.1", "Laverie A");
        load();
        const QString fileA = w->dir.filePath("lecteurA.txt");
        answerer.arm(fileA);
        w->button("BTN_ReaderFileSave")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration enregistrée"));

        swapReader();
        // Nothing of A is taken for B's.
        const ConfigModel &model = w->window->Config->model();
        QVERIFY(!model.find("10.1")->readerKnown && !model.find("10.1")->valueKnown);
        QVERIFY(!model.readerIdentity().known());
        w->field("SAI_FIleName")->setText(fileA);
        answerer.arm();
        w->button("BTN_ReaderFileLoad")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration chargée"));

        w->button("BTN_ReaderConfigSave")->click();
        QDialog *dialog = preview();
        QVERIFY(dialog);
        const QStringList rows = TableRowTexts(dialog->findChild<QTableWidget *>("TABLE_WritePreview"));
        QVERIFY2(rows.contains("Crédit max|10.1|« 3000 »|« 5000 »"), qPrintable(rows.join('\n')));
        QVERIFY(rows.contains("Identifiant matériel (propre au lecteur)|3.0.2|« 2002 »|« 1001 »"));
        QCOMPARE(rows.filter("(propre au lecteur)").size(), 2);
        dialog->findChild<QPushButton *>("BTN_WritePreviewWrite")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w->idle(), ChainMs);
        QCOMPARE(status(), QString("Vérification->OK"));

        QCOMPARE(w->sim.config().value("10.1"), QString("5000"));
        QCOMPARE(w->sim.config().value("3.0.1"), QString("Laverie A"));
        QCOMPARE(w->sim.config().value("3.0.2"), QString("2002"));
        QCOMPARE(w->sim.config().value("13.1.4"), QString("192.168.1.77"));
        QCOMPARE(payloads.filter(QRegularExpression("^(3\\.0\\.2|13\\.1\\.4)=")), QStringList());
        const QStringList backups =
            QDir(w->dir.filePath("sauvegardes")).entryList({"lecteur-1204-2002-*.txt"}, QDir::Files);
        QCOMPARE(backups.size(), 1);
        QFile backup(QDir(w->dir.filePath("sauvegardes")).filePath(backups.first()));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        const QByteArray held = backup.readAll();
        QVERIFY(held.contains("\n10.1=3000\n") && held.contains("Laverie B"));
    }

    void previewOpenWhenTheLinkDrops()
    {
        load();
        param("10.1")->setText(TreeColumn::Value, "4200");
        w->button("BTN_ReaderConfigSave")->click();
        QVERIFY(preview());
        swapReader();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(status(), QString("Save: ->Annulé"));
        QTRY_VERIFY(w->idle());
        QVERIFY(payloads.isEmpty());
        // The operator's change waits, against a reader not read yet.
        QVERIFY(param("10.1")->text(TreeColumn::Modified) != "0");
        QCOMPARE(w->window->Config->model().changes().size(), 1);
    }

    // A value the check box cannot show is shown as the reader gave it.
    void readerValueTheEditorCannotShow()
    {
        w->sim.config().setValue("3.4.2", "2");
        load();
        auto *box = qobject_cast<QCheckBox *>(
            w->field<QTreeWidget>("treeWidget")->itemWidget(param("3.4.2"), TreeColumn::Value));
        QCOMPARE(box->text(), QString("2 (valeur inconnue)"));
        QCOMPARE(box->checkState(), Qt::PartiallyChecked);
        box->click();
        QCOMPARE(w->window->Config->model().value("3.4.2"), QString("1"));
        QVERIFY(box->text().isEmpty());
    }
};

QTEST_MAIN(TestSwapEndToEnd)
#include "tst_swap_e2e.moc"
