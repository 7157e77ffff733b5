#ifndef COMMANDS_H
#define COMMANDS_H

#include <algorithm>

// Operation codes: passed with every request and echoed as the code of the
// answer's link event. The code, not the command letters, picks the handler.
enum : unsigned int {
    ARG_NONE = 0,
    ARG_POLLING_EVENT = 1,
    ARG_POLLING_NO_SUPPORT = 2,
    ARG_BADGE_CREATE_RESULT = 8,
    ARG_BADGE_READ_RESULT = 9,
    ARG_BADGE_WRITE_RESULT = 10,
    ARG_CONFIG_GET_RESULT = 16,
    ARG_TRANSACTION_RESULT = 17,
    ARG_FILE_LN_CLEAR_RESULT = 18,
    ARG_FILE_LN_ADD_RESULT = 19,
    ARG_FILE_LN_GET_RESULT = 20,
    ARG_COUPLEUR_BLOCK_RESULT = 21,
    ARG_COUPLEUR_TRAILER_WRITE_RESULT = 22,
    ARG_COUPLEUR_TRAILER_READ_RESULT = 23,
    ARG_CONFIG_PUT_RESULT = 24,
    ARG_CONFIG_PUT_SAVE_RESULT = 25,
    ARG_BADGE_FORMAT_RESULT = 32,
    ARG_STATUS_TIMEOUT = 33,
    ARG_TEST_RESULT = 34,
    ARG_PORT_STATE = 35,
    ARG_CLOCK_RESULT = 36,
};

// Link event kinds carried by SIG_Data.
enum : unsigned int {
    EVT_STATUS_TEXT = 1,
    EVT_DATA = 2,
};

// Command letters: the first names the family, the second the command.
namespace Cmd {
constexpr char FamilyBadge = 'B';
constexpr char FamilyValue = 'V';
constexpr char FamilyFile = 'F';
constexpr char FamilyRaw = 'R';

constexpr char BadgeStatus = 'S';
constexpr char BadgeRead = 'R';
constexpr char BadgeCreate = 'N';
constexpr char BadgeTransaction = 'T';
constexpr char BadgeFormat = 'F';

constexpr char ValueGet = 'G';
constexpr char ValuePut = 'P';

constexpr char FileClear = 'C';
constexpr char FileAdd = 'A';
constexpr char FileGet = 'G';

constexpr char RawRead = 'R';
constexpr char RawWrite = 'W';
constexpr char RawIncrement = 'I';
constexpr char RawDecrement = 'D';

// Answer type letter of a text the reader sends on its own.
constexpr char AnswerDebug = 'D';
// Status letter of an accepted command.
constexpr char StatusOk = '0';

// Requests that only read (a parameter, a blacklist line at its position):
// sent twice, they change nothing and get the same answer.
inline bool IsRead(char c1, char c2)
{
    return (c1 == FamilyValue && c2 == ValueGet) || (c1 == FamilyFile && c2 == FileGet);
}
}

// Time-outs in milliseconds.
namespace CmdTimeout {
constexpr unsigned int Poll = 3000;
constexpr unsigned int BadgeReadAfterPoll = 4000;
constexpr unsigned int BadgeReadShort = 2000;
constexpr unsigned int BadgeCreate = 4000;
constexpr unsigned int Transaction = 2000;
constexpr unsigned int BadgeFormat = 4000;
constexpr unsigned int ValueGet = 1000;
constexpr unsigned int ValuePut = 4000;
constexpr unsigned int File = 2000;
constexpr unsigned int Raw = 2000;
// The longest any request holds the command slot.
constexpr unsigned int Longest = std::max({Poll, BadgeReadAfterPoll, BadgeReadShort, BadgeCreate,
                                           Transaction, BadgeFormat, ValueGet, ValuePut, File, Raw});
}

#endif
