#ifndef JOURNAL_H
#define JOURNAL_H

#include <QDateTime>
#include <QString>

// Whether a status line text goes to the journal: results do; the turning
// polling texts and the texts of running operations ("...") do not.
bool JournalKeeps(const QString &text);
// One journal line: date and time, then the text on one line.
QString JournalLine(const QDateTime &when, const QString &text);

// Writes the text whole or not at all; error gets the reason on failure.
bool TextFileWrite(const QString &path, const QString &text, QString *error);

#endif
