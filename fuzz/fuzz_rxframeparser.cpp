// Feeds arbitrary bytes to the answer frame parser. Two byte values double as
// the engine's other calls: 0xFE a silence (cutShort), 0xFD a new send (reset).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/rxframeparser.h"

namespace {
void check(bool cond)
{
    if (!cond)
        std::abort();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RxFrameParser p;
    size_t bodyBytesSinceStart = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (b == 0xFE) {
            const bool begun = p.inFrame();
            check(p.cutShort() == begun);
            check(!p.inFrame());
            if (begun)
                check(p.done() && !p.ok());
            p.clearDone();
            continue;
        }
        if (b == 0xFD) {
            p.reset();
            check(!p.inFrame() && !p.done());
            continue;
        }
        const bool wasInFrame = p.inFrame();
        const RxFrameParser::Step s = p.feed(char(b));
        check(p.bodyLength() <= RxFrameParser::BodyMax);
        check(p.body()[p.bodyLength()] == 0);
        check(std::strlen(p.body()) <= p.bodyLength());
        if (s == RxFrameParser::Step::Start)
            bodyBytesSinceStart = 0;
        if (s == RxFrameParser::Step::Body)
            ++bodyBytesSinceStart;
        switch (s) {
        case RxFrameParser::Step::Skipped:
            check(!wasInFrame && !p.inFrame());
            break;
        case RxFrameParser::Step::Complete:
            check(p.done() && p.ok() && !p.inFrame());
            check(p.bodyLength() == bodyBytesSinceStart);
            p.clearDone();
            break;
        case RxFrameParser::Step::Overflow:
            check(p.done() && !p.ok() && !p.inFrame());
            check(p.bodyLength() == RxFrameParser::BodyMax);
            p.clearDone();
            break;
        default:
            check(p.inFrame());
            break;
        }
    }
    return 0;
}
