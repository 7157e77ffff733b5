#include "util/textfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTextCodec>

QList<QByteArray> TextFileLines(const QByteArray &content)
{
    QList<QByteArray> lines;
    int start = 0;
    const int size = content.size();
    while (start < size) {
        int end = start;
        while (end < size && content.at(end) != '\n' && content.at(end) != '\r')
            ++end;
        lines.append(content.mid(start, end - start));
        if (end < size && content.at(end) == '\r' && end + 1 < size && content.at(end + 1) == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

bool TextFileHasControlBytes(const QByteArray &content)
{
    for (const char byte : content) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
            return true;
    }
    return false;
}

QString TextFileDecode(const QByteArray &bytes, QTextCodec *codec)
{
    if (codec) {
        QTextCodec::ConverterState state;
        const QString text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
        if (state.invalidChars == 0 && state.remainingChars == 0)
            return text;
    }
    return QString::fromLatin1(bytes);
}

bool FileReadBounded(const QString &path, qint64 maxBytes, QByteArray *content, QString *reason)
{
    reason->clear();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    *content = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *reason = QCoreApplication::translate("TextFile", "lecture impossible");
        return false;
    }
    return true;
}

bool FileWriteWhole(const QString &path, const QByteArray &content, QString *error)
{
    if (path.isEmpty()) {
        *error = QCoreApplication::translate("TextFile", "aucun nom de fichier");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
