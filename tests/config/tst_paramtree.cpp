// The parameter tree: editors, value exchange, marking of changes, the
// save list, and the configuration file through the window's buttons.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "app/mainwindow.h"
#include "config/paramtree.h"
#include "tests/config/modalanswerer.h"

namespace {
const QString NoPort = "/nonexistent/kovrim-tty";

QTreeWidgetItem *AddItem(QTreeWidget *tree, QTreeWidgetItem *parent, const QString &id,
                         const QString &kind, const QString &choices = QString())
{
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(TreeColumn::Label, "item " + id);
    item->setText(TreeColumn::Identifier, id);
    item->setText(TreeColumn::Kind, kind);
    item->setText(TreeColumn::Choices, choices);
    return item;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
}

class TestParamTree : public QObject
{
    Q_OBJECT

    // A small tree of every kind: a heading with a check box, a combo box
    // with an empty last option, a check box and a plain parameter.
    std::unique_ptr<QTreeWidget> tree;
    QTreeWidgetItem *heading = nullptr;
    QTreeWidgetItem *combo = nullptr;
    QTreeWidgetItem *check = nullptr;
    QTreeWidgetItem *plain = nullptr;

    std::unique_ptr<MainWindow> window;
    QTreeWidget *windowTree = nullptr;
    ModalAnswerer answerer;
    QTemporaryDir folder;

    QString read(QTreeWidget *t, QTreeWidgetItem *item)
    {
        return TreeItemValue(TreeRead, t, item, QString(), TreeColumn::Kind, TreeColumn::Value);
    }
    void put(QTreeWidget *t, QTreeWidgetItem *item, const QString &value)
    {
        TreeItemValue(TreeWrite, t, item, value, TreeColumn::Kind, TreeColumn::Value);
    }
    QTreeWidgetItem *param(const QString &id, int nth = 0)
    {
        const auto found = windowTree->findItems(id, Qt::MatchExactly | Qt::MatchRecursive,
                                                 TreeColumn::Identifier);
        return found.value(nth);
    }
    template <typename T> T *editor(QTreeWidgetItem *item)
    {
        return qobject_cast<T *>(windowTree->itemWidget(item, TreeColumn::Value));
    }
    template <typename T = QPushButton> T *field(const char *name)
    {
        return window->findChild<T *>(name);
    }
    QString status() { return field<QLineEdit>("SAI_ConfigStatus")->text(); }

    // Every parameter's value, by position in the tree.
    QStringList values(QTreeWidget *t)
    {
        QStringList all;
        for (QTreeWidgetItem *item : TreeItems(t))
            if (!item->text(TreeColumn::Identifier).isEmpty())
                all << item->text(TreeColumn::Identifier) + "=" + read(t, item) + "|"
                           + item->text(TreeColumn::Value);
        return all;
    }
    QStringList marks(QTreeWidget *t)
    {
        QStringList all;
        for (QTreeWidgetItem *item : TreeItems(t))
            all << item->text(TreeColumn::Modified);
        return all;
    }

    void saveFile(const QString &path)
    {
        answerer.arm(path);
        field("BTN_ReaderFileSave")->setEnabled(true);
        field("BTN_ReaderFileSave")->click();
        QTRY_VERIFY(!answerer.box.isEmpty());
    }
    void loadFile(MainWindow *w, const QString &path)
    {
        w->findChild<QLineEdit *>("SAI_FIleName")->setText(path);
        answerer.arm();
        w->findChild<QPushButton *>("BTN_ReaderFileLoad")->click();
        QTRY_VERIFY(!answerer.box.isEmpty());
    }

private slots:
    void init()
    {
        tree = std::make_unique<QTreeWidget>();
        tree->setColumnCount(11);
        heading = AddItem(tree.get(), nullptr, "", "10");
        combo = AddItem(tree.get(), heading, "7.1.1.1", "20", "PIECE;JETON;ABONNEMENT;");
        check = AddItem(tree.get(), heading, "3.4.0", "10");
        plain = AddItem(tree.get(), nullptr, "3.0.1", "1");
        TreeWidgetsCreate(tree.get(), heading, TreeColumn::Kind, TreeColumn::Value);
        TreeWidgetsCreate(tree.get(), plain, TreeColumn::Kind, TreeColumn::Value);

        window = std::make_unique<MainWindow>(NoPort);
        windowTree = window->findChild<QTreeWidget *>("treeWidget");
    }
    void cleanup()
    {
        window.reset();
        tree.reset();
    }

    void editorsFollowTheKind()
    {
        QVERIFY(qobject_cast<QCheckBox *>(tree->itemWidget(heading, TreeColumn::Value)));
        QVERIFY(qobject_cast<QCheckBox *>(tree->itemWidget(check, TreeColumn::Value)));
        QVERIFY(!tree->itemWidget(plain, TreeColumn::Value));
        auto *box = qobject_cast<QComboBox *>(tree->itemWidget(combo, TreeColumn::Value));
        QVERIFY(box);
        QCOMPARE(box->count(), 4);
        QCOMPARE(box->itemText(3), QString());
        // Every editor's cell shows its state from the start.
        QCOMPARE(combo->text(TreeColumn::Value), QString("0"));
        QCOMPARE(check->text(TreeColumn::Value), QString("0"));
        box->setCurrentIndex(3);
        QCOMPARE(combo->text(TreeColumn::Value), QString("3"));
    }

    void putThenRead_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("after");
        QTest::newRow("check: empty checks") << "check" << "0" << "" << "1";
        QTest::newRow("check: 1") << "check" << "0" << "1" << "1";
        QTest::newRow("check: abc checks") << "check" << "0" << "abc" << "1";
        QTest::newRow("check: 00 checks") << "check" << "0" << "00" << "1";
        QTest::newRow("check: 0 unchecks") << "check" << "1" << "0" << "0";
        QTest::newRow("check: 0 on unchecked") << "check" << "0" << "0" << "0";
        QTest::newRow("combo: empty 4th option") << "combo" << "0" << "3" << "3";
        QTest::newRow("combo: 4 out of range") << "combo" << "1" << "4" << "1";
        QTest::newRow("combo: -1") << "combo" << "1" << "-1" << "1";
        QTest::newRow("combo: x") << "combo" << "1" << "x" << "1";
        QTest::newRow("plain") << "plain" << "" << "a=b" << "a=b";
    }
    // After a put the cell holds exactly what the editor shows, even when
    // the put changes nothing in the editor.
    void putThenRead()
    {
        QFETCH(QString, which);
        QFETCH(QString, before);
        QFETCH(QString, value);
        QFETCH(QString, after);
        QTreeWidgetItem *item = which == "check" ? check : which == "combo" ? combo : plain;
        put(tree.get(), item, before);
        if (item != plain)
            item->setText(TreeColumn::Value, "");  // a cell out of step
        put(tree.get(), item, value);
        QCOMPARE(read(tree.get(), item), after);
        QCOMPARE(item->text(TreeColumn::Value), after);
    }

    void copyFromEditorsTouchesOnlyCellsOutOfStep()
    {
        int changes = 0;
        connect(tree.get(), &QTreeWidget::itemChanged, this, [&changes] { ++changes; });
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            TreeValuesFromWidgets(tree.get(), tree->topLevelItem(i), TreeColumn::Kind,
                                  TreeColumn::Value);
        QCOMPARE(changes, 0);  // headings and never written cells included
        check->setText(TreeColumn::Value, "");
        changes = 0;
        TreeValuesFromWidgets(tree.get(), heading, TreeColumn::Kind, TreeColumn::Value);
        QCOMPARE(changes, 1);
        QCOMPARE(check->text(TreeColumn::Value), QString("0"));
    }

    void saveListHasChangedParametersInChangeOrder()
    {
        heading->setText(TreeColumn::Modified, "5");
        combo->setText(TreeColumn::Modified, "10");
        check->setText(TreeColumn::Modified, "0");
        plain->setText(TreeColumn::Modified, "2");
        auto *never = AddItem(tree.get(), nullptr, "3.0.3", "");  // never loaded: ""
        auto *text = AddItem(tree.get(), nullptr, "3.0.5", "");
        text->setText(TreeColumn::Modified, "x");
        QList<QTreeWidgetItem *> list;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            TreeToDoSave(tree->topLevelItem(i), &list, TreeColumn::Modified);
        QCOMPARE(list, (QList<QTreeWidgetItem *>{combo, plain, never, text}));
        std::stable_sort(list.begin(), list.end(), TreeItemLessThan);
        QCOMPARE(list, (QList<QTreeWidgetItem *>{never, text, plain, combo}));
    }

    void changesAreMarkedOnlyOnceALoadCompleted()
    {
        QTreeWidgetItem *box = param("3.4.0");
        QTreeWidgetItem *choice = param("2.0.11");
        editor<QCheckBox>(box)->click();
        QCOMPARE(box->text(TreeColumn::Value), QString("1"));
        QCOMPARE(box->text(TreeColumn::Modified), QString());
        QCOMPARE(status(), QString());

        window->TreeLoading = false;  // as at the end of a load
        editor<QComboBox>(choice)->setCurrentIndex(2);
        QCOMPARE(choice->text(TreeColumn::Value), QString("2"));
        QCOMPARE(choice->text(TreeColumn::Modified), QString("1"));
        QCOMPARE(status(), QString("Modification à sauvegarder !"));
        editor<QComboBox>(choice)->setCurrentIndex(2);
        QCOMPARE(choice->text(TreeColumn::Modified), QString("1"));

        editor<QCheckBox>(box)->click();
        editor<QCheckBox>(box)->click();
        QCOMPARE(box->text(TreeColumn::Value), QString("1"));
        QCOMPARE(box->text(TreeColumn::Modified), QString("3"));

        // Labels and headings carry nothing to save.
        param("3.0.1")->setText(TreeColumn::Label, "Nom");
        QTreeWidgetItem *cumul = windowTree->topLevelItem(2)->child(1)->child(0)->child(2);
        QCOMPARE(cumul->text(TreeColumn::Label), QString("Cumul Autorisé"));
        editor<QCheckBox>(cumul)->click();
        QCOMPARE(cumul->text(TreeColumn::Modified), QString());
        QCOMPARE(window->ModifCounter, 3u);
    }

    // Two items of one identifier show the same reader parameter.
    void otherItemsOfAParameterFollowUnmarked()
    {
        window->TreeLoading = false;
        editor<QComboBox>(param("2.0.10", 0))->setCurrentIndex(1);
        QCOMPARE(param("2.0.10", 1)->text(TreeColumn::Value), QString("1"));
        QCOMPARE(param("2.0.10", 0)->text(TreeColumn::Modified), QString("1"));
        QCOMPARE(param("2.0.10", 1)->text(TreeColumn::Modified), QString());
        param("3.7.7", 1)->setText(TreeColumn::Value, "1");
        QVERIFY(editor<QCheckBox>(param("3.7.7", 0))->isChecked());
    }

    void fileAtStartUpHoldsEveryParameter()
    {
        const QString path = folder.filePath("start.txt");
        saveFile(path);
        QCOMPARE(answerer.box, QString("Information|Configuration enregistrée"));
        const QList<QByteArray> lines = ReadAll(path).split('\n');
        QCOMPARE(lines.size(), 144);  // 143 lines and the end after the last
        QVERIFY(lines.contains("3.4.0=0"));     // check box: unchecked
        QVERIFY(lines.contains("7.1.1.1=0"));   // combo box: first option
        QVERIFY(lines.contains("3.0.1="));      // plain: empty
        QVERIFY(!lines.contains("="));          // no heading
    }

    // Editors travel as their state, plain cells as they stand, a value
    // with "=" whole; the reloaded tree is the saved one.
    void fileRoundTripKeepsEveryValue()
    {
        editor<QCheckBox>(param("3.4.2"))->setChecked(true);
        editor<QCheckBox>(param("3.4.3"))->setChecked(true);
        editor<QCheckBox>(param("3.4.3"))->setChecked(false);
        editor<QComboBox>(param("7.1.1.1"))->setCurrentIndex(3);
        param("3.9.0.1")->setText(TreeColumn::Value, "a=b");
        param("9.0.4")->setText(TreeColumn::Value, "Porte ouverte");
        const QString path = folder.filePath("round.txt");
        saveFile(path);
        QVERIFY(ReadAll(path).contains("\n3.9.0.1=a=b\n"));

        MainWindow other(NoPort);
        auto *otherTree = other.findChild<QTreeWidget *>("treeWidget");
        const QStringList marksBefore = marks(otherTree);
        loadFile(&other, path);
        QCOMPARE(answerer.box, QString("Information|Configuration chargée"));
        QCOMPARE(values(otherTree), values(windowTree));
        QCOMPARE(marks(otherTree), marksBefore);  // no load completed: nothing marked
        QCOMPARE(other.findChild<QLineEdit *>("SAI_ConfigStatus")->text(),
                 QString("Origine des données->Fichier"));
        QVERIFY(other.findChild<QPushButton *>("BTN_ReaderFileSave")->isEnabled());
        QVERIFY(other.TreeHasConfiguration);
    }

    void fileAfterACompletedLoadMarksInFileOrder()
    {
        window->TreeLoading = false;
        param("3.0.1")->setText(TreeColumn::Value, "Laverie");
        param("3.0.1")->setText(TreeColumn::Modified, "0");
        const QString path = folder.filePath("marks.txt");
        QVERIFY(WriteAll(path, "3.0.3=Borne\r\n 3.0.0=9\n3.0.1=Laverie\n3.4.0=1\nx.y=2\n"));
        window->ModifCounter = 0;
        loadFile(window.get(), path);
        QCOMPARE(param("3.0.3")->text(TreeColumn::Modified), QString("1"));
        QCOMPARE(param("3.0.3")->text(TreeColumn::Value), QString("Borne"));
        QCOMPARE(param("3.0.0")->text(TreeColumn::Value), QString());  // " 3.0.0" is no identifier
        QCOMPARE(param("3.0.1")->text(TreeColumn::Modified), QString("0"));  // same value
        QCOMPARE(param("3.4.0")->text(TreeColumn::Modified), QString("2"));
    }

    void nonTextFileLeavesTheTree_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("NUL byte") << QByteArray("3.0.1=changed\n3.0.3=\0x\n", 23);
        QTest::newRow("line over 64 KiB") << "3.0.1=changed\n3.0.3=" + QByteArray(70000, 'x');
        QTest::newRow("missing file") << QByteArray();
    }
    void nonTextFileLeavesTheTree()
    {
        QFETCH(QByteArray, content);
        const QString path = folder.filePath("bad.txt");
        QFile::remove(path);
        if (!content.isEmpty())
            QVERIFY(WriteAll(path, content));
        const QStringList before = values(windowTree);
        loadFile(window.get(), path);
        QCOMPARE(answerer.box, QString("Erreur|Impossible d'ouvrir le fichier"));
        QCOMPARE(values(windowTree), before);
        QCOMPARE(status(), QString());
        QVERIFY(!window->TreeHasConfiguration);
        QVERIFY(!field("BTN_ReaderFileSave")->isEnabled());
    }

    // The new content is written aside; when that fails the old file stays.
    void failedWriteLeavesTheOldFile()
    {
        // A name one byte short of the limit leaves no room for a temporary
        // name beside it, whoever runs the test.
        const QString path = folder.filePath(QString(250, 'c') + ".txt");
        QVERIFY(WriteAll(path, "3.0.1=ancien\n"));
        saveFile(path);
        QCOMPARE(answerer.box, QString("Erreur|Impossible de créer le fichier"));
        QCOMPARE(ReadAll(path), QByteArray("3.0.1=ancien\n"));
    }
};

QTEST_MAIN(TestParamTree)
#include "tst_paramtree.moc"
