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

// The whole content of a file that should hold at most maxBytes: one more
// byte is read, so that the caller's parser refuses a larger file without
// its being read whole. False when the file cannot be opened (*reason
// empty) or read (*reason says so).
bool FileReadBounded(const QString &path, qint64 maxBytes, QByteArray *content, QString *reason);
// Written aside, flushed and synced to the disk, checked, and put in place
// only then: a failure (a full disk, a size limit) leaves the previous file
// whole. False with *error saying why in French.
bool FileWriteWhole(const QString &path, const QByteArray &content, QString *error);

// A new file (never one that exists), written, flushed and synced to the
// disk; a failure removes what was begun. Exists: the name is taken.
enum class NewFileResult { Written, Exists, Failed };
NewFileResult FileWriteNew(const QString &path, const QByteArray &content, QString *error);

// A system error (errno) in the operator's words: "disque plein",
// "accès refusé"...
QString SystemErrorText(int error);

#endif
