// The page "Historique" through the window: a reader write recorded, the
// operator named, filters and totals, a shift closing with its PDF, and
// the checks at start (an altered row, a damaged file).
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "ledger/ledger.h"
#include "ledger/ledgerclosing.h"
#include "tests/support/windowfixture.h"

namespace {
QString Sqlite(const QString &path, const QString &sql)
{
    QProcess tool;
    tool.start(QStringLiteral("sqlite3"), {path, sql});
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError()).trimmed();
}

// Two credits, a debit and a refused debit, by two operators.
void FillLedger()
{
    Ledger ledger(Ledger::DefaultPath());
    QVERIFY(ledger.open());
    const auto money = [&ledger](const QString &who, const QString &kind, const QString &uid, qint64 cents,
                                 const QString &outcome) {
        ledger.setContext({who, {}, {}, {}});
        LedgerMoneyOperation operation;
        operation.kind = kind;
        operation.uid = uid;
        operation.user = QStringLiteral("41");
        operation.amountCents = cents;
        const qint64 id = ledger.recordPlanned(operation).id;
        QVERIFY(id > 0);
        QVERIFY(ledger.recordOutcome(id, outcome).ok());
    };
    money("Alice", LedgerKind::Credit, "04A1B2C3", 1000, LedgerOutcome::Done);
    money("Alice", LedgerKind::Debit, "04A1B2C3", 250, LedgerOutcome::Done);
    money("Bob", LedgerKind::Credit, "0A0B0C0D", 500, LedgerOutcome::Done);
    money("Bob", LedgerKind::Debit, "0A0B0C0D", 9900, LedgerOutcome::Refused);
}
}

class TestHistoryE2e : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowWithReader> w;

    void openHistory()
    {
        auto *tabs = w->window->findChild<QTabWidget *>("ONG_Main");
        tabs->setCurrentWidget(w->window->findChild<QWidget *>("ONG_Historique"));
    }
    QAbstractItemModel *table() const { return w->field<QTableView>("TABLE_History")->model(); }
    QString totals() const { return w->field<QLabel>("LAB_HistoryTotals")->text(); }
    QString journal() const { return w->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText(); }

private slots:
    // The operator's folder of a home made for the test, emptied before
    // each case: never a real home, even when the test runs by hand.
    void init()
    {
        QVERIFY(QDir::homePath().startsWith(QDir::tempPath() + "/kovrim-history-home-"));
        QDir(QFileInfo(Ledger::DefaultPath()).absolutePath()).removeRecursively();
    }
    void cleanup() { w.reset(); }

    void clockSettingRecordedUnderTheOperator()
    {
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        auto *tree = w->field<QTreeWidget>("TREE_AppsConfig");
        const QList<QTreeWidgetItem *> found = tree->findItems("OPERATEUR", Qt::MatchExactly | Qt::MatchRecursive, 2);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first()->text(0), QString("Opérateur"));
        found.first()->setText(1, "Claire");
        QCOMPARE(w->field<QLabel>("LAB_Operator")->text(), QString("Opérateur : Claire"));
        auto *clock = w->field<QPushButton>("BTN_DateHeureMAJ");
        QTRY_VERIFY(clock->isEnabled());
        MessageBoxCatcher done;
        done.arm();
        clock->click();
        QTRY_COMPARE(done.text, QString("Mise à jour OK"));
        openHistory();
        QTRY_COMPARE(table()->rowCount(), 1);
        QCOMPARE(table()->index(0, 2).data().toString(), QString("maintenance"));
        QCOMPARE(table()->index(0, 3).data().toString(), QString("horloge"));
        QCOMPARE(table()->index(0, 4).data().toString(), QString("fait"));
        QCOMPARE(table()->index(0, 12).data().toString(), QString("Claire"));
        QCOMPARE(table()->index(0, 14).data().toString(), w->sim.slavePath());
    }

    // The write, with its backup and its check, is one row holding what
    // the job reported.
    void blacklistWriteRecorded()
    {
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        w->field<QPushButton>("BTN_BlackListNew")->click();
        w->field<QTableWidget>("TABLE_BlackList")->item(0, 1)->setText("04A1B2C3");
        auto *write = w->field<QPushButton>("BTN_BlackListWriteToSupport");
        QTRY_VERIFY(write->isEnabled());
        write->click();
        Ledger ledger(Ledger::DefaultPath());
        QVERIFY(ledger.open());
        LedgerFilter blacklist;
        blacklist.kind = LedgerKind::BlackList;
        QTRY_COMPARE_WITH_TIMEOUT(ledger.entries(blacklist).size(), 1, 10000);
        const LedgerEntry row = ledger.entries(blacklist).first();
        QCOMPARE(row.outcome, LedgerOutcome::Done);
        QVERIFY2(row.detail.contains("->OK"), qPrintable(row.detail));
        QCOMPARE(w->sim.listFile().entries().size(), 1);
    }

    // A debit left unknown by an earlier run is listed again at start,
    // and reading its badge would settle it.
    void unsettledDebitListedAtStart()
    {
        {
            Ledger ledger(Ledger::DefaultPath());
            QVERIFY(ledger.open());
            LedgerMoneyOperation debit;
            debit.kind = LedgerKind::Debit;
            debit.uid = "04A1B2C3";
            debit.user = "41";
            debit.amountCents = 150;
            debit.balanceBeforeCents = 1500;
            QVERIFY(ledger.recordPlanned(debit).ok());
        }
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        auto *pending = w->field<QListWidget>("LST_BadgePending");
        QCOMPARE(pending->count(), 1);
        QVERIFY2(pending->item(0)->text().startsWith("04A1B2C3"), qPrintable(pending->item(0)->text()));
        QVERIFY(pending->item(0)->text().contains("1.50"));
        QVERIFY(journal().contains("Opérations à régler d'une session précédente : 1"));
    }

    void filtersAndTotals_data()
    {
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("operatorName");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("shown");
        QTest::newRow("tout") << "" << "" << "" << 8
                              << "Crédits : 15.00   Débits : 2.50   Net : 12.50   Opérations : 4   Inconnus : 0";
        QTest::newRow("un badge") << "a1b2" << "" << "" << 4
                                  << "Crédits : 10.00   Débits : 2.50   Net : 7.50   Opérations : 2   Inconnus : 0";
        QTest::newRow("débits de Bob") << "" << "débit" << "Bob" << 2
                                        << "Crédits : 0.00   Débits : 0.00   Net : 0.00   Opérations : 1   Inconnus : 0";
    }

    void filtersAndTotals()
    {
        QFETCH(QString, badge);
        QFETCH(QString, kind);
        QFETCH(QString, operatorName);
        QFETCH(int, rows);
        QFETCH(QString, shown);
        FillLedger();
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        openHistory();
        QTRY_COMPARE(table()->rowCount(), 8);
        auto *kinds = w->field<QComboBox>("COMB_HistoryKind");
        auto *operators = w->field<QComboBox>("COMB_HistoryOperator");
        kinds->setCurrentIndex(qMax(0, kinds->findData(kind)));
        operators->setCurrentIndex(qMax(0, operators->findData(operatorName)));
        w->field("SAI_HistoryBadge")->setText(badge);
        QTRY_COMPARE(table()->rowCount(), rows);
        QCOMPARE(totals(), shown);
    }

    void closingWritesItsRowAndPdf()
    {
        FillLedger();
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        openHistory();
        QTimer::singleShot(0, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->button(QMessageBox::No)->click();
        });
        w->field<QPushButton>("BTN_HistoryClosing")->click();
        QCOMPARE(w->field<QComboBox>("COMB_HistoryClosings")->count(), 0);

        QString question;
        QTimer::singleShot(0, [&question] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            question = box->text();
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
            box->button(QMessageBox::Yes)->click();
        });
        w->field<QPushButton>("BTN_HistoryClosing")->click();
        QVERIFY2(question.contains("Net : 12.50"), qPrintable(question));
        QVERIFY(question.contains("ne peut pas être annulée"));
        QCOMPARE(w->field<QComboBox>("COMB_HistoryClosings")->count(), 1);
        QTRY_COMPARE(table()->rowCount(), 9);
        QCOMPARE(table()->index(0, 3).data().toString(), QString("clôture"));

        const QStringList pdfs = QDir(LedgerClosingFolder()).entryList({"*.pdf"});
        QCOMPARE(pdfs.size(), 1);
        QVERIFY(journal().contains("Clôture de caisse : 4 opération(s), crédits 15.00, débits 2.50, net 12.50"));
        QProcess text;
        text.start("pdftotext", {QDir(LedgerClosingFolder()).filePath(pdfs.first()), "-"});
        QVERIFY(text.waitForFinished(10000));
        const QString content = QString::fromUtf8(text.readAllStandardOutput());
        for (const char *expected : {"Clôture de caisse", "Crédits : 15.00", "Débits : 2.50", "Net : 12.50",
                                     "Alice", "Bob", "04A1B2C3"})
            QVERIFY2(content.contains(QString::fromUtf8(expected)), expected);
        Ledger ledger(Ledger::DefaultPath());
        QVERIFY(ledger.open());
        // Whole, as the operator compares it, though the line may break,
        // and with no ligature ("ff" as one sign).
        QVERIFY(!content.contains(QRegularExpression("[\\x{FB00}-\\x{FB06}]")));
        QVERIFY2(QString(content).remove(QRegularExpression("\\s")).contains(QString::fromLatin1(ledger.closings().first().hash)),
                 qPrintable(content));
        QVERIFY(ledger.verify().ok);
    }

    void alteredRowNamedAtStart()
    {
        FillLedger();
        Sqlite(Ledger::DefaultPath(), "DROP TRIGGER entries_no_update; UPDATE entries SET amount = 1 WHERE seq = 3");
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        QTRY_VERIFY(journal().contains("Historique altéré à la ligne 3 : contenu modifié après son écriture"));
    }

    void damagedFileSetAsideAtStart()
    {
        QVERIFY(QDir().mkpath(QFileInfo(Ledger::DefaultPath()).absolutePath()));
        QFile file(Ledger::DefaultPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("pas une base");
        file.close();
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        QVERIFY2(journal().contains("Historique endommagé : mis de côté sous " + Ledger::DefaultPath() + ".endommage-"),
                 qPrintable(journal()));
        QVERIFY(w->field<QLabel>("LAB_HistoryTotals")->text().startsWith("Crédits : 0.00"));
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir home(QDir::tempPath() + "/kovrim-history-home-XXXXXX");
    if (!home.isValid())
        return 1;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    QApplication app(argc, argv);
    TestHistoryE2e test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history_e2e.moc"
