// The blacklist's text forms, its file and its row helpers, on a plain
// table without the window.
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValidator>
#include <QtTest>

#include "blacklist/blacklistdelegate.h"
#include "blacklist/blacklisttext.h"
#include "blacklist/tablefile.h"

namespace {
// Rows are written "a|b|c|d|e" in the tables below.
QStringList Rows(QTableWidget &table)
{
    QStringList rows;
    for (int row = 0; row < table.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table.columnCount(); ++column)
            cells << TableCellText(&table, row, column);
        rows << cells.join('|');
    }
    return rows;
}

void Fill(QTableWidget &table, const QStringList &rows)
{
    for (const QString &row : rows) {
        TableRowAppend(&table);
        const QStringList cells = row.split('|');
        for (int column = 0; column < cells.size(); ++column)
            table.item(table.rowCount() - 1, column)->setText(cells.at(column));
    }
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
}

class TestBlackListTable : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTableWidget> table;
    QTemporaryDir dir;
    QString path() const { return dir.filePath("listenoire.txt"); }

private slots:
    void init()
    {
        table = std::make_unique<QTableWidget>(0, BlackList::ColumnCount);
        QFile::remove(path());
    }

    void rowToEntry_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("entry");
        QTest::newRow("full row, reason not sent")
            << "12/05/16|04A1B2C3|12|3|perdu" << "Cda=160512;UID=04A1B2C3;Usr=12;Grp=3";
        QTest::newRow("valid date") << "31/12/99||||" << "Cda=991231;UID=;Usr=;Grp=";
        QTest::newRow("empty date") << "|04A1|||" << "Cda=;UID=04A1;Usr=;Grp=";
        QTest::newRow("wordy date") << "hier||||" << "Cda=;UID=;Usr=;Grp=";
        QTest::newRow("leap day 2000") << "29/02/00||||" << "Cda=000229;UID=;Usr=;Grp=";
        QTest::newRow("no such day") << "30/02/24||||" << "Cda=;UID=;Usr=;Grp=";
        QTest::newRow("separators dropped") << "|04A1;Usr=0|1=2|3;|" << "Cda=;UID=04A1Usr0;Usr=12;Grp=3";
    }
    void rowToEntry()
    {
        QFETCH(QString, row);
        QFETCH(QString, entry);
        Fill(*table, {row});
        QString out = "old";
        QCOMPARE(BlackListRowToEntry(table.get(), 0, &out), 1);
        QCOMPARE(out, entry);
        QCOMPARE(BlackListRowToEntry(table.get(), 1, &out), 0);
    }

    void entryToCells_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("cells");
        QTest::newRow("full") << "Cda=160512;UID=04A1B2C3;Usr=12;Grp=3" << true << "12/05/16|04A1B2C3|12|3|";
        QTest::newRow("groups and users only") << "Grp=7;Usr=41" << true << "||41|7|";
        QTest::newRow("unknown keys ignored") << "Cda=;Xyz=1;UID=04" << true << "|04|||";
        QTest::newRow("odd date kept") << "Cda=16" << true << "16||||";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("no pairs") << "garbage" << false << "";
    }
    void entryToCells()
    {
        QFETCH(QString, entry);
        QFETCH(bool, ok);
        QFETCH(QString, cells);
        QStringList out;
        QCOMPARE(BlackListEntryToCells(entry, &out), ok);
        QCOMPARE(out.join('|'), cells);
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("rows");
        const QString reason300(300, 'r');
        QTest::newRow("date only") << QByteArray("12/05/16;;;;;\n") << QStringList{"12/05/16||||"};
        // The UID column comes back normalised: upper case, no separators.
        QTest::newRow("too many cells") << QByteArray("a;b;c;d;e;f;g;\n") << QStringList{"a|B|c|d|e"};
        QTest::newRow("last line without end")
            << QByteArray("a;;;;x;\nb;;;;y;") << QStringList{"a||||x", "b||||y"};
        QTest::newRow("300-byte reason")
            << ("a;b;c;d;" + reason300.toLatin1() + ";\n") << QStringList{"a|B|c|d|" + reason300};
        QTest::newRow("utf-8") << QByteArray(";;;;vol\xc3\xa9;\n") << QStringList{QString::fromUtf8("||||volé")};
        QTest::newRow("old latin-1 file")
            << QByteArray(";;;;vol\xe9;\n") << QStringList{QString::fromUtf8("||||volé")};
        QTest::newRow("crlf") << QByteArray("a;;;;x;\r\n") << QStringList{"a||||x"};
        QTest::newRow("CR alone") << QByteArray("a;;;;x;\rb;;;;y;\r") << QStringList{"a||||x", "b||||y"};
        QTest::newRow("line at the bound")
            << QByteArray(BlackList::MaxLineBytes - 4, 'z') + ";;;;"
            << QStringList{QString(BlackList::MaxLineBytes - 4, 'z') + "||||"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }
    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, rows);
        Fill(*table, {"old||||"});
        Write(path(), file);
        TTableFile tableFile;
        QVERIFY(tableFile.TableLoad(table.get(), path()));
        QCOMPARE(Rows(*table), rows);
    }

    void failedLoadKeepsTheTable_data()
    {
        QTest::addColumn<QByteArray>("file");  // empty: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("line over the bound")
            << "a;;;;;\n" + QByteArray(BlackList::MaxLineBytes + 1, 'z') + "\n";
        QTest::newRow("too many lines") << QByteArray(BlackList::MaxFileRows + 1, '\n');
        QTest::newRow("binary") << QByteArray("a;;;;;\n\x7f" "ELF\x01\n");
        QTest::newRow("NUL byte") << QByteArray("a;;;;;\nb\0;;;;;\n", 15);
        QTest::newRow("too large") << QByteArray(BlackList::MaxFileBytes + 1, 'a');
    }
    void failedLoadKeepsTheTable()
    {
        QFETCH(QByteArray, file);
        if (!file.isEmpty())
            Write(path(), file);
        Fill(*table, {"12/05/16|04A1|||perdu", "|||3|"});
        TTableFile tableFile;
        QVERIFY(!tableFile.TableLoad(table.get(), path()));
        QCOMPARE(Rows(*table), (QStringList{"12/05/16|04A1|||perdu", "|||3|"}));
        QCOMPARE(tableFile.LoadError.isEmpty(), file.isEmpty());  // read but refused: why
    }

    void save_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("loaded");
        QTest::newRow("empty table") << QStringList{} << QByteArray() << QStringList{};
        QTest::newRow("date only") << QStringList{"12/05/16||||"} << QByteArray("12/05/16;;;;;\n")
                                   << QStringList{"12/05/16||||"};
        QTest::newRow("utf-8")
            << QStringList{"12/05/16|04A1B2C3|12|3|volé", "|||7|"}
            << QByteArray("12/05/16;04A1B2C3;12;3;vol\xc3\xa9;\n;;;7;;\n")
            << QStringList{"12/05/16|04A1B2C3|12|3|volé", "|||7|"};
        QTest::newRow("separators dropped")
            << QStringList{"|04A1;Usr=0||a\nb|x;y=z"} << QByteArray(";04A1Usr0;;ab;xy=z;\n")
            << QStringList{"|04A1USR0||ab|xy=z"};
    }
    void save()
    {
        QFETCH(QStringList, rows);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, loaded);
        Write(path(), "previous content\n");
        Fill(*table, rows);
        TTableFile tableFile;
        QVERIFY(tableFile.TableSave(table.get(), path()));
        QCOMPARE(ReadAll(path()), file);
        QTableWidget back(0, BlackList::ColumnCount);
        QVERIFY(tableFile.TableLoad(&back, path()));
        QCOMPARE(Rows(back), loaded);
    }

    void editorsRefuseSeparators_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("uid") << 1 << "04A1B2C3" << true;
        QTest::newRow("semicolon in uid") << 1 << "04A1;Usr=0" << false;
        QTest::newRow("equals in group") << 3 << "1=2" << false;
        QTest::newRow("semicolon in date") << 0 << "12;05" << false;
        QTest::newRow("equals in reason") << 4 << "perdu = vol" << true;
        QTest::newRow("semicolon in reason") << 4 << "perdu; volé" << false;
    }
    void editorsRefuseSeparators()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        Fill(*table, {"||||"});
        BlackListItemDelegate delegate;
        QWidget parent;
        std::unique_ptr<QWidget> editor(
            delegate.createEditor(&parent, QStyleOptionViewItem(), table->model()->index(0, column)));
        auto *line = qobject_cast<QLineEdit *>(editor.get());
        QVERIFY(line && line->validator());
        int pos = 0;
        QCOMPARE(line->validator()->validate(text, pos) == QValidator::Acceptable, accepted);
    }
};

QTEST_MAIN(TestBlackListTable)
#include "tst_blacklisttable.moc"
