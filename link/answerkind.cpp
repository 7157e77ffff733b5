#include "link/answerkind.h"

#include "link/commands.h"

namespace {
bool Letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool LetterOrDigit(char c)
{
    return Letter(c) || (c >= '0' && c <= '9');
}

// Record pairs begin with a three-character key that starts with a letter
// ("UID=", "Cn0="); a poll answer begins with its event flag, a digit.
bool RecordBody(const char *body, std::size_t length)
{
    return length >= 4 && Letter(body[0]) && LetterOrDigit(body[1]) && LetterOrDigit(body[2])
           && body[3] == '=';
}

bool PollBody(const char *body, std::size_t length)
{
    return length >= 1 && (body[0] == '0' || body[0] == '1');
}
}

bool AnswerFitsRequest(char c1, char c2, char status, const char *body, std::size_t length)
{
    if (c1 != Cmd::FamilyBadge)
        return true;
    switch (c2) {
    case Cmd::BadgeTransaction:
    case Cmd::BadgeCreate:
    case Cmd::BadgeFormat:
    case Cmd::BadgeStatus:
        return !RecordBody(body, length);
    case Cmd::BadgeRead:
        // A refusal's text is not read; an accepted read holds a record.
        return status != Cmd::StatusOk || !PollBody(body, length);
    default:
        return true;
    }
}
