#ifndef TEXTFILE_H
#define TEXTFILE_H

#include <QByteArray>
#include <QList>
#include <QString>

class QTextCodec;

// Plain rules for the text files the operator keeps (configuration,
// blacklist): whatever an editor on any system may have made of them.

// The lines of a file's content, line ends removed. A line ends at LF,
// CR LF or a CR alone; a line end at the very end opens no empty line.
QList<QByteArray> TextFileLines(const QByteArray &content);

// A control byte that no text holds (anything below 0x20 but tab, LF and
// CR, or DEL): the file is binary, or damaged.
bool TextFileHasControlBytes(const QByteArray &content);

// The bytes in `codec`, or in Latin-1 when they are not valid in it: files
// written by earlier versions used an 8-bit encoding.
QString TextFileDecode(const QByteArray &bytes, QTextCodec *codec);

#endif
