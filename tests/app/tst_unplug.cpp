// The adapter pulled out in the middle of each chain: the chain ends with
// its failure text, the link says it is lost, and once plugged back
// "Connecter" opens it again and the same operation succeeds.
#include <QRegularExpression>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "config/paramtree.h"
#include "tests/support/linkwindow.h"
#include "tests/support/windowfixture.h"

namespace {
constexpr int ChainMs = 20000;
}

class TestUnplug : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowOnLink> w;

    void setParam(const QString &id, const QString &value)
    {
        auto *tree = w->field<QTreeWidget>("treeWidget");
        const auto items = tree->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier);
        QVERIFY(!items.isEmpty());
        items.first()->setText(TreeColumn::Value, value);
    }

    void prepare(const QString &what)
    {
        if (what == "loaded") {
            w->button("BTN_ReaderConfigLoad")->click();
            QTRY_COMPARE_WITH_TIMEOUT(w->text("SAI_ConfigStatus"), QString("Lecture Ok"), ChainMs);
            QTRY_VERIFY(w->idle());
            setParam("3.0.1", "Laverie");
            setParam("10.1", "4321");
        } else if (what == "rows") {
            auto *table = w->field<QTableWidget>("TABLE_BlackList");
            for (int row = 0; row < 3; ++row) {
                w->button("BTN_BlackListNew")->click();
                table->item(row, 2)->setText(QString::number(40 + row));
            }
        }
    }

    // The text the operation ended with: its status line, or its box.
    QString outcome(const QString &line, const MessageBoxCatcher &box) const
    {
        return line == "box" ? box.text : w->text(qPrintable(line));
    }

private slots:
    void init()
    {
        w = std::make_unique<WindowOnLink>();
        QVERIFY(w->start());
    }
    void cleanup() { w.reset(); }

    void unplugEndsTheChain_data()
    {
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("letters");  // unplugged at the nth such request
        QTest::addColumn<int>("nth");
        QTest::addColumn<QString>("line");  // status line, or "box"
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("success");

        QTest::newRow("configuration load") << "" << "BTN_ReaderConfigLoad" << QByteArray("VG") << 3
            << "SAI_ConfigStatus" << "->TIMEOUT$" << "^Lecture Ok$";
        QTest::newRow("configuration write") << "loaded" << "BTN_ReaderConfigSave" << QByteArray("VP") << 1
            << "SAI_ConfigStatus" << "->TIMEOUT$" << "^Vérification->OK$";
        QTest::newRow("configuration commit") << "loaded" << "BTN_ReaderConfigSave" << QByteArray("VP") << 3
            << "SAI_ConfigStatus" << "->TIMEOUT$" << "^Vérification->OK$";
        QTest::newRow("blacklist clear") << "rows" << "BTN_BlackListWriteToSupport" << QByteArray("FC") << 1
            << "SAI_BlackListStatus" << "^LN effacement->échec$" << "^LN Vérification->OK$";
        QTest::newRow("blacklist add") << "rows" << "BTN_BlackListWriteToSupport" << QByteArray("FA") << 2
            << "SAI_BlackListStatus" << "^LN Add->ECHEC$" << "^LN Vérification->OK$";
        QTest::newRow("blacklist read") << "" << "BTN_BlackListReadFromSupport" << QByteArray("FG") << 1
            << "SAI_BlackListStatus" << "^LN Lecture->ECHEC$" << "^LN Lecture->OK$";
        QTest::newRow("clock date") << "" << "BTN_DateHeureMAJ" << QByteArray("VP") << 1
            << "box" << "^Mise à jour ECHEC$" << "^Mise à jour OK$";
        QTest::newRow("clock time") << "" << "BTN_DateHeureMAJ" << QByteArray("VP") << 2
            << "box" << "^Mise à jour ECHEC$" << "^Mise à jour OK$";
    }
    void unplugEndsTheChain()
    {
        QFETCH(QString, prepare);
        QFETCH(QString, button);
        QFETCH(QByteArray, letters);
        QFETCH(int, nth);
        QFETCH(QString, line);
        QFETCH(QString, failure);
        QFETCH(QString, success);
        this->prepare(prepare);

        int seen = 0;
        // The request stays unanswered and the adapter goes while the
        // window waits for it.
        const auto pull = connect(&w->sim, &ReaderSim::requestReceived, this,
                                  [&](char c1, char c2, const QByteArray &) {
                                      if (QByteArray() + c1 + c2 != letters || ++seen != nth)
                                          return;
                                      w->sim.failNext(ReaderSim::Fault::Mute);
                                      QTimer::singleShot(0, &w->sim, [this] { w->sim.unplug(); });
                                  });
        MessageBoxCatcher box;
        if (line == "box")
            box.arm();
        w->button(qPrintable(button))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isOpen(), ChainMs);
        QTRY_VERIFY_WITH_TIMEOUT(w->idle() && !outcome(line, box).isEmpty(), 5000);
        QVERIFY2(QRegularExpression(failure).match(outcome(line, box)).hasMatch(),
                 qPrintable(outcome(line, box)));
        QCOMPARE(w->text("LINEEDIT_Com"), QString("Liaison perdue : lecteur débranché ?"));
        disconnect(pull);

        QVERIFY(w->reconnect());
        QCOMPARE(w->text("LINEEDIT_Com"), QString("Ouvert"));
        MessageBoxCatcher again;
        if (line == "box")
            again.arm();
        w->button(qPrintable(button))->click();
        QTRY_VERIFY_WITH_TIMEOUT(w->idle() && QRegularExpression(success).match(outcome(line, again)).hasMatch(),
                                 ChainMs);
    }
};

QTEST_MAIN(TestUnplug)
#include "tst_unplug.moc"
