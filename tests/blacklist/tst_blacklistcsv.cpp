// The blacklist's CSV export and import, as a spreadsheet writes and reads it.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include "blacklist/blacklistcsv.h"
#include "blacklist/blacklisttext.h"

namespace {
// Rows are written "a|b|c|d|e" in the tables below.
QList<QStringList> Cells(const QStringList &rows)
{
    QList<QStringList> cells;
    for (const QString &row : rows)
        cells << row.split(QLatin1Char('|'));
    return cells;
}

QStringList Joined(const QList<QStringList> &cells)
{
    QStringList rows;
    for (const QStringList &row : cells)
        rows << row.join(QLatin1Char('|'));
    return rows;
}

const QList<QStringList> Kept{{"kept", "", "", "", ""}};
const QByteArray Bom("\xEF\xBB\xBF");
const QByteArray Header("Date;Uid;Utilisateur;Groupe;Raison\r\n");

QByteArray Repeated(const QByteArray &line, int times)
{
    QByteArray bytes;
    for (int i = 0; i < times; ++i)
        bytes += line;
    return bytes;
}
}

class TestBlackListCsv : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath("listenoire.csv"); }

private slots:
    void exportReadsBack_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("empty table") << QStringList{} << Bom + Header;
        QTest::newRow("empty row") << QStringList{"||||"} << Bom + Header + ";;;;\r\n";
        QTest::newRow("quotes, separator and line break in a reason")
            << QStringList{"12/05/16|04A1B2C3|12|3|dit \"perdu\"; a\nvu", "|04A2|||"}
            << Bom + Header + "12/05/16;04A1B2C3;12;3;\"dit \"\"perdu\"\"; a\nvu\"\r\n;04A2;;;\r\n";
        QTest::newRow("CR LF and CR alone kept inside a cell")
            << QStringList{"|||| a\r\nb\rc "} << Bom + Header + ";;;;\" a\r\nb\rc \"\r\n";
        QTest::newRow("accents and blanks as they are")
            << QStringList{" 12/05/16 |04a1|Éloïse|Gröupe|volé à 8 h"}
            << Bom + Header + " 12/05/16 ;04a1;\xc3\x89lo\xc3\xafse;Gr\xc3\xb6upe;vol\xc3\xa9 \xc3\xa0 8 h\r\n";
    }
    void exportReadsBack()
    {
        QFETCH(QStringList, rows);
        QFETCH(QByteArray, file);
        QCOMPARE(BlackListCsvContent(Cells(rows)), file);
        QList<QStringList> back;
        QString reason;
        QVERIFY2(BlackListCsvParse(file, &back, &reason), qPrintable(reason));
        QCOMPARE(Joined(back), rows);
    }

    void import_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("spreadsheet export, comma and byte order mark")
            << Bom + "Date,Uid,Utilisateur,Groupe,Raison\r\n12/05/16,04A1,12,3,\"perdu, puis vol\xc3\xa9\"\r\n"
            << QStringList{"12/05/16|04A1|12|3|perdu, puis volé"};
        QTest::newRow("tab separated, quoted line break")
            << QByteArray("Date\tUid\tUtilisateur\tGroupe\tRaison\n12/05/16\t04A1\t\t3\t\"a\tb\nc\"\n")
            << QStringList{"12/05/16|04A1||3|a\tb\nc"};
        QTest::newRow("shuffled, missing and unknown columns, any case, blanks")
            << QByteArray(" raison ;Commentaire;UID\t;DATE\n\"vol\";x;04A1;12/05/16\n")
            << QStringList{"12/05/16|04A1|||vol"};
        QTest::newRow("separator counted outside quotes only")
            << QByteArray("\"Date;x;y;z\",Uid,Raison\n01/02/03,04A1,\"a;b;c\"\n")
            << QStringList{"|04A1|||a;b;c"};
        QTest::newRow("column named twice: the first")
            << QByteArray("Uid;uid\n04A1;04A2\n") << QStringList{"|04A1|||"};
        QTest::newRow("short and long rows")
            << QByteArray("Date;Uid;Raison\n12/05/16\n;04A1;vol;de trop;encore\n")
            << QStringList{"12/05/16||||", "|04A1|||vol"};
        QTest::newRow("Latin-1") << QByteArray("Utilisateur;Raison\n\xc9lo\xefse;vol\xe9\n")
                                 << QStringList{"||Éloïse||volé"};
        QTest::newRow("CR line ends, blank lines skipped")
            << QByteArray("\r\n \rDate;Uid\r\r12/05/16;04A1\r  \t\r;04A2") << QStringList{"12/05/16|04A1|||", "|04A2|||"};
        QTest::newRow("text after a closing quote")
            << QByteArray("Uid;Raison\n\"04\"A1;a\"b\"\n") << QStringList{"|04A1|||a\"b\""};
        QTest::newRow("header alone") << Bom + Header << QStringList{};
        QStringList bound;
        for (int i = 0; i < BlackList::MaxFileRows; ++i)
            bound << "|04A1|||";
        QTest::newRow("as many rows as a blacklist holds")
            << "Uid\n" + Repeated("04A1\n", BlackList::MaxFileRows) << bound;
    }
    void import()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, rows);
        QList<QStringList> parsed;
        QString reason;
        QVERIFY2(BlackListCsvParse(file, &parsed, &reason), qPrintable(reason));
        QCOMPARE(Joined(parsed), rows);
    }

    void refusalKeepsTheRows_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const QByteArray longField(BlackList::MaxLineBytes + 1, 'z');
        QTest::newRow("NUL byte") << QByteArray("Uid\n04\0A1\n", 10) << "ce n'est pas un fichier texte";
        QTest::newRow("control byte") << QByteArray("Uid\n04\x1b" "A1\n") << "ce n'est pas un fichier texte";
        QTest::newRow("too large") << QByteArray(BlackList::MaxFileBytes + 1, 'a')
                                   << "fichier trop grand (plus de 4 Mo)";
        QTest::newRow("too many rows") << "Uid\n" + Repeated("04A1\n", BlackList::MaxFileRows + 1)
                                       << "plus de 10000 lignes";
        QTest::newRow("line too long") << "Uid;Raison\n04A1;" + longField << "ligne 2 trop longue";
        QTest::newRow("long line inside a quoted field")
            << "Uid;Raison\n04A1;\"a\n" + longField + "\"\n" << "ligne 3 trop longue";
        QTest::newRow("unterminated quote")
            << QByteArray("Uid;Raison\n04A1;ok\n\n04A2;\"perdu\n04A3;vol\n") << "guillemet non fermé ligne 4";
        QTest::newRow("unterminated quote in the header")
            << QByteArray("Uid;\"Raison\n04A1;ok\n") << "guillemet non fermé ligne 1";
        const QString noColumn = "aucune colonne reconnue (Date, Uid, Utilisateur, Groupe, Raison)";
        QTest::newRow("no known column") << QByteArray("Nom;Badge\nDurand;04A1\n") << noColumn;
        QTest::newRow("blank file") << QByteArray("\n \r\n") << noColumn;
    }
    void refusalKeepsTheRows()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QList<QStringList> rows = Kept;
        QString why;
        QVERIFY(!BlackListCsvParse(file, &rows, &why));
        QCOMPARE(why, reason);
        QCOMPARE(rows, Kept);
    }

    void fullFileParsesQuickly()
    {
        const QByteArray row("12/05/16;04A1B2C3;12;3;\"dit \"\"perdu\"\";\nle 12 mai, pr\xc3\xa8s de l'entr\xc3\xa9" "e\"\r\n");
        const QByteArray file = Bom + Header + Repeated(row, BlackList::MaxFileRows);
        QElapsedTimer timer;
        timer.start();
        QList<QStringList> rows;
        QVERIFY(BlackListCsvParse(file, &rows, nullptr));
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(rows.size(), BlackList::MaxFileRows);
    }

    void writeReplacesWholeOrNothing_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("error");  // empty: written
        QTest::newRow("written") << QStringList{"12/05/16|04A1|12|3|vol; \"perdu\""} << QString();
        QTest::newRow("a cell the import would refuse")
            << QStringList{"|04A1|||" + QString(BlackList::MaxLineBytes, 'z')} << "ligne 2 trop longue";
    }
    void writeReplacesWholeOrNothing()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, error);
        const QList<QStringList> previous{{"01/01/20", "0001", "", "", ""}};
        QString why;
        QVERIFY(BlackListCsvWrite(path(), previous, &why));
        QCOMPARE(BlackListCsvWrite(path(), Cells(rows), &why), error.isEmpty());
        QCOMPARE(why, error);
        QList<QStringList> back;
        QVERIFY(BlackListCsvRead(path(), &back, &why));
        QCOMPARE(back, error.isEmpty() ? Cells(rows) : previous);
    }

    void missingFileHasNoReason()
    {
        QList<QStringList> rows = Kept;
        QString reason = "stale";
        QVERIFY(!BlackListCsvRead(dir.filePath("absent.csv"), &rows, &reason));
        QVERIFY(reason.isEmpty());
        QCOMPARE(rows, Kept);
    }
};

QTEST_GUILESS_MAIN(TestBlackListCsv)
#include "tst_blacklistcsv.moc"
