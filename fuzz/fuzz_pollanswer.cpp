// The poll answer reader on arbitrary text: the detail is at most three
// characters and the flags are only set by a '1'.
#include "core/pollanswer.h"
#include "fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString answer = fuzzText(data, size);
    const PollAnswer poll = PollAnswerParse(answer);
    check(poll.detail.size() <= 3);
    check(!poll.support || answer.at(1) == QLatin1Char('1'));
    check(!poll.supportOk || answer.at(2) == QLatin1Char('1'));
    check(answer.size() >= 4 || poll.status == 0);
    return 0;
}
