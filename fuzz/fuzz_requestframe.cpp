// The simulator's request frame parser on arbitrary bytes: frames it
// completes hold at most the bounded payload, and a flagged frame is full.
#include "fuzz/fuzzcheck.h"
#include "sim/requestframeparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RequestFrameParser parser;
    for (size_t i = 0; i < size; ++i) {
        if (!parser.feed(char(data[i])))
            continue;
        const RequestFrameParser::Frame &frame = parser.frame();
        check(frame.payload.size() <= RequestFrameParser::MaxPayload);
        check(!frame.tooLong || frame.payload.size() == RequestFrameParser::MaxPayload);
        check(!frame.payload.contains('\x02') && !frame.payload.contains('\x03'));
    }
    return 0;
}
