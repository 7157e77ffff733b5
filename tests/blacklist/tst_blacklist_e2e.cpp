// The blacklist page end to end: the window clicked like an operator does,
// the simulated reader's list file on the other side of a pseudo-terminal.
#include <QDate>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QtTest>

#include "link/commands.h"
#include "tests/support/windowfixture.h"

namespace {
// Answers every question box with one button (a box without it with its
// only button) and keeps their texts; a file dialog gets `file`.
class QuestionAnswerer : public QObject
{
public:
    explicit QuestionAnswerer(QMessageBox::StandardButton button, const QString &file = QString())
        : file(file), m_button(button)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                // selectFile() leaves the name alone once its field has the
                // focus: the field is filled as the operator would.
                if (auto *name = dialog->findChild<QLineEdit *>("fileNameEdit"))
                    name->setText(this->file);
                else
                    dialog->selectFile(this->file);
                QMetaObject::invokeMethod(dialog, "accept");
            }
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return;
            texts << box->text();
            (box->button(m_button) ? box->button(m_button) : box->buttons().first())->click();
        });
        m_timer.start(20);
    }
    QStringList texts;
    QString file;

private:
    QMessageBox::StandardButton m_button;
    QTimer m_timer;
};

const QStringList ThreeRows{"12/05/16|04A1B2C3|12|3|perdu", "31/12/99|||7|groupe parti",
                            "|04D9F0A1|41||volé"};
const QStringList ThreeEntries{"Cda=160512;UID=04A1B2C3;Usr=12;Grp=3", "Cda=991231;UID=;Usr=;Grp=7",
                               "Cda=;UID=04D9F0A1;Usr=41;Grp="};
}

class TestBlackListEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowWithReader> w;
    std::unique_ptr<TextHistory> status;
    std::unique_ptr<TextHistory> protocol;
    std::unique_ptr<QTemporaryDir> dir;
    QStringList requests;  // polls left out
    QStringList progress;

    QPushButton *button(const char *name) { return w->field<QPushButton>(name); }
    QTableWidget *table() { return w->field<QTableWidget>("TABLE_BlackList"); }
    bool slotFree() const { return w->window->Protocole.Cmd.IsFree.load(); }

    void addRow(const QString &row)
    {
        button("BTN_BlackListNew")->click();
        const QStringList cells = row.split('|');
        for (int column = 0; column < cells.size(); ++column)
            table()->item(table()->rowCount() - 1, column)->setText(cells.at(column));
    }
    QStringList rows() { return TableRowTexts(table()); }
    // A command of our own once the slot is free: the reader has seen all
    // that the clicks sent when this one arrives.
    void flushRequests()
    {
        QTRY_VERIFY_WITH_TIMEOUT(slotFree(), 5000);
        w->window->Protocole.CmdRequest('V', 'G', "9.9", ARG_NONE, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(requests.contains("VG9.9"), 5000);
        requests.removeAll("VG9.9");
        bool ok = false;
        char answer = 0;
        QTRY_VERIFY_WITH_TIMEOUT(w->window->Protocole.CmdAnswer(ok, answer) == 1, 5000);
    }
    static QStringList adds(const QStringList &entries)
    {
        QStringList sent{"FCFil=5"};
        for (const QString &entry : entries)
            sent << "FAFil=5;" + entry;
        return sent;
    }
    // What a write asks before its clear: the reader's identity, its list
    // of `held` entries (the end asked twice), the identity again.
    static QStringList backupReads(int held)
    {
        const QStringList identity{"VG3.0.0", "VG3.0.2"};
        return identity + listReads(held) + identity;
    }
    // A list of `count` entries read whole, its end asked twice.
    static QStringList listReads(int count)
    {
        QStringList reads;
        for (int position = 0; position <= count; ++position)
            reads << QString("FGFil=5;Pos=%1").arg(position);
        return reads << QString("FGFil=5;Pos=%1").arg(count);
    }
    QString journalText() { return w->field<QPlainTextEdit>("TXTEDIT_Journal")->toPlainText(); }

private slots:
    void init()
    {
        w = std::make_unique<WindowWithReader>();
        QVERIFY(w->start());
        QTRY_VERIFY_WITH_TIMEOUT(w->window->Protocole.ComIsOpen.load(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_BlackListWriteToSupport")->isEnabled(), 5000);
        dir = std::make_unique<QTemporaryDir>();
        w->window->ConfigStartFolder = dir->path();
        status = std::make_unique<TextHistory>(w->field("SAI_BlackListStatus"));
        protocol = std::make_unique<TextHistory>(w->field("SAI_ProtocoleStatus"));
        requests.clear();
        progress.clear();
        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &payload) {
            if (c1 != 'B' || c2 != 'S')
                requests << QString(c1) + c2 + QString::fromUtf8(payload);
        });
        connect(&w->window->Chain, &CommandChain::progress, this,
                [this](const QString &name, int done, int total) {
                    progress << QString("%1 %2 / %3").arg(name).arg(done).arg(total);
                });
    }
    void cleanup()
    {
        status.reset();
        protocol.reset();
        w.reset();
        dir.reset();
    }

    void tableAndFileButtons()
    {
        QLineEdit *line = w->field("SAI_BlackListStatus");
        button("BTN_BlackListNew")->click();
        QCOMPARE(line->text(), QString("Ligne insérée, saisir le numéro de goupe ou d'utilisateur"));
        QCOMPARE(rows(), QStringList{QDate::currentDate().toString("dd/MM/yy") + "||||"});
        table()->item(0, 4)->setText("volé");
        addRow("|||7|");
        button("BTN_BlackListWriteToFile")->click();
        QVERIFY(status->contains("Enregistrement liste noire..."));
        QCOMPARE(line->text(), QString("Enregistrement liste noire->OK"));
        const QStringList saved = rows();

        table()->clearSelection();
        button("BTN_BlackListDelete")->click();
        QCOMPARE(line->text(), QString("sélectionnez une ligne auparavant"));
        table()->setCurrentCell(0, 2);
        button("BTN_BlackListDelete")->click();
        QCOMPARE(line->text(), QString("Ligne supprimée"));
        QCOMPARE(rows(), saved.mid(1));
        button("BTN_BlackListReadFromFile")->click();
        QVERIFY(status->contains("Chargement liste noire..."));
        QCOMPARE(line->text(), QString("Chargement liste noire->OK"));
        QCOMPARE(rows(), saved);

        // The file gone, the rows shown stay; a save that cannot be made says so.
        QVERIFY(QFile::remove(dir->filePath("listenoire.txt")));
        button("BTN_BlackListReadFromFile")->click();
        QCOMPARE(line->text(), QString("Chargement liste noire->ECHEC"));
        QCOMPARE(rows(), saved);
        w->window->ConfigStartFolder = dir->filePath("absent");
        button("BTN_BlackListWriteToFile")->click();
        QCOMPARE(line->text(), QString("Enregistrement liste noire->ECHEC"));
    }

    void writeThenReadBack_data()
    {
        QTest::addColumn<bool>("polling");
        QTest::newRow("reader idle") << false;
        QTest::newRow("polling holds the slot") << true;
    }
    void writeThenReadBack()
    {
        QFETCH(bool, polling);
        for (const QString &row : ThreeRows)
            addRow(row);
        if (polling)
            button("BTN_BadgeRead")->click();

        button("BTN_BlackListWriteToSupport")->click();
        QVERIFY(!button("BTN_BlackListWriteToSupport")->isEnabled());
        QVERIFY(!button("BTN_BlackListReadFromSupport")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(status->contains("LN Vérification->OK"), 10000);
        for (const char *text : {"LN Put", "LN effacement->OK", "LN Add->OK", "LN Add->FIN"})
            QVERIFY2(status->contains(text), text);
        QCOMPARE(w->operatorAgrees.questions, 1);
        QCOMPARE(requests, backupReads(0) + adds(ThreeEntries) + listReads(3));
        QCOMPARE(w->sim.listFile().entries(), ThreeEntries);
        QCOMPARE(progress, (QStringList{"LN Sauvegarde 0 / 10000", "LN Ecriture 0 / 3", "LN Ecriture 1 / 3",
                                        "LN Ecriture 2 / 3", "LN Ecriture 3 / 3", "LN Vérification 0 / 3",
                                        "LN Vérification 1 / 3", "LN Vérification 2 / 3",
                                        "LN Vérification 3 / 3"}));
        QVERIFY(journalText().contains("LN Ecriture->OK : 3 lignes écrites et relues"));
        QTRY_VERIFY(button("BTN_BlackListReadFromSupport")->isEnabled());

        QuestionAnswerer yes(QMessageBox::Yes);
        requests.clear();
        button("BTN_BlackListReadFromSupport")->click();
        QTRY_VERIFY_WITH_TIMEOUT(status->contains("LN Lecture->OK"), 10000);
        QVERIFY(status->contains("LN Lecture ..."));
        QCOMPARE(yes.texts, QStringList{"Remplacer les 3 lignes de la table par les 3 entrées lues ?"});
        QCOMPARE(requests, listReads(3));
        QStringList expected;
        for (const QString &row : ThreeRows)
            expected << row.section('|', 0, 3) + "|";
        QCOMPARE(rows(), expected);
        if (polling)
            button("BTN_BadgeRead")->click();
    }

    void readBackReplacesOnlyACompleteList_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<bool>("mute");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("result");
        const QStringList old{"01/01/20|OLD|||garder"};
        const QStringList read{"12/05/16|04A1|||", "||41|3|"};
        QTest::newRow("empty table") << QStringList{} << false << int(QMessageBox::No) << read << "LN Lecture->OK";
        QTest::newRow("confirmed") << old << false << int(QMessageBox::Yes) << read << "LN Lecture->OK";
        QTest::newRow("declined") << old << false << int(QMessageBox::No) << old << "LN Lecture->annulée";
        QTest::newRow("time-out") << old << true << int(QMessageBox::Yes) << old << "LN Lecture->ECHEC";
    }
    void readBackReplacesOnlyACompleteList()
    {
        QFETCH(QStringList, before);
        QFETCH(bool, mute);
        QFETCH(int, answer);
        QFETCH(QStringList, after);
        QFETCH(QString, result);
        w->sim.handleControlLine("liste ajoute Cda=160512;UID=04A1");
        w->sim.handleControlLine("liste ajoute Usr=41;Grp=3");
        QCOMPARE(w->sim.listFile().entries().size(), 2);
        for (const QString &row : before)
            addRow(row);
        if (mute)  // both tries of the first read
            w->sim.handleControlLine("drop 2");

        QuestionAnswerer answerer{QMessageBox::StandardButton(answer)};
        button("BTN_BlackListReadFromSupport")->click();
        QTRY_VERIFY_WITH_TIMEOUT(status->contains(result), 10000);
        QCOMPARE(rows(), after);
        QCOMPARE(answerer.texts.size(), int(!before.isEmpty() && !mute));
        QTRY_VERIFY(button("BTN_BlackListWriteToSupport")->isEnabled());
    }

    // The reader's list is replaced only with the operator's yes, and what
    // it kept is read back: a list it altered is reported.
    void writeAskedFirstAndChecked()
    {
        for (const QString &row : ThreeRows)
            addRow(row);
        w->operatorAgrees.on = false;
        {
            QuestionAnswerer no(QMessageBox::No);
            button("BTN_BlackListWriteToSupport")->click();
            QCOMPARE(no.texts, QStringList{"Remplacer la liste noire du lecteur par les 3 entrées de la table ?"});
        }
        QVERIFY(status->contains("LN Ecriture->annulée"));
        flushRequests();
        QCOMPARE(requests, QStringList());

        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &p) {
            if (c1 == 'F' && c2 == 'A' && p.contains("04D9F0A1"))
                QTimer::singleShot(0, this, [this] { w->sim.handleControlLine("liste ajoute UID=FFFF"); });
        });
        QuestionAnswerer yes(QMessageBox::Yes);
        button("BTN_BlackListWriteToSupport")->click();
        QTRY_VERIFY_WITH_TIMEOUT(status->contains("LN Vérification->ECHEC"), 10000);
        // A list the reader altered is not left there: the old one is back.
        QTRY_COMPARE(w->field("SAI_BlackListStatus")->text(),
                     QString("LN Ecriture->ECHEC : liste d'origine rétablie (0 ligne)"));
        QVERIFY(journalText().contains("LN Vérification : 3 lignes envoyées, 4 relues"));
        QVERIFY(w->sim.listFile().entries().isEmpty());
    }

    void emptyTableClearsTheList()
    {
        w->sim.handleControlLine("liste ajoute UID=04A1");
        button("BTN_BlackListWriteToSupport")->click();
        QTRY_VERIFY_WITH_TIMEOUT(status->contains("LN Vérification->OK"), 5000);
        QVERIFY(status->contains("LN Aucun liste à envoyer11"));
        flushRequests();
        QCOMPARE(requests, backupReads(1) + QStringList{"FCFil=5"} + listReads(0));
        QVERIFY(w->sim.listFile().entries().isEmpty());
    }

    // A write stopped after the clear puts the old list back, and the
    // status line says so; the step that failed is named with its row.
    void writeFailures_data()
    {
        QTest::addColumn<QString>("fault");  // a control line of the simulator
        QTest::addColumn<int>("nth");        // applied to this request with the fault's letters
        QTest::addColumn<QString>("step");   // the status text of the failed step
        QTest::addColumn<QString>("failure");
        QTest::newRow("silent second add") << "next mute FA" << 2 << "LN Add->ECHEC"
                                           << "LN Ecriture de la ligne 2 (groupe 7) sans réponse du lecteur";
        QTest::newRow("refused second add") << "next refuse FA" << 2 << "LN Add->ECHEC"
                                            << "LN Ecriture de la ligne 2 (groupe 7) refusée par le lecteur";
        QTest::newRow("refused clear") << "next refuse FC" << 1 << "LN effacement->échec"
                                       << "LN Suppression de la liste refusée par le lecteur";
        QTest::newRow("silent clear") << "next mute FC" << 1 << "LN effacement->échec"
                                      << "LN Suppression de la liste sans réponse du lecteur";
    }
    void writeFailures()
    {
        QFETCH(QString, fault);
        QFETCH(int, nth);
        QFETCH(QString, step);
        QFETCH(QString, failure);
        w->sim.handleControlLine("liste ajoute UID=0A0A0A0A");
        for (const QString &row : ThreeRows)
            addRow(row);
        const QString letters = fault.right(2);
        int seen = 0;
        // The simulator signals a request before it looks for a fault, so a
        // fault set here applies to this very request.
        const auto faultSetter = connect(&w->sim, &ReaderSim::requestReceived, this,
                [&](char c1, char c2, const QByteArray &) {
                    if (QString(c1) + c2 == letters && ++seen == nth)
                        w->sim.handleControlLine(fault);
                });

        button("BTN_BlackListWriteToSupport")->click();
        const QString restored = "LN Ecriture->ECHEC : liste d'origine rétablie (1 ligne)";
        QTRY_COMPARE_WITH_TIMEOUT(w->field("SAI_BlackListStatus")->text(), restored, 10000);
        QVERIFY(status->contains(step));
        QVERIFY(status->contains("LN Rétablissement->OK"));
        QCOMPARE(protocol->contains("LN Add->ECHEC"), step == "LN Add->ECHEC");
        QVERIFY(!status->contains("LN Add->FIN"));
        QVERIFY2(journalText().contains(failure), qPrintable(journalText()));
        QCOMPARE(w->sim.listFile().entries(), QStringList{"Cda=;UID=0A0A0A0A;Usr=;Grp="});
        QVERIFY(button("BTN_BlackListWriteToSupport")->isEnabled());
        disconnect(faultSetter);
    }

    // The question counts entries and rows left out; a refusal names the
    // table's row; the reader's list was kept in a file before the clear.
    void refusalNamesTheTableRow()
    {
        w->sim.handleControlLine("liste ajoute Cda=250101;UID=0A0A0A0A");
        for (const QString &row : {"|04A1B2C3|||", "||||", "|04a1b2c3|||bis", "|||7|", "|0E0E0E0E|||"})
            addRow(row);
        table()->item(1, 0)->setText(QString());
        int adds = 0;
        connect(&w->sim, &ReaderSim::requestReceived, this, [&](char c1, char c2, const QByteArray &) {
            if (c1 == 'F' && c2 == 'A' && ++adds == 3)
                w->sim.handleControlLine("next refuse FA");
        });
        w->operatorAgrees.on = false;
        QuestionAnswerer yes(QMessageBox::Yes);
        button("BTN_BlackListWriteToSupport")->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->field("SAI_BlackListStatus")->text(),
                                  QString("LN Ecriture->ECHEC : liste d'origine rétablie (1 ligne)"), 10000);
        QCOMPARE(yes.texts, QStringList{"Remplacer la liste noire du lecteur par les 3 entrées de la table "
                                        "(2 lignes vides ou en double non envoyées) ?"});
        QVERIFY2(journalText().contains("LN Ecriture de la ligne 5 (0E0E0E0E) refusée par le lecteur"),
                 qPrintable(journalText()));
        QCOMPARE(w->sim.listFile().entries(), QStringList{"Cda=250101;UID=0A0A0A0A;Usr=;Grp="});
        const QDir backups(dir->filePath("sauvegardes"));
        const QStringList names = backups.entryList(QDir::Files);
        QCOMPARE(names.size(), 1);
        QVERIFY2(QRegularExpression("^listenoire-1204-1001-\\d{8}-\\d{6}\\.txt$").match(names.first()).hasMatch(),
                 qPrintable(names.first()));
        QFile backup(backups.filePath(names.first()));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), QByteArray("01/01/25;0A0A0A0A;;;;\n"));
    }

    // The link drops while the question is open: the question goes, and
    // nothing is written to whatever reader comes back.
    void questionClosedWhenTheLinkDrops()
    {
        addRow("|04A1B2C3|||");
        w->operatorAgrees.on = false;
        QString asked;
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && asked.isEmpty()) {
                asked = box->text();
                w->sim.unplug();
            }
        });
        look.start(20);
        button("BTN_BlackListWriteToSupport")->click();
        QCOMPARE(w->field("SAI_BlackListStatus")->text(),
                 QString("LN Ecriture->annulée : liaison coupée pendant la question"));
        QVERIFY(asked.startsWith("Remplacer la liste noire du lecteur"));
        QCOMPARE(w->sim.requestCount('F', 'C') + w->sim.requestCount('V', 'G'), 0);
    }

    // Another reader behind the link while the old list was read: nothing
    // is cleared.
    void swappedReaderIsNotWritten()
    {
        w->sim.handleControlLine("liste ajoute UID=0A0A0A0A");
        addRow("|04A1B2C3|||");
        connect(&w->sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &p) {
            if (c1 == 'F' && c2 == 'G' && p.endsWith("Pos=1"))
                w->sim.config().setValue("3.0.2", "1002");
        });
        button("BTN_BlackListWriteToSupport")->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->field("SAI_BlackListStatus")->text(),
                                  QString("LN Ecriture->ECHEC : liste du lecteur inchangée"), 10000);
        QVERIFY(journalText().contains("Le lecteur a changé (1204/1001 -> 1204/1002) : relire"));
        QCOMPARE(w->sim.requestCount('F', 'C'), 0);
        QCOMPARE(w->sim.listFile().entries(), QStringList{"Cda=;UID=0A0A0A0A;Usr=;Grp="});
    }

    // Dates in the forms an operator types or a file holds come in as
    // dd/MM/yy; a day that does not exist is red and stops the write; a
    // file whose lines do not split is refused whole.
    void datesAndLinesAsTheOperatorGivesThem()
    {
        addRow("2026-03-05|04A1B2C3|||");
        addRow("31/02/26|04D9F0A1|||");
        QCOMPARE(table()->item(0, 0)->text(), QString("05/03/26"));
        QTRY_VERIFY(table()->item(1, 0)->toolTip().contains("n'existe pas"));
        button("BTN_BlackListWriteToSupport")->click();
        QCOMPARE(w->field("SAI_BlackListStatus")->text(), QString("LN Ecriture->ECHEC : ligne 2 invalide"));
        QCOMPARE(table()->currentColumn(), 0);
        QCOMPARE(w->operatorAgrees.questions, 0);

        QFile file(dir->filePath("listenoire.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("5/3/26;04A1B2C3;;;;\n05/03/2026;04D9F0A1;;;;\n");
        file.close();
        button("BTN_BlackListReadFromFile")->click();
        QCOMPARE(rows(), (QStringList{"05/03/26|04A1B2C3|||", "05/03/26|04D9F0A1|||"}));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("05/03/26,04A1B2C3,,,\n");
        file.close();
        button("BTN_BlackListReadFromFile")->click();
        QVERIFY(w->field("SAI_BlackListStatus")->text().startsWith(
            "Chargement liste noire->ECHEC : ligne 1 : séparateur « , » au lieu de « ; »"));
        QCOMPARE(rows(), (QStringList{"05/03/26|04A1B2C3|||", "05/03/26|04D9F0A1|||"}));
    }

    // Rows are checked as typed: the UID normalised, a faulty cell red with
    // its reason, a repeat orange; an invalid row stops the write unsent.
    void invalidRowStopsTheWrite()
    {
        addRow("|04:a1:b2:c3 |12||");
        addRow("||12a||");
        addRow("|04A1B2C3|||bis");
        QCOMPARE(table()->item(0, 1)->text(), QString("04A1B2C3"));
        QTRY_VERIFY(table()->item(1, 2)->toolTip().contains("chiffres seulement"));
        QVERIFY(table()->item(1, 2)->background().style() != Qt::NoBrush);
        QVERIFY(table()->item(1, 1)->toolTip().isEmpty());
        QCOMPARE(table()->item(2, 1)->toolTip(), QString("Doublon de la ligne 1"));
        QVERIFY(table()->item(2, 1)->background() != table()->item(1, 2)->background());

        button("BTN_BlackListWriteToSupport")->click();
        QCOMPARE(w->field("SAI_BlackListStatus")->text(), QString("LN Ecriture->ECHEC : ligne 2 invalide"));
        QCOMPARE(table()->currentRow(), 1);
        flushRequests();
        QCOMPARE(requests, QStringList());
        QCOMPARE(w->operatorAgrees.questions, 0);

        // Mended, the row is no longer marked and the list goes out.
        table()->item(1, 2)->setText("12");
        QTRY_VERIFY(table()->item(1, 2)->toolTip().isEmpty());
        QCOMPARE(table()->item(1, 2)->background().style(), Qt::NoBrush);
        button("BTN_BlackListWriteToSupport")->click();
        QTRY_VERIFY_WITH_TIMEOUT(status->contains("LN Vérification->OK"), 10000);
    }

    // What a search hides is still sent; repeats and empty rows are not.
    void filteredTableSendsEveryEntryOnce()
    {
        for (const QString &row : {"12/05/16|04A1B2C3|12|3|perdu", "13/05/16|04a1b2c3|||bis", "|||7|",
                                   "14/05/16||||"})
            addRow(row);
        auto *count = w->field<QLabel>("LAB_BlackListCount");
        QTRY_COMPARE(count->text(), QString("4 lignes"));
        w->field("SAI_BlackListFilter")->setText("PERDU");
        QCOMPARE(count->text(), QString("1 / 4 lignes"));
        QVERIFY(!table()->isRowHidden(0));
        QVERIFY(table()->isRowHidden(1) && table()->isRowHidden(2) && table()->isRowHidden(3));

        w->operatorAgrees.on = false;
        QuestionAnswerer yes(QMessageBox::Yes);
        button("BTN_BlackListWriteToSupport")->click();
        QTRY_VERIFY_WITH_TIMEOUT(status->contains("LN Vérification->OK"), 10000);
        QCOMPARE(yes.texts, QStringList{"Remplacer la liste noire du lecteur par les 2 entrées de la table "
                                        "(2 lignes vides ou en double non envoyées) ?"});
        QCOMPARE(w->sim.listFile().entries(),
                 (QStringList{"Cda=160512;UID=04A1B2C3;Usr=12;Grp=3", "Cda=;UID=;Usr=;Grp=7"}));
    }

    // A spreadsheet's file: "," and a byte order mark, its own column order,
    // lower-case UIDs with separators. Exact copies are left out, the rest
    // comes in checked; a refused file changes nothing.
    void csvImportAndExport()
    {
        addRow("12/05/16|04A1B2C3|12|3|perdu");
        const QString csv = dir->filePath("tableur.csv");
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF" "RAISON,uid,Date,Groupe\r\n"
                   "perdu,04:a1:b2:c3,12/05/16,3\r\n"  // the row already there, but for its user
                   "\"volé, au dépôt\",04 d9 f0 a1,01/02/17,\r\n"
                   "\"volé, au dépôt\",04 d9 f0 a1,01/02/17,\r\n"
                   "perdu,,,G7\r\n");
        file.close();
        w->operatorAgrees.on = false;
        {
            QuestionAnswerer yes(QMessageBox::Yes, csv);
            button("BTN_BlackListImportCsv")->click();
            QTRY_COMPARE(yes.texts, QStringList{"Ajouter les 3 lignes lues à la table (1 doublons ignorés) ?"});
        }
        QCOMPARE(w->field("SAI_BlackListStatus")->text(), QString("Import CSV->OK : 3 lignes ajoutées"));
        QCOMPARE(rows(), (QStringList{"12/05/16|04A1B2C3|12|3|perdu", "12/05/16|04A1B2C3||3|perdu",
                                      "01/02/17|04D9F0A1|||volé, au dépôt", "|||G7|perdu"}));
        QTRY_COMPARE(table()->item(1, 0)->toolTip(), QString("Doublon de la ligne 1"));
        QVERIFY(table()->item(3, 3)->toolTip().contains("chiffres seulement"));

        // Sorted by date once: no date last; the order stays as rows are added.
        QHeaderView *header = table()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        QCOMPARE(rows().first(), QString("12/05/16|04A1B2C3|12|3|perdu"));
        QCOMPARE(rows().at(2), QString("01/02/17|04D9F0A1|||volé, au dépôt"));
        QCOMPARE(rows().last(), QString("|||G7|perdu"));
        const QStringList sorted = rows();

        const QString exported = dir->filePath("export.csv");
        {
            QuestionAnswerer ok(QMessageBox::Ok, exported);
            button("BTN_BlackListExportCsv")->click();
            QTRY_COMPARE(w->field("SAI_BlackListStatus")->text(), QString("Export CSV->OK : 4 lignes"));
        }
        QFile out(exported);
        QVERIFY2(out.open(QIODevice::ReadOnly), qPrintable(QDir(dir->path()).entryList().join(",")));
        QVERIFY(out.readAll().startsWith("\xEF\xBB\xBF" "Date;Uid;Utilisateur;Groupe;Raison\r\n"));

        QFile binary(csv);
        QVERIFY(binary.open(QIODevice::WriteOnly));
        binary.write(QByteArray("Date;Uid\r\n") + QByteArray(2, '\0') + ";04A1B2C3\r\n");
        binary.close();
        {
            QuestionAnswerer ok(QMessageBox::Ok, csv);
            button("BTN_BlackListImportCsv")->click();
            QTRY_VERIFY(w->field("SAI_BlackListStatus")->text().startsWith("Import CSV->ECHEC : "));
            QTRY_COMPARE(ok.texts.size(), 1);
        }
        QCOMPARE(rows(), sorted);
    }

    void readerButtonsSendNothing()
    {
        addRow("|04A1|||");
        for (const char *name : {"BTN_BlackListReadFromReader", "BTN_BlackListWriteToReader"}) {
            QVERIFY2(button(name)->isEnabled(), name);
            button(name)->click();
        }
        flushRequests();
        QCOMPARE(requests, QStringList{});
        QVERIFY(w->field("SAI_BlackListStatus")->text().startsWith("Ligne insérée"));
    }
};

QTEST_MAIN(TestBlackListEndToEnd)
#include "tst_blacklist_e2e.moc"
