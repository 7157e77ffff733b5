#ifndef RXFRAMEPARSER_H
#define RXFRAMEPARSER_H

#include <cstddef>

// Byte-level receiver of answer frames: STX, type letter, status letter,
// body, ETX, three closing bytes. Fed one byte at a time; knows nothing of
// serial ports or timers, so it can be tested and fuzzed on its own.
class RxFrameParser
{
public:
    static constexpr char STX = 0x02;
    static constexpr char ETX = 0x03;
    static constexpr std::size_t BodyMax = 1001;   // body characters kept
    static constexpr std::size_t ClosingCount = 3;

    enum class Step {
        Skipped,     // noise before a frame start, dropped
        Start,       // STX, a new frame begins
        Type,        // first header letter stored
        Status,      // second header letter stored
        Body,        // body byte stored
        Etx,         // ETX seen
        Closing,     // a closing byte stored, more expected
        Complete,    // third closing byte: frame complete
        Overflow,    // body too long: frame ended as cut short
    };

    Step feed(char byte);
    // No byte came for too long: ends a begun frame as cut short.
    // Returns true when a frame had begun.
    bool cutShort();
    // Drops any partial frame, as before a new exchange.
    void reset();

    bool inFrame() const { return position != 0; }
    bool done() const { return rxDone; }
    bool ok() const { return rxOk; }
    void clearDone() { rxDone = false; }

    char type() const { return header1; }
    char status() const { return header2; }
    const char *body() const { return bodyBuf; }
    std::size_t bodyLength() const { return bodyLen; }

private:
    std::size_t position = 0;
    char header1 = 0;
    char header2 = 0;
    char bodyBuf[BodyMax + 1] = {};
    std::size_t bodyLen = 0;
    bool etxSeen = false;
    char closing[ClosingCount + 1] = {};
    std::size_t closingLen = 0;
    bool rxDone = false;
    bool rxOk = false;
};

// Whether an answer body is text a reader sends: valid UTF-8 without
// control characters. Noise inside a frame leaves it complete but with
// such bytes; its body is no value.
bool AnswerBodyIsText(const char *body, std::size_t length);

#endif
