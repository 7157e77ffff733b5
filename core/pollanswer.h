#ifndef POLLANSWER_H
#define POLLANSWER_H

#include <QString>

// What the dispatcher reads of a poll answer: event flag, support flag,
// support-OK flag, two-digit status code, three-character detail, then
// record pairs (applied to the form separately).
struct PollAnswer {
    bool support = false;
    bool supportOk = false;
    // Taken unsigned: a negative code counts as larger than every known one;
    // text that is not a number reads as 0.
    quint32 status = 0;
    QString detail;
};

PollAnswer PollAnswerParse(const QString &answer);

#endif
