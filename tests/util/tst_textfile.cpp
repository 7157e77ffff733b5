// Whole-or-nothing file writes: what replaces a file, what cannot, and a
// device or a pipe that is written to and never replaced by a file.
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/textfile.h"

class TestTextFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void writeWhole_data()
    {
        QTest::addColumn<QString>("target");  // "fifo", "folder", or an existing content
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("said");
        QTest::newRow("new file") << QString() << "neuf.txt" << true << QString();
        QTest::newRow("replaces a file") << "ancien\n" << "ancien.txt" << true << QString();
        QTest::newRow("a folder") << "folder" << "dossier" << false << "c'est un dossier";
        QTest::newRow("in a missing folder") << QString() << "absent/x.txt" << false << "dossier introuvable";
        QTest::newRow("a named pipe") << "fifo" << "tube" << true << QString();
    }
    void writeWhole()
    {
        QFETCH(QString, target);
        QFETCH(QString, name);
        QFETCH(bool, written);
        QFETCH(QString, said);
        const QString path = dir.filePath(name);
        int reader = -1;
        if (target == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (target == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            // Open for reading first: the write then does not wait for one.
            reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(reader >= 0);
        } else if (!target.isEmpty()) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write(target.toUtf8()) > 0);
        }
        QString error;
        QCOMPARE(FileWriteWhole(path, "3.0.1=Laverie\n", &error), written);
        QVERIFY2(error.contains(said), qPrintable(error));
        if (target == "fifo") {
            char bytes[64] = {};
            QCOMPARE(::read(reader, bytes, sizeof bytes), ssize_t(14));
            ::close(reader);
            struct stat info {};
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
            QVERIFY(S_ISFIFO(info.st_mode));
        } else if (written) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("3.0.1=Laverie\n"));
        }
    }
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
