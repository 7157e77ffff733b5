// Hostile input: configuration and blacklist files of any shape and size,
// and every field whose text goes into a payload filled with separators,
// long texts, control characters and characters outside Latin-1. Nothing
// crashes or freezes, a refusal says why and leaves everything as it was,
// and what reaches the reader is the validated text, never an added field
// nor a payload over 999 bytes.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "badge/badgerecord.h"
#include "blacklist/blacklisttext.h"
#include "config/paramlogic.h"
#include "config/configpage.h"
#include "config/paramtree.h"
#include "tests/support/windowfixture.h"
#include "util/textutil.h"

namespace {
constexpr qint64 FreezeMs = 2000;
constexpr qint64 BigFileBytes = 100 * 1024 * 1024;

// Closes every message box as soon as it shows and keeps "title|text".
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << box->windowTitle() + "|" + box->text();
                box->accept();
            }
        });
        m_timer.start(10);
    }
    QStringList boxes;

private:
    QTimer m_timer;
};

struct Request {
    QByteArray letters;
    QString payload;
};

const QString Semicolon = "a;b";
const QString Equals = "a=b";
const QString Long(2000, 'x');
const QString Control = QString("a\x01\x02\x03\tb\n") + QChar(0) + "c";
const QString Wide = QString::fromUtf8("漢字€😀");
}

class TestHostile : public QObject
{
    Q_OBJECT

    WindowWithReader w;
    QTemporaryDir folder;
    BoxCloser closer;
    QList<Request> requests;  // polls left out

    QAbstractButton *button(const char *name) { return w.field<QAbstractButton>(name); }
    QTreeWidget *tree() { return w.field<QTreeWidget>("treeWidget"); }
    QTableWidget *table() { return w.field<QTableWidget>("TABLE_BlackList"); }
    QTreeWidgetItem *param(const QString &id)
    {
        return tree()->findItems(id, Qt::MatchExactly | Qt::MatchRecursive, TreeColumn::Identifier).value(0);
    }
    bool idle()
    {
        return w.window->Protocole.Cmd.IsFree.load() && !w.window->Chain.isRunning()
               && !w.window->Config->isBusy();
    }

    QStringList treeState()
    {
        QStringList all;
        for (QTreeWidgetItem *item : TreeItems(tree()))
            all << item->text(TreeColumn::Identifier) + "=" + item->text(TreeColumn::Value) + "/"
                       + item->text(TreeColumn::Modified);
        return all;
    }
    QStringList rows() { return TableRowTexts(table()); }

    void writeFile(const QString &path, const QByteArray &content, qint64 size)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        if (size <= content.size() || content.isEmpty()) {
            QCOMPARE(file.write(content), qint64(content.size()));
            return;
        }
        // Big files are their content repeated, written a megabyte at a
        // time: a write per short line is slow under the sanitizers.
        QByteArray chunk;
        while (chunk.size() < 1024 * 1024)
            chunk += content;
        for (qint64 written = 0; written < size; written += chunk.size())
            QCOMPARE(file.write(chunk), qint64(chunk.size()));
    }

    // A request of our own once the slot is free: the reader has seen all
    // that the clicks sent when this one arrives.
    void flushRequests()
    {
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 10000);
        QVERIFY(w.window->Protocole.CmdRequest('V', 'G', "9.9", 0, 2000) == QProtocole::REQ_QUEUED);
        QTRY_VERIFY_WITH_TIMEOUT(!requests.isEmpty() && requests.last().payload == "9.9", 5000);
        requests.removeLast();
        bool ok = false;
        char status = 0;
        QTRY_VERIFY_WITH_TIMEOUT(w.window->Protocole.CmdAnswer(ok, status) == 1, 5000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        QVERIFY(w.sim.start());
        w.window = std::make_unique<MainWindow>(w.sim.slavePath(), true);
        w.window->ConfigStartFolder = folder.path();
        w.window->show();
        connect(&w.sim, &ReaderSim::requestReceived, this, [this](char c1, char c2, const QByteArray &payload) {
            if (c1 != 'B' || c2 != 'S')
                requests << Request{QByteArray() + c1 + c2, QString::fromUtf8(payload)};
        });
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_ReaderConfigLoad")->isEnabled(), 5000);
        // A configuration read from the reader: edits are marked and written.
        button("BTN_ReaderConfigLoad")->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.text("SAI_ConfigStatus"), QString("Lecture Ok"), 20000);
        w.sim.present("credit");
        // A badge read: debit and credit have a badge to act on.
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(button("BTN_TransactionDebit")->isEnabled(), 10000);
        button("BTN_BadgeRead")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.window->Protocole.Polling.load() && idle(), 5000);
    }
    void init()
    {
        closer.boxes.clear();
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 10000);
        requests.clear();
    }
    void cleanup()
    {
        for (const Request &request : requests)
            QVERIFY2(request.payload.toUtf8().size() <= PayloadMaxBytes, request.letters.constData());
    }

    void hostileFiles_data()
    {
        QTest::addColumn<QString>("kind");  // "config" or "blacklist"
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("size");  // content repeated up to this size
        QTest::addColumn<QString>("outcome");  // box or status line text
        QTest::addColumn<QStringList>("result");  // "3.0.1" and "3.0.3" values, or the rows
        const QByteArray binary = [] {
            QByteArray bytes;
            for (int i = 0; i < 256; ++i)
                bytes.append(char(i));
            return bytes;
        }();
        const QString refused = "Erreur|Fichier de configuration refusé : ";
        const QString loaded = "Information|Configuration chargée";
        const QStringList unchanged{"<unchanged>"};
        QTest::newRow("config empty") << "config" << QByteArray() << qint64(0)
                                      << refused + "aucun paramètre du lecteur" << unchanged;
        QTest::newRow("config 100 MB") << "config" << QByteArray("3.0.1=" + QByteArray(1024 * 1024 - 7, 'x') + "\n")
                                       << BigFileBytes << refused + "fichier trop grand (plus de 4 Mo)" << unchanged;
        QTest::newRow("config binary") << "config" << binary << qint64(0)
                                       << refused + "ce n'est pas un fichier texte" << unchanged;
        QTest::newRow("config NUL byte") << "config" << QByteArray("3.0.1=a\0b\n", 10) << qint64(0)
                                         << refused + "ce n'est pas un fichier texte" << unchanged;
        QTest::newRow("config invalid UTF-8") << "config" << QByteArray("3.0.1=Caf\xe9\n3.0.3=\xff\xfe\n")
                                              << qint64(0) << loaded << QStringList{"Café", "ÿþ"};
        QTest::newRow("config CR LF") << "config" << QByteArray("3.0.1=Un\r\n3.0.3=Deux\r\n") << qint64(0)
                                      << loaded << QStringList{"Un", "Deux"};
        QTest::newRow("config CR alone") << "config" << QByteArray("3.0.1=Trois\r3.0.3=Quatre\r") << qint64(0)
                                         << loaded << QStringList{"Trois", "Quatre"};
        QTest::newRow("config 1 MB line") << "config" << "3.0.1=" + QByteArray(1024 * 1024, 'x') << qint64(0)
                                          << refused + "ligne 1 trop longue" << unchanged;

        const QString failed = "Chargement liste noire->ECHEC : ";
        const QString ok = "Chargement liste noire->OK";
        QTest::newRow("blacklist empty") << "blacklist" << QByteArray() << qint64(0) << ok << QStringList();
        QTest::newRow("blacklist 100 MB") << "blacklist" << QByteArray("12/05/16;04A1B2C3;12;3;perdu;\n")
                                          << BigFileBytes << failed + "fichier trop grand (plus de 4 Mo)" << unchanged;
        QTest::newRow("blacklist binary") << "blacklist" << binary << qint64(0)
                                          << failed + "ce n'est pas un fichier texte" << unchanged;
        QTest::newRow("blacklist NUL byte") << "blacklist" << QByteArray(";;;;a\0b;\n", 9) << qint64(0)
                                            << failed + "ce n'est pas un fichier texte" << unchanged;
        QTest::newRow("blacklist invalid UTF-8") << "blacklist" << QByteArray(";\xff;;;vol\xe9;\n") << qint64(0)
                                                 << ok << QStringList{"|ÿ|||volé"};
        QTest::newRow("blacklist CR LF") << "blacklist" << QByteArray("a;;;;;\r\nb;;;;;\r\n") << qint64(0)
                                         << ok << QStringList{"a||||", "b||||"};
        QTest::newRow("blacklist CR alone") << "blacklist" << QByteArray("a;;;;;\rb;;;;;\r") << qint64(0)
                                            << ok << QStringList{"a||||", "b||||"};
        QTest::newRow("blacklist 1 MB line") << "blacklist" << QByteArray(1024 * 1024, 'x') << qint64(0)
                                             << failed + "ligne 1 trop longue" << unchanged;
    }
    void hostileFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(qint64, size);
        QFETCH(QString, outcome);
        QFETCH(QStringList, result);
        const bool config = kind == "config";
        const QString path = config ? folder.filePath("config.txt") : folder.filePath("listenoire.txt");
        writeFile(path, content, size);
        if (config) {
            w.field("SAI_FIleName")->setText(path);
        } else {
            table()->setRowCount(0);
            button("BTN_BlackListNew")->click();
            table()->item(0, 4)->setText("avant");
        }
        const QStringList treeBefore = treeState();
        const QStringList rowsBefore = rows();
        const QString configStatus = w.text("SAI_ConfigStatus");

        QElapsedTimer clock;
        clock.start();
        button(config ? "BTN_ReaderFileLoad" : "BTN_BlackListReadFromFile")->click();
        QTRY_VERIFY(!config || !closer.boxes.isEmpty());
        QVERIFY2(clock.elapsed() < FreezeMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(config ? closer.boxes.value(0) : w.text("SAI_BlackListStatus"), outcome);

        if (result == QStringList{"<unchanged>"}) {
            QCOMPARE(treeState(), treeBefore);
            QCOMPARE(rows(), rowsBefore);
            QCOMPARE(w.text("SAI_ConfigStatus"), configStatus);
        } else if (config) {
            QCOMPARE(param("3.0.1")->text(TreeColumn::Value), result.value(0));
            QCOMPARE(param("3.0.3")->text(TreeColumn::Value), result.value(1));
        } else {
            QCOMPARE(rows(), result);
        }
    }

    // Fields whose refusal or payload can be seen at once. `line` and
    // `refusal` say where and what a refusal shows; empty: the value is sent
    // as field `index` of the payload's `count` fields, as `sent`.
    void hostileFields_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");  // object name, "cell N" or "param ID"
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QByteArray>("letters");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("sent");

        const QList<QPair<QString, QString>> values{{"semicolon", Semicolon}, {"equals", Equals},
                                                   {"2000 characters", Long}, {"control", Control},
                                                   {"outside Latin-1", Wide}};
        auto refused = [](const QString &name, const QString &button, const QString &field,
                          const QString &value, const QString &line, const QString &text) {
            QTest::newRow(qPrintable(name)) << button << field << value << line << text << QByteArray() << 0 << 0
                                            << QString();
        };
        auto sent = [](const QString &name, const QString &button, const QString &field, const QString &value,
                       const QByteArray &letters, int count, int index, const QString &text) {
            QTest::newRow(qPrintable(name)) << button << field << value << QString() << QString() << letters
                                            << count << index << text;
        };
        const char *const cells[] = {"Cda", "UID", "Usr", "Grp"};
        for (const auto &value : values) {
            const QString v = value.second;
            const QString n = " / " + value.first;
            refused("transaction" + n, "BTN_TransactionDebit", "SAI_Transaction", v, "box",
                    "Erreur|Contenu transaction invalide");
            for (int column = 0; column < 4; ++column) {
                const QString name = QString("blacklist %1").arg(cells[column]) + n;
                // A date that is no date, a UID, user or group that holds
                // more than its digits stops the write before anything is sent.
                refused(name, "BTN_BlackListWriteToSupport", QString("cell %1").arg(column), v,
                        "SAI_BlackListStatus", "LN Ecriture->ECHEC : ligne 1 invalide");
            }
            if (v == Long)
                refused("configuration value" + n, "BTN_ReaderConfigSave", "param 3.0.1", v, "SAI_ConfigStatus",
                        "Save: ->Echec (3.0.1 : valeur trop longue)");
            else
                sent("configuration value" + n, "BTN_ReaderConfigSave", "param 3.0.1", v, "VP", 1, 0,
                     ValuePutPayload("3.0.1", v));
            const bool oneField = v != Semicolon && v != Control && v != Long;
            // None of them is the 16 bytes a block holds.
            refused("block data" + n, "BTN_ReaderWrite", "SAI_ReaderSnd", v, "SAI_ReaderRcv",
                    v == Semicolon || v == Control ? "Erreur->Donnée non valide"
                                                   : "Erreur->Donnée non valide : 16 octets \"0x..\" attendus");
            if (oneField)
                sent("output test duration" + n, "BTN_TestC1", "SAI_TestDurationImpulsion", v, "VP", 1, 0,
                     "12.255.7.0=" + v);
            else
                refused("output test duration" + n, "BTN_TestC1", "SAI_TestDurationImpulsion", v,
                        "SAI_TestCmdStatus", "Erreur->Durée non valide");
            refused("block number" + n, "BTN_ReaderRead", "SAI_BlockNumber", v, "SAI_ReaderSnd",
                    "Erreur->Bloque non défini");
            refused("key" + n, "BTN_ReaderRead", "SAI_KeyToUsed", v, "SAI_ReaderRcv", "Erreur->Clé non valide");
            refused("sector" + n, "BTN_TraillerRead", "SAI_Sector", v, "SAI_TrailerReadResult",
                    "Erreur->Sector non défini");
            refused("key A" + n, "BTN_TraillerWrite", "SAI_KeyA", v, "SAI_TrailerReadResult",
                    "Erreur->Clé A non valide");
            refused("key B" + n, "BTN_TraillerWrite", "SAI_KeyB", v, "SAI_TrailerReadResult",
                    "Erreur->Clé B non valide");
        }
    }
    void hostileFields()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, line);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, letters);
        QFETCH(int, count);
        QFETCH(int, index);
        QFETCH(QString, sent);

        // Valid neighbours, so that only the field tried can be refused.
        this->button("BTN_TraillerDefault")->click();
        w.field("SAI_BlockNumber")->setText("4");
        w.field("SAI_Sector")->setText("1");
        w.field("SAI_ReaderSnd")->clear();
        w.field("SAI_TestDurationImpulsion")->setText("300");
        for (const char *name : {"SAI_ReaderRcv", "SAI_TrailerReadResult", "SAI_TestCmdStatus",
                                 "SAI_BlackListStatus", "SAI_ConfigStatus"})
            w.field(name)->clear();
        table()->setRowCount(0);
        if (field.startsWith("cell ")) {
            this->button("BTN_BlackListNew")->click();
            table()->item(0, BlackList::ColumnUser)->setText("12");  // a row that names somebody
            table()->item(0, field.mid(5).toInt())->setText(value);
        } else if (field.startsWith("param ")) {
            param(field.mid(6))->setText(TreeColumn::Value, value);
        } else {
            w.field(qPrintable(field))->setText(value);
        }

        this->button(qPrintable(button))->click();
        flushRequests();
        const QString shown = line == "box" ? closer.boxes.value(0) : line.isEmpty() ? QString() : w.text(qPrintable(line));
        if (field.startsWith("param ")) {  // a refused value must not stop later saves
            param(field.mid(6))->setText(TreeColumn::Value, "A DEFINIR");
            // Nor a stored one: a value with control characters reads as a
            // damaged answer.
            w.sim.handleControlLine("param " + field.mid(6) + " A DEFINIR");
        }

        if (!refusal.isEmpty()) {
            QCOMPARE(shown, refusal);
            QVERIFY2(requests.isEmpty(), requests.value(0).letters.constData());
            return;
        }
        QList<Request> matching;
        for (const Request &request : requests)
            if (request.letters == letters && (letters != "VP" || request.payload.startsWith(sent.section('=', 0, 0) + "=")))
                matching << request;
        QVERIFY2(!matching.isEmpty(), qPrintable(QString::number(requests.size())));
        const QString payload = matching.first().payload;
        if (letters == "VP") {
            QCOMPARE(payload, sent);  // identifier "=" value: the first "=" splits
        } else {
            const QStringList fields = payload.split(';');
            QCOMPARE(fields.size(), count);
            QCOMPARE(fields.at(index), sent);
        }
    }

    // The badge form written to a blank badge: every field holds the same
    // hostile text. The record keeps its pairs, each value cleaned of what
    // would split it, or it is refused as a whole when too long.
    void hostileBadgeForm_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("semicolon") << Semicolon;
        QTest::newRow("equals") << Equals;
        QTest::newRow("2000 characters") << Long;
        QTest::newRow("control") << Control;
        QTest::newRow("outside Latin-1") << Wide;
    }
    void hostileBadgeForm()
    {
        QFETCH(QString, value);
        const char *const free[] = {"SAI_Level", "SAI_UniteTarif", "SAI_UniteProduit", "SAI_CreationDate",
                                    "SAI_Domaine", "SAI_Remise", "SAI_FirstName", "SAI_LastName",
                                    "SAI_Compagny", "SAI_Usr", "SAI_Grp"};
        TextHistory protocol(w.field("SAI_ProtocoleStatus"));
        w.field<QAbstractButton>("CKB_CreationForce")->setChecked(true);  // also a badge made before
        w.sim.remove();
        button("BTN_BadgeCreate")->click();
        for (const char *name : free)
            w.field(name)->setText(value);
        w.sim.present("vierge");
        QTRY_VERIFY_WITH_TIMEOUT(protocol.contains("Création->OK") || protocol.contains("Création->ECHEC")
                                     || protocol.contains("Création->ECHEC : enregistrement trop long"),
                                 10000);
        button("BTN_BadgeCreate")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.window->Protocole.Polling.load(), 5000);
        flushRequests();

        QList<Request> creations;
        for (const Request &request : requests)
            if (request.letters == "BN")
                creations << request;
        if (value == Long) {
            QVERIFY(protocol.contains("Création->ECHEC : enregistrement trop long"));
            QVERIFY(creations.isEmpty());
            return;
        }
        QCOMPARE(creations.size(), 1);
        const QStringList keys{"Tyc", "Usr", "Grp", "Lev", "Uni", "Unp", "Vda", "Cda", "Doi",
                               "Rem", "Naf", "Nal", "Nac", "Cn0"};
        const QString clean = RecordValueSanitize(value);
        for (const QString &pair : creations.first().payload.split(';')) {
            QCOMPARE(pair.count('='), 1);
            const QString key = pair.section('=', 0, 0);
            QVERIFY2(keys.contains(key), qPrintable(pair));
            const QString text = pair.section('=', 1);
            if (QStringList{"Uni", "Unp", "Doi", "Rem", "Naf", "Nal", "Nac"}.contains(key))
                QCOMPARE(text, clean);
        }
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
