#ifndef REQUESTFRAMEPARSER_H
#define REQUESTFRAMEPARSER_H

#include <QByteArray>

// Cuts the byte stream coming from the application into request frames:
// STX, two letters, payload, ETX, three closing bytes. An STX always starts
// a new frame, so noise and cut-short frames are dropped. The payload is
// bounded; a longer one is flagged, never stored beyond the bound.
class RequestFrameParser
{
public:
    static constexpr int MaxPayload = 999;

    struct Frame {
        char c1 = 0;
        char c2 = 0;
        QByteArray payload;
        bool tooLong = false;
    };

    // Feeds one byte; returns true when it completed a frame (see frame()).
    bool feed(char byte);
    const Frame &frame() const { return m_frame; }

private:
    enum class State { WaitStx, Letter1, Letter2, Payload, Closing };
    State m_state = State::WaitStx;
    int m_closingCount = 0;
    Frame m_frame;
};

#endif
