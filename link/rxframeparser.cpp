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
