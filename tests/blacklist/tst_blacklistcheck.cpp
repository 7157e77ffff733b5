#include <QtTest>

#include "blacklist/blacklistcheck.h"
#include "blacklist/blacklisttext.h"

using namespace BlackList;

namespace {
// A row of the table from "date;uid;user;group;reason".
QStringList Row(const QString &line)
{
    return BlackListRowNormalise(line.split(';'));
}

QList<QStringList> Rows(const QStringList &lines)
{
    QList<QStringList> rows;
    for (const QString &line : lines)
        rows << Row(line);
    return rows;
}

QList<int> FaultColumns(const QStringList &cells)
{
    QList<int> columns;
    for (const BlackListCellFault &fault : BlackListRowFaults(cells))
        columns << fault.column;
    return columns;
}
}

class TestBlackListCheck : public QObject
{
    Q_OBJECT
private slots:
    void uid_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("normal");
        QTest::addColumn<QString>("fault");  // part of the tooltip, empty when valid
        QTest::newRow("4 bytes, lower case, trailing blank") << "04a1b2c3 " << "04A1B2C3" << "";
        QTest::newRow("colons") << "04:a1:b2:c3" << "04A1B2C3" << "";
        QTest::newRow("7 bytes, dashes") << "04-A1-B2-C3-D4-E5-F6" << "04A1B2C3D4E5F6" << "";
        QTest::newRow("10 bytes, blanks") << "01 02 03 04 05 06 07 08 09 0a" << "0102030405060708090A" << "";
        QTest::newRow("3 bytes") << "04A1B2" << "04A1B2" << "de 8 à 20";
        QTest::newRow("11 bytes") << "0102030405060708090A0B" << "0102030405060708090A0B" << "de 8 à 20";
        QTest::newRow("odd digit count") << "04A1B2C3D" << "04A1B2C3D" << "impair";
        QTest::newRow("not hexadecimal") << "04A1B2G3" << "04A1B2G3" << "hexadécimaux seulement";
        QTest::newRow("separator that is no byte separator") << "04.A1.B2.C3" << "04.A1.B2.C3"
                                                             << "hexadécimaux seulement";
    }
    void uid()
    {
        QFETCH(QString, typed);
        QFETCH(QString, normal);
        QFETCH(QString, fault);
        const QStringList cells = Row(";" + typed + ";;;");
        QCOMPARE(cells.at(ColumnUid), normal);
        const QList<BlackListCellFault> faults = BlackListRowFaults(cells);
        if (fault.isEmpty()) {
            QVERIFY(faults.isEmpty());
        } else {
            QCOMPARE(faults.size(), 1);
            QCOMPARE(faults.first().column, ColumnUid);
            QVERIFY2(faults.first().reason.contains(fault), qPrintable(faults.first().reason));
        }
    }

    void rowFaults_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QList<int>>("faulty");
        QTest::addColumn<bool>("empty");
        QTest::newRow("user only") << "12/05/16;;12;;perdu" << QList<int>{} << false;
        QTest::newRow("blanks around numbers") << ";; 12 ; 3 ;" << QList<int>{} << false;
        QTest::newRow("letters in the user") << ";;12a;;" << QList<int>{ColumnUser} << false;
        QTest::newRow("letters in the group") << ";04A1B2C3;;G3;" << QList<int>{ColumnGroup} << false;
        QTest::newRow("negative group") << ";;;-3;" << QList<int>{ColumnGroup} << false;
        QTest::newRow("a reason naming nobody") << "12/05/16;;;;volé" << QList<int>{ColumnUid} << false;
        QTest::newRow("a date alone") << "12/05/16;;;;" << QList<int>{} << true;
        QTest::newRow("blank cells") << "; ; ; ; " << QList<int>{} << true;
        QTest::newRow("two faults") << ";04A1;x;;" << QList<int>{ColumnUid, ColumnUser} << false;
    }
    void rowFaults()
    {
        QFETCH(QString, line);
        QFETCH(QList<int>, faulty);
        QFETCH(bool, empty);
        QCOMPARE(FaultColumns(Row(line)), faulty);
        QCOMPARE(BlackListRowIsEmpty(Row(line)), empty);
    }

    // The file's form dd/MM/yy; the others an operator types, loads or
    // imports are read and normalised; anything else stops the write.
    void dates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("cell");   // as the row keeps it
        QTest::addColumn<QString>("entry");  // Cda= sent; unused when faulty
        QTest::addColumn<QString>("fault");  // part of the tooltip, empty when valid
        QTest::newRow("file form") << "05/03/26" << "05/03/26" << "260305" << "";
        QTest::newRow("four-digit year") << "05/03/2026" << "05/03/26" << "260305" << "";
        QTest::newRow("one digit day and month") << "5/3/26" << "05/03/26" << "260305" << "";
        QTest::newRow("year first") << "2026-03-05" << "05/03/26" << "260305" << "";
        QTest::newRow("blanks around") << " 05/03/26 " << "05/03/26" << "260305" << "";
        QTest::newRow("29 February of a leap year") << "29/02/2024" << "29/02/24" << "240229" << "";
        QTest::newRow("empty: no date") << "" << "" << "" << "";
        QTest::newRow("no such day") << "31/02/26" << "31/02/26" << "" << "n'existe pas";
        QTest::newRow("no such day, year first") << "2026-02-30" << "2026-02-30" << "" << "n'existe pas";
        QTest::newRow("29 February 2100") << "29/02/2100" << "29/02/2100" << "" << "n'existe pas";
        QTest::newRow("month 13") << "01/13/26" << "01/13/26" << "" << "n'existe pas";
        QTest::newRow("a word") << "hier" << "hier" << "" << "jj/mm/aa";
        QTest::newRow("dots") << "05.03.26" << "05.03.26" << "" << "jj/mm/aa";
        QTest::newRow("three-digit year") << "05/03/026" << "05/03/026" << "" << "jj/mm/aa";
    }
    void dates()
    {
        QFETCH(QString, typed);
        QFETCH(QString, cell);
        QFETCH(QString, entry);
        QFETCH(QString, fault);
        const QStringList cells = Row(typed + ";04A1B2C3;;;");
        QCOMPARE(cells.at(ColumnDate), cell);
        const QList<BlackListCellFault> faults = BlackListRowFaults(cells);
        if (fault.isEmpty()) {
            QVERIFY(faults.isEmpty());
            QVERIFY(BlackListCellsToEntry(cells).startsWith("Cda=" + entry + ";UID="));
        } else {
            QCOMPARE(faults.size(), 1);
            QCOMPARE(faults.first().column, ColumnDate);
            QVERIFY2(faults.first().reason.contains(fault), qPrintable(faults.first().reason));
        }
        // A faulty date alone is no empty row: it is shown, and stops the write.
        QCOMPARE(BlackListRowIsEmpty(Row(typed + ";;;;")), fault.isEmpty());
    }

    // A line that does not split into its cells is named, never taken for
    // an empty row; blank lines are empty rows.
    void fileLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("refusal");  // part of it; empty: read
        QTest::newRow("the file's form") << QByteArray("12/05/16;04A1B2C3;12;3;perdu;\n") << "";
        QTest::newRow("no reason, no last ;") << QByteArray("12/05/16;04A1B2C3;12;3\n") << "";
        QTest::newRow("blank lines") << QByteArray("\n  \n;;;;;\n") << "";
        QTest::newRow("commas") << QByteArray(";04A1B2C3;;;;\n12/05/16,04A1B2C3,12,3,perdu\n")
                                << "ligne 2 : séparateur « , » au lieu de « ; »";
        QTest::newRow("tabs") << QByteArray("12/05/16\t04A1B2C3\n") << "ligne 1 : séparateur tabulation";
        QTest::newRow("two fields") << QByteArray("12/05/16;04A1B2C3\n") << "ligne 1 : 2 champs au lieu de 5";
        QTest::newRow("one word") << QByteArray("perdu\n") << "ligne 1 : 1 champ au lieu de 5";
        QTest::newRow("many such lines, the first five named")
            << QByteArray("a,b\n").repeated(52) << "ligne 5 : séparateur « , » au lieu de « ; » "
                                                   "(date;UID;utilisateur;groupe;raison) (et 47 autres)";
    }
    void fileLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, refusal);
        QList<QStringList> rows{{"kept"}};
        QString reason;
        QCOMPARE(BlackListFileParse(content, &rows, &reason), refusal.isEmpty());
        if (refusal.isEmpty())
            return;
        QVERIFY2(reason.contains(refusal), qPrintable(reason));
        QCOMPARE(rows, QList<QStringList>{{"kept"}});
    }

    void duplicates_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QVector<int>>("duplicateOf");
        QTest::newRow("same UID written two ways")
            << QStringList{";04a1b2c3;1;;", ";04:A1:B2:C3;2;;perdu"} << QVector<int>{-1, 0};
        QTest::newRow("same user, no UID") << QStringList{";;12;3;", ";;12;4;", ";;13;3;"}
                                           << QVector<int>{-1, 0, -1};
        QTest::newRow("same group, no UID nor user") << QStringList{";;;3;", ";;;3;a"} << QVector<int>{-1, 0};
        QTest::newRow("a UID row and a user row") << QStringList{";04A1B2C3;12;;", ";;12;;"}
                                                  << QVector<int>{-1, -1};
        QTest::newRow("empty rows") << QStringList{"12/05/16;;;;", "12/05/16;;;;"} << QVector<int>{-1, -1};
        QTest::newRow("third copy points at the first")
            << QStringList{";;;7;", ";;8;;", ";;;7;"} << QVector<int>{-1, -1, 0};
    }
    void duplicates()
    {
        QFETCH(QStringList, lines);
        QFETCH(QVector<int>, duplicateOf);
        QCOMPARE(BlackListDuplicateOf(Rows(lines)), duplicateOf);
    }

    void transferEntries_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("invalidRow");
        QTest::newRow("each entry once, empty rows left out")
            << QStringList{"12/05/16;04a1b2c3;;;", "13/05/16;;;;", "14/05/16;04A1B2C3;;;bis", ";;5;;"}
            << QStringList{"Cda=160512;UID=04A1B2C3;Usr=;Grp=", "Cda=;UID=;Usr=5;Grp="} << -1;
        QTest::newRow("the first invalid row stops it")
            << QStringList{";04A1B2C3;;;", ";;;;reason only", ";;x;;"} << QStringList{} << 1;
        QTest::newRow("nothing but empty rows") << QStringList{";;;;", "01/01/20;;;;"} << QStringList{} << -1;
    }
    // Entries keep their rows and who they name; what is left out is counted.
    void transferPlan()
    {
        const BlackListTransfer plan = BlackListTransferPlan(
            Rows({";04A1B2C3;;;", ";;;;", ";04a1b2c3;;;bis", ";;12;;", ";;;3;", "01/01/20;;;;"}));
        QCOMPARE(plan.rows, (QVector<int>{0, 3, 4}));
        QCOMPARE(plan.labels, (QStringList{"04A1B2C3", "utilisateur 12", "groupe 3"}));
        QCOMPARE(plan.skipped, 3);
        QVERIFY(plan.invalid.isEmpty());
        const BlackListTransfer faulty = BlackListTransferPlan(Rows({";;x;;", ";04A1;;;", "31/02/26;;1;;"}));
        QCOMPARE(faulty.invalid, (QVector<int>{0, 1, 2}));
        QVERIFY(faulty.entries.isEmpty());
    }

    void transferEntries()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, entries);
        QFETCH(int, invalidRow);
        QStringList sent{"stale"};
        int invalid = -2;
        QCOMPARE(BlackListTransferEntries(Rows(lines), &sent, &invalid), invalidRow < 0);
        QCOMPARE(sent, entries);
        QCOMPARE(invalid, invalidRow);
    }

    void sortOrder_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("cells");  // already in order
        QTest::newRow("dates as dates, no date last")
            << int(ColumnDate) << QStringList{"15/12/16", "01/02/17", "28/02/17", "", "hier"};
        QTest::newRow("users as numbers") << int(ColumnUser) << QStringList{"9", "012", "12", "100"};
        QTest::newRow("reasons without case") << int(ColumnReason) << QStringList{"clé", "Perdu", "volé"};
    }
    void sortOrder()
    {
        QFETCH(int, column);
        QFETCH(QStringList, cells);
        for (int i = 0; i + 1 < cells.size(); ++i) {
            QStringList a(QVector<QString>(ColumnCount).toList()), b = a;
            a[column] = cells.at(i);
            b[column] = cells.at(i + 1);
            QVERIFY2(!BlackListRowLess(b, a, column), qPrintable(cells.at(i + 1) + " < " + cells.at(i)));
            if (column != ColumnUser)
                QVERIFY(BlackListRowLess(a, b, column));
        }
    }
};

QTEST_GUILESS_MAIN(TestBlackListCheck)
#include "tst_blacklistcheck.moc"
