#include "sim/requestframeparser.h"

namespace {
constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
constexpr int ClosingLength = 3;
}

bool RequestFrameParser::feed(char byte)
{
    if (byte == Stx) {
        m_frame = Frame();
        m_closingCount = 0;
        m_state = State::Letter1;
        return false;
    }
    switch (m_state) {
    case State::WaitStx:
        return false;
    case State::Letter1:
        m_frame.c1 = byte;
        m_state = State::Letter2;
        return false;
    case State::Letter2:
        m_frame.c2 = byte;
        m_state = State::Payload;
        return false;
    case State::Payload:
        if (byte == Etx)
            m_state = State::Closing;
        else if (m_frame.payload.size() < MaxPayload)
            m_frame.payload.append(byte);
        else
            m_frame.tooLong = true;
        return false;
    case State::Closing:
        if (++m_closingCount < ClosingLength)
            return false;
        m_state = State::WaitStx;
        return true;
    }
    return false;
}
