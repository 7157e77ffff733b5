#include "link/rxframeparser.h"

RxFrameParser::Step RxFrameParser::feed(char byte)
{
    if (position == 0) {
        // Resynchronise: only an STX starts a frame.
        if (byte != STX)
            return Step::Skipped;
        rxDone = false;
        rxOk = false;
        // A frame cut before its letters must not show the previous ones.
        header1 = 0;
        header2 = 0;
        etxSeen = false;
        closingLen = 0;
        closing[0] = 0;
        bodyLen = 0;
        bodyBuf[0] = 0;
        position = 1;
        return Step::Start;
    }
    if (position == 1) {
        header1 = byte;
        position = 2;
        return Step::Type;
    }
    if (position == 2) {
        header2 = byte;
        position = 3;
        return Step::Status;
    }
    ++position;
    if (!etxSeen && byte == ETX) {
        etxSeen = true;
        return Step::Etx;
    }
    if (etxSeen) {
        closing[closingLen++] = byte;
        closing[closingLen] = 0;
        if (closingLen < ClosingCount)
            return Step::Closing;
        rxOk = true;
        rxDone = true;
        position = 0;
        return Step::Complete;
    }
    if (bodyLen >= BodyMax) {
        rxOk = false;
        rxDone = true;
        position = 0;
        return Step::Overflow;
    }
    bodyBuf[bodyLen++] = byte;
    bodyBuf[bodyLen] = 0;
    return Step::Body;
}

bool RxFrameParser::cutShort()
{
    if (position == 0)
        return false;
    rxOk = false;
    rxDone = true;
    position = 0;
    return true;
}

void RxFrameParser::reset()
{
    position = 0;
    rxDone = false;
}

namespace {
// Continuation bytes that one UTF-8 lead byte announces; -1: no lead byte.
int Utf8Continuations(unsigned char lead)
{
    if (lead < 0x80)
        return 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 2;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 3;
    return -1;
}

// The smallest and largest second byte after `lead`: no overlong form, no
// surrogate, nothing past U+10FFFF, no C1 control.
void SecondByteRange(unsigned char lead, unsigned char *low, unsigned char *high)
{
    *low = 0x80;
    *high = 0xBF;
    if (lead == 0xC2)
        *low = 0xA0;  // U+0080..U+009F are control characters too
    else if (lead == 0xE0)
        *low = 0xA0;
    else if (lead == 0xED)
        *high = 0x9F;
    else if (lead == 0xF0)
        *low = 0x90;
    else if (lead == 0xF4)
        *high = 0x8F;
}
}

bool AnswerBodyIsText(const char *body, std::size_t length)
{
    std::size_t i = 0;
    while (i < length) {
        const auto lead = static_cast<unsigned char>(body[i]);
        if (lead < 0x20 || lead == 0x7F)
            return false;
        const int more = Utf8Continuations(lead);
        if (more < 0 || (more > 0 && i + std::size_t(more) >= length))
            return false;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        SecondByteRange(lead, &low, &high);
        for (int k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(body[i + std::size_t(k)]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return false;
        }
        i += std::size_t(more) + 1;
    }
    return true;
}
