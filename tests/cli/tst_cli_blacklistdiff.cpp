// kovrim-cli blacklist-diff: what a fleet tool decides a list replacement
// on. The built program against a simulated reader holding a known list.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "tests/cli/clirun.h"
#include "tests/cli/clisim.h"

namespace {
bool WriteText(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The UIDs of an "added" or "removed" array, in order.
QStringList Uids(const QJsonValue &array)
{
    QStringList uids;
    for (const QJsonValue &row : array.toArray())
        uids << row.toObject().value("uid").toString();
    return uids;
}

const QString HeldA = "Cda=260305;UID=04A1B2C3;Usr=1001;Grp=2";
const QString HeldB = "Cda=251117;UID=04FFEE01;Usr=1002;Grp=1";
}

class TestCliBlackListDiff : public QObject
{
    Q_OBJECT

    std::unique_ptr<LinkedSim> r;
    QTemporaryDir files;

    CliRun cli(const QStringList &arguments)
    {
        return RunCli(QStringList{"--port", r->link, "--json"} + arguments);
    }

private slots:
    void init()
    {
        r = std::make_unique<LinkedSim>();
        QVERIFY(r->start());
        r->sim.handleControlLine("liste ajoute " + HeldA);
        r->sim.handleControlLine("liste ajoute " + HeldB);
        QCOMPARE(r->sim.listFile().entries().size(), 2);
    }
    void cleanup() { r.reset(); }

    void comparesWithoutWriting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("removed");
        QTest::newRow("same, other order, other reasons, a repeat")
            << "liste.txt"
            << QByteArray("17/11/25;04ffee01;1002;1;volé;\n05/03/26;04:A1:B2:C3;1001;2;perdu;\n"
                          "05/03/26;04A1B2C3;1001;2;encore;\n")
            << 0 << QStringList{} << QStringList{};
        QTest::newRow("one replaced, one new")
            << "liste.txt" << QByteArray("05/03/26;04A1B2C3;1001;2;perdu;\n17/11/25;04FFEE01;1002;3;;\n"
                                         "01/01/26;0A0B0C0D;7;3;x;\n")
            << 10 << QStringList{"04FFEE01", "0A0B0C0D"} << QStringList{"04FFEE01"};
        QTest::newRow("csv, columns in another order")
            << "liste.csv" << QByteArray("Raison;Uid;Date;Utilisateur;Groupe\r\nperdu;04A1B2C3;05/03/26;1001;2\r\n")
            << 10 << QStringList{} << QStringList{"04FFEE01"};
        QTest::newRow("empty file: all to remove") << "vide.txt" << QByteArray() << 10 << QStringList{}
                                                   << QStringList{"04A1B2C3", "04FFEE01"};
        QTest::newRow("invalid row: nothing read") << "faux.txt" << QByteArray("05/03/26;XYZ;1;2;;\n") << 65
                                                   << QStringList{} << QStringList{};
    }
    void comparesWithoutWriting()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, exitCode);
        QFETCH(QStringList, added);
        QFETCH(QStringList, removed);
        QVERIFY(WriteText(files.filePath(name), content));
        const CliRun run = cli({"blacklist-diff", files.filePath(name)});
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(Uids(json.value("added")), added);
        QCOMPARE(Uids(json.value("removed")), removed);
        QCOMPARE(r->sim.listFile().entries(), (QStringList{HeldA, HeldB}));
        QCOMPARE(r->sim.requestCount('F', 'C') + r->sim.requestCount('F', 'A'), 0);
        if (exitCode == 65)
            QCOMPARE(r->sim.requestCount('F', 'G'), 0);
    }

    // The file's row as the reader would get it, reason kept; the text
    // lists each line to add and to remove, after the read's outcome line.
    void namesEachLineOnce()
    {
        QVERIFY(WriteText(files.filePath("l.txt"), "01/01/26;0a0b0c0d;7;3;x;\n"));
        const CliRun json = cli({"blacklist-diff", files.filePath("l.txt")});
        const QJsonArray added = QJsonDocument::fromJson(json.out.toUtf8()).object().value("added").toArray();
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.at(0).toObject(), (QJsonObject{{"date", "01/01/26"}, {"uid", "0A0B0C0D"}, {"user", "7"},
                                                      {"group", "3"}, {"reason", "x"}}));
        const CliRun text = RunCli({"--port", r->link, "blacklist-diff", files.filePath("l.txt")});
        QCOMPARE(text.exitCode, 10);
        QCOMPARE(text.outLines(), (QStringList{"LN Lecture->OK : 2 lignes lues",
                                               "À ajouter : 01/01/26;0A0B0C0D;7;3;x;",
                                               "À retirer : 05/03/26;04A1B2C3;1001;2;;",
                                               "À retirer : 17/11/25;04FFEE01;1002;1;;"}));
    }

    // A CSV replaces the list as a blacklist file does; then nothing differs.
    void csvWrittenThenSame()
    {
        const QString csv = files.filePath("export.csv");
        QVERIFY(WriteText(csv, "Date;Uid;Utilisateur;Groupe;Raison\r\n01/01/26;0A0B0C0D;7;3;x\r\n"));
        QCOMPARE(cli({"blacklist-write", csv}).exitCode, 0);
        QCOMPARE(r->sim.listFile().entries(), QStringList{"Cda=260101;UID=0A0B0C0D;Usr=7;Grp=3"});
        QCOMPARE(cli({"blacklist-diff", csv}).exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(TestCliBlackListDiff)
#include "tst_cli_blacklistdiff.moc"
