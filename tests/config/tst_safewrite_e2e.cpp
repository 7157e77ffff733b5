// The configuration write as a technician meets it: the preview of what
// changes, the backup of what it replaces, the check of what the reader
// kept. The window clicked, the simulated reader on the other side of a pty.
#include <QCheckBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "config/configpage.h"
#include "config/paramtree.h"
#include "tests/config/modalanswerer.h"
#include "tests/support/windowfixture.h"

namespace {
constexpr int ChainMs = 20000;
}

class TestSafeWriteEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowWithReader> w;
    QTemporaryDir folder;
    QStringList payloads;  // 'V','P' received
    ModalAnswerer answerer;

    QPushButton *button(const char *name) const { return w->field<QPushButton>(name); }
    QString status() const { return w->text("SAI_ConfigStatus"); }
    bool idle() const { return !w->window->Chain.isRunning() && !w->window->Config->isBusy(); }
    QTreeWidgetItem *param(const QString &id) const
    {
        return w->field<QTreeWidget>("treeWidget")
            ->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier)
            .value(0);
    }
    void load()
    {
        button("BTN_ReaderConfigLoad")->click();
        QTRY_COMPARE_WITH_TIMEOUT(status(), QString("Lecture Ok"), ChainMs);
        QTRY_VERIFY(idle());
    }
    // The preview once it is up; the test answers it.
    QDialog *preview()
    {
        QDialog *dialog = nullptr;
        if (!QTest::qWaitFor([&] {
                dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                return dialog && dialog->objectName() == "DLG_WritePreview";
            }, ChainMs))
            return nullptr;
        return dialog;
    }
    QStringList rows(QDialog *dialog) const
    {
        return TableRowTexts(dialog->findChild<QTableWidget *>("TABLE_WritePreview"));
    }
    void answer(QDialog *dialog, const char *buttonName)
    {
        dialog->findChild<QPushButton *>(buttonName)->click();
        QTRY_VERIFY_WITH_TIMEOUT(idle(), ChainMs);
    }
    void loadFile(const QByteArray &content)
    {
        const QString path = folder.filePath("copie.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        w->field("SAI_FIleName")->setText(path);
        answerer.arm();
        button("BTN_ReaderFileLoad")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration chargée"));
    }
    QStringList backups() const
    {
        return QDir(QDir(w->window->ConfigStartFolder).filePath("sauvegardes")).entryList(QDir::Files);
    }

private slots:
    void init()
    {
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        w->window->ConfigStartFolder = folder.path();
        w->operatorAgrees.on = false;
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_ReaderConfigLoad")->isEnabled(), 5000);
        payloads.clear();
        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, QByteArray p) {
            if (c1 == 'V' && c2 == 'P')
                payloads << QString::fromUtf8(p);
        });
        QDir(folder.filePath("sauvegardes")).removeRecursively();
    }
    void cleanup() { w.reset(); }

    // Previewed with the reader's value beside the new one, written,
    // committed and read back; the reader's previous values are kept in a
    // file that loads again.
    void previewedWrittenAndChecked()
    {
        w->sim.config().setValue("10.1", "5000");
        load();
        param("10.1")->setText(TreeColumn::Value, "3000");
        qobject_cast<QCheckBox *>(w->field<QTreeWidget>("treeWidget")->itemWidget(param("3.4.0"), 1))->click();
        button("BTN_ReaderConfigSave")->click();
        QDialog *dialog = preview();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString("Ecriture dans le lecteur"));
        const QString mdb = w->sim.config().value("3.4.0") == "0" ? "Mdb CashLess|3.4.0|Non|Oui"
                                                                  : "Mdb CashLess|3.4.0|Oui|Non";
        QCOMPARE(rows(dialog), (QStringList{"Crédit max|10.1|« 5000 »|« 3000 »", mdb}));
        QVERIFY(payloads.isEmpty());
        answer(dialog, "BTN_WritePreviewWrite");
        QCOMPARE(status(), QString("Vérification->OK"));
        QCOMPARE(payloads.size(), 2 + 2);
        QCOMPARE(w->sim.config().value("10.1"), QString("3000"));

        QCOMPARE(backups().size(), 1);
        const QString backup = QDir(folder.filePath("sauvegardes")).filePath(backups().first());
        QVERIFY(w->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText()
                    .contains("Sauvegarde avant écriture : " + backups().first()));
        w->field("SAI_FIleName")->setText(backup);
        answerer.arm();
        button("BTN_ReaderFileLoad")->click();
        QTRY_COMPARE(answerer.box, QString("Information|Configuration chargée"));
        QCOMPARE(param("10.1")->text(TreeColumn::Value), QString("5000"));
    }

    // "Annuler" sends nothing and keeps the marks; an unchecked row is not
    // written and stays marked for a later save.
    void cancelOrUncheckedRowSendsNothingOfIt()
    {
        load();
        param("10.1")->setText(TreeColumn::Value, "3000");
        param("3.0.1")->setText(TreeColumn::Value, "Laverie du Quai");
        button("BTN_ReaderConfigSave")->click();
        QDialog *dialog = preview();
        QVERIFY(dialog);
        answer(dialog, "BTN_WritePreviewCancel");
        QCOMPARE(status(), QString("Save: ->Annulé"));
        QVERIFY(payloads.isEmpty());
        QVERIFY(backups().isEmpty());
        QCOMPARE(w->window->Config->model().changes().size(), 2);

        button("BTN_ReaderConfigSave")->click();
        dialog = preview();
        QVERIFY(dialog);
        dialog->findChild<QTableWidget *>("TABLE_WritePreview")->item(0, 0)->setCheckState(Qt::Unchecked);
        answer(dialog, "BTN_WritePreviewWrite");
        QCOMPARE(payloads, (QStringList{"3.0.1=Laverie du Quai", "3.255.1="}));
        QCOMPARE(param("10.1")->text(TreeColumn::Modified), QString("1"));
        QCOMPARE(param("3.0.1")->text(TreeColumn::Modified), QString("0"));
    }

    // A file copied into a reader never loaded: the values it would
    // replace, and the reader's identity, are read first; the equal ones
    // drop out.
    void fileCopyReadsUnknownValuesFirst()
    {
        w->sim.config().setValue("10.1", "4000");
        w->sim.config().setValue("3.0.1", "Avant");
        loadFile("10.1=4000\n3.0.1=Après\n");
        const int reads = w->sim.requestCount('V', 'G');
        button("BTN_ReaderConfigSave")->click();
        QDialog *dialog = preview();
        QVERIFY(dialog);
        QCOMPARE(w->sim.requestCount('V', 'G'), reads + 2 + 2);
        QCOMPARE(rows(dialog), QStringList{"Nom du site|3.0.1|« Avant »|« Après »"});
        QCOMPARE(param("10.1")->text(TreeColumn::Modified), QString("0"));
        answer(dialog, "BTN_WritePreviewWrite");
        QCOMPARE(payloads, (QStringList{"3.0.1=Après", "3.255.1="}));
        QCOMPARE(status(), QString("Vérification->OK"));
    }

    // No backup, no write; a value the reader keeps different is named and
    // stays marked.
    void backupMissingOrValueKeptDifferent()
    {
        QFile blocker(folder.filePath("sauvegardes"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        load();
        param("13.6")->setText(TreeColumn::Value, "8080");
        button("BTN_ReaderConfigSave")->click();
        answer(preview(), "BTN_WritePreviewWrite");
        QCOMPARE(status(), QString("Save: ->Echec"));
        QVERIFY(payloads.isEmpty());
        QVERIFY(w->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText()
                    .contains("Sauvegarde avant écriture impossible"));
        QVERIFY(blocker.remove());

        w->sim.handleControlLine("param refuse get 13.6");
        button("BTN_ReaderConfigSave")->click();
        answer(preview(), "BTN_WritePreviewWrite");
        QCOMPARE(status(), QString("Vérification->ECHEC"));
        QVERIFY(w->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText()
                    .contains("Vérification : 13.6 refusée par le lecteur, écrit 8080"));
        QVERIFY(param("13.6")->text(TreeColumn::Modified) != "0");
    }
};

QTEST_MAIN(TestSafeWriteEndToEnd)
#include "tst_safewrite_e2e.moc"
