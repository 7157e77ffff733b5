// The window's parameter tree: editors and values, marking of changes, the
// save list, and the configuration file through the buttons.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "config/configpage.h"

#include "app/mainwindow.h"
#include "config/paramtree.h"
#include "tests/config/modalanswerer.h"

class TestParamTree : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindow> window;  // without a reader
    QTreeWidget *tree = nullptr;
    ModalAnswerer answerer;
    QTemporaryDir folder;

    QTreeWidgetItem *param(const QString &id, int nth = 0)
    {
        return tree->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier).value(nth);
    }
    QString read(QTreeWidget *t, QTreeWidgetItem *item)
    {
        return TreeItemValue(TreeRead, t, item, QString(), TreeColumn::Kind, TreeColumn::Value);
    }
    template <typename T> T *editor(QTreeWidgetItem *item)
    {
        return qobject_cast<T *>(tree->itemWidget(item, TreeColumn::Value));
    }
    // Value (editor state and cell) and mark of every item, in tree order.
    QStringList state(QTreeWidget *t, bool withMarks = true)
    {
        QStringList all;
        for (QTreeWidgetItem *item : TreeItems(t))
            all << read(t, item) + "|" + item->text(TreeColumn::Value) + "|"
                       + (withMarks ? item->text(TreeColumn::Modified) : QString());
        return all;
    }
    void clickFileButton(MainWindow *w, const char *name, const QString &path)
    {
        answerer.arm(path);
        auto *button = w->findChild<QPushButton *>(name);
        button->setEnabled(true);
        button->click();
        QTRY_VERIFY(!answerer.box.isEmpty());
    }
    void loadFile(MainWindow *w, const QString &path)
    {
        w->findChild<QLineEdit *>("SAI_FIleName")->setText(path);
        clickFileButton(w, "BTN_ReaderFileLoad", QString());
    }
    static bool write(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    static QByteArray contentOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        window = std::make_unique<MainWindow>("/nonexistent/kovrim-tty");
        tree = window->findChild<QTreeWidget *>("treeWidget");
    }
    void cleanup() { window.reset(); }

    void putThenRead_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("after");
        QTest::newRow("check: empty checks") << "3.4.0" << "0" << "" << "1";
        QTest::newRow("check: abc checks") << "3.4.0" << "0" << "abc" << "1";
        QTest::newRow("check: 00 checks") << "3.4.0" << "0" << "00" << "1";
        QTest::newRow("check: 0 unchecks") << "3.4.0" << "1" << "0" << "0";
        QTest::newRow("check: 0 stays") << "3.4.0" << "0" << "0" << "0";
        QTest::newRow("combo: empty 4th option") << "7.1.1.1" << "0" << "3" << "3";
        QTest::newRow("combo: 3 of three") << "7.1.0.1" << "1" << "3" << "1";
        QTest::newRow("combo: -1") << "7.1.0.1" << "1" << "-1" << "1";
        QTest::newRow("combo: x") << "7.1.0.1" << "1" << "x" << "1";
        QTest::newRow("plain") << "3.9.0.1" << "" << "a=b" << "a=b";
    }
    // After a put the cell holds exactly the editor's state, even when the
    // put leaves the editor as it was.
    void putThenRead()
    {
        QFETCH(QString, id);
        QFETCH(QString, before);
        QFETCH(QString, value);
        QFETCH(QString, after);
        QTreeWidgetItem *item = param(id);
        TreeItemValue(TreeWrite, tree, item, before, TreeColumn::Kind, TreeColumn::Value);
        if (tree->itemWidget(item, TreeColumn::Value))
            item->setText(TreeColumn::Value, "");  // a cell out of step
        TreeItemValue(TreeWrite, tree, item, value, TreeColumn::Kind, TreeColumn::Value);
        QCOMPARE(read(tree, item), after);
        QCOMPARE(item->text(TreeColumn::Value), after);
    }

    // Headings, labels and read-only items mark nothing; a parameter whose
    // reader value is unknown is a change from the first edit; the save
    // list holds the changes in the order they were made.
    void changesAreMarkedAndListed()
    {
        QTreeWidgetItem *box = param("3.4.0");
        editor<QCheckBox>(box)->click();
        QCOMPARE(box->text(TreeColumn::Modified), QString("1"));
        QCOMPARE(window->findChild<QLineEdit *>("SAI_ConfigStatus")->text(),
                 QString("Modification à sauvegarder !"));

        QTreeWidgetItem *choice = param("2.0.11");
        editor<QComboBox>(choice)->setCurrentIndex(2);
        editor<QComboBox>(choice)->setCurrentIndex(2);
        QCOMPARE(choice->text(TreeColumn::Modified), QString("2"));
        editor<QCheckBox>(box)->click();
        editor<QCheckBox>(box)->click();
        QCOMPARE(box->text(TreeColumn::Value), QString("1"));
        QCOMPARE(box->text(TreeColumn::Modified), QString("4"));
        editor<QComboBox>(choice)->setCurrentIndex(1);
        param("3.0.1")->setText(TreeColumn::Label, "Nom");
        QTreeWidgetItem *cumul = tree->topLevelItem(2)->child(1)->child(0)->child(2);
        QCOMPARE(cumul->text(TreeColumn::Label), QString("Cumul Autorisé"));
        editor<QCheckBox>(cumul)->click();
        QCOMPARE(cumul->text(TreeColumn::Modified), QString());
        QTreeWidgetItem *firmware = param("12.0");
        QVERIFY(!(firmware->flags() & Qt::ItemIsEditable));
        firmware->setText(TreeColumn::Value, "9.9");
        QCOMPARE(firmware->text(TreeColumn::Value), QString());

        QStringList order;
        for (const ConfigChange &change : window->Config->model().changes())
            order << change.identifier + "=" + change.value;
        QCOMPARE(order, (QStringList{"3.4.0=1", "2.0.11=1"}));
    }

    // Both items of one parameter show its value and its mark; the
    // parameter is written once.
    void otherItemsOfAParameterFollow()
    {
        QCOMPARE(param("2.0.10", 1)->text(TreeColumn::Value), QString("0"));
        editor<QComboBox>(param("2.0.10"))->setCurrentIndex(1);
        QCOMPARE(param("2.0.10", 1)->text(TreeColumn::Value), QString("1"));
        QCOMPARE(param("2.0.10", 1)->text(TreeColumn::Modified), QString("1"));
        QCOMPARE(window->Config->model().changes().size(), 1);
        param("3.7.7", 1)->setText(TreeColumn::Value, "1");
        QVERIFY(editor<QCheckBox>(param("3.7.7"))->isChecked());
    }

    // Editors travel as their state, plain cells as they stand, "=" in a
    // value whole; a value nobody gave (the editors' first state) is not
    // written.
    void fileRoundTrip()
    {
        editor<QCheckBox>(param("3.4.2"))->setChecked(true);
        editor<QComboBox>(param("7.1.1.1"))->setCurrentIndex(3);
        param("3.9.0.1")->setText(TreeColumn::Value, "a=b");
        const QString path = folder.filePath("round.txt");
        clickFileButton(window.get(), "BTN_ReaderFileSave", path);
        QCOMPARE(answerer.box, QString("Information|Configuration enregistrée"));
        QCOMPARE(contentOf(path), QByteArray("3.4.2=1\n7.1.1.1=3\n3.9.0.1=a=b\n"));

        MainWindow other("/nonexistent/kovrim-tty");
        auto *otherTree = other.findChild<QTreeWidget *>("treeWidget");
        loadFile(&other, path);
        QCOMPARE(answerer.box, QString("Information|Configuration chargée"));
        QCOMPARE(state(otherTree, false), state(tree, false));
        // Nothing is known of the other reader: every parameter the file
        // names is to be written.
        QCOMPARE(other.Config->model().changes().size(), 3);
        QCOMPARE(other.findChild<QLineEdit *>("SAI_ConfigStatus")->text(),
                 QString("Origine des données->Fichier"));
        QVERIFY(other.Config->model().hasConfiguration());
    }

    void fileAfterACompletedLoadMarksInFileOrder()
    {
        window->Config->model().applyReaderLoad(
            {{"3.0.1", true, "Laverie"}, {"3.0.3", true, "KovrimReader"}, {"3.0.0", true, ""},
             {"3.4.0", true, "0"}});
        const QString path = folder.filePath("marks.txt");
        QVERIFY(write(path, "3.0.3=Borne\r\n 3.0.0=9\n3.0.1=Laverie\n3.4.0=1\nx.y=2\n"));
        loadFile(window.get(), path);
        // Blanks around an identifier are no other parameter; an unknown
        // one is named, the rest of the file is taken.
        QCOMPARE(answerer.box, QString("Attention|Configuration chargée sauf une ligne refusée :\n"
                                       "ligne 5 : x.y=2 : paramètre inconnu"));
        QCOMPARE(param("3.0.3")->text(TreeColumn::Modified), QString("1"));
        QCOMPARE(param("3.0.3")->text(TreeColumn::Value), QString("Borne"));
        QCOMPARE(param("3.0.0")->text(TreeColumn::Value), QString("9"));
        QCOMPARE(param("3.0.0")->text(TreeColumn::Modified), QString("2"));
        QCOMPARE(param("3.0.1")->text(TreeColumn::Modified), QString("0"));
        QCOMPARE(param("3.4.0")->text(TreeColumn::Modified), QString("3"));
    }

    void nonTextFileLeavesTheTree_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("box");
        const QString refused = "Erreur|Fichier de configuration refusé : ";
        QTest::newRow("NUL byte") << QByteArray("3.0.1=changed\n3.0.3=\0x\n", 23)
                                  << refused + "ce n'est pas un fichier texte";
        QTest::newRow("line over 64 KiB") << "3.0.1=changed\n3.0.3=" + QByteArray(70000, 'x')
                                          << refused + "ligne 2 trop longue";
        QTest::newRow("missing file") << QByteArray() << "Erreur|Impossible d'ouvrir le fichier";
    }
    void nonTextFileLeavesTheTree()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, box);
        const QString path = folder.filePath("bad.txt");
        QFile::remove(path);
        QVERIFY(content.isEmpty() || write(path, content));
        const QStringList before = state(tree);
        loadFile(window.get(), path);
        QCOMPARE(answerer.box, box);
        QCOMPARE(state(tree), before);
        QVERIFY(!window->Config->model().hasConfiguration());
    }

    // A wheel turned while scrolling the tree never picks an option.
    void wheelOverAComboBoxScrollsInstead()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTreeWidgetItem *item = nullptr;
        for (QTreeWidgetItem *candidate : TreeItems(tree))
            if (editor<QComboBox>(candidate) && editor<QComboBox>(candidate)->count() > 2) {
                item = candidate;
                break;
            }
        QVERIFY(item);
        auto *box = editor<QComboBox>(item);
        tree->scrollToItem(item);
        const QPoint centre = box->rect().center();
        auto turn = [box, centre] {
            QWheelEvent wheel(centre, box->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &wheel);
        };
        turn();
        QCOMPARE(box->currentIndex(), 0);
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        turn();
        QCOMPARE(box->currentIndex(), 1);
    }

    void failedWriteLeavesTheOldFile()
    {
        // One byte short of the name limit: no room for a temporary name
        // beside it, whoever runs the test.
        const QString path = folder.filePath(QString(250, 'c') + ".txt");
        QVERIFY(write(path, "3.0.1=ancien\n"));
        clickFileButton(window.get(), "BTN_ReaderFileSave", path);
        QCOMPARE(answerer.box, QString("Erreur|Impossible de créer le fichier"));
        QCOMPARE(contentOf(path), QByteArray("3.0.1=ancien\n"));
    }
};

QTEST_MAIN(TestParamTree)
#include "tst_paramtree.moc"
