#include "core/pollanswer.h"

namespace {
constexpr int PosSupport = 1;
constexpr int PosSupportOk = 2;
constexpr int PosStatus = 3;
constexpr int PosDetail = 5;

bool CharAt(const QString &text, int pos, char c)
{
    return pos < text.size() && text.at(pos) == QLatin1Char(c);
}
}

PollAnswer PollAnswerParse(const QString &answer)
{
    PollAnswer poll;
    poll.support = CharAt(answer, PosSupport, '1');
    poll.supportOk = CharAt(answer, PosSupportOk, '1');
    bool converted = false;
    poll.status = quint32(answer.mid(PosStatus, 2).toInt(&converted));
    if (!converted)
        poll.status = 0;
    poll.detail = answer.mid(PosDetail, 3);
    return poll;
}
