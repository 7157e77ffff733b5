#include "util/textfile.h"

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
