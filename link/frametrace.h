#ifndef FRAMETRACE_H
#define FRAMETRACE_H

#include <QByteArray>
#include <QMetaType>
#include <QString>

// One frame that went over the line, as the engine hands it to the trace.
struct TracedFrame {
    qint64 timeMs = 0;         // milliseconds since the epoch
    bool sent = false;         // true: to the reader; false: from it
    bool complete = true;      // a received frame that ended properly
    char letter1 = 0;          // sent: family; received: type
    char letter2 = 0;          // sent: command; received: status
    QByteArray body;           // payload or answer body
    QByteArray answers;        // received: letters of the request it answers
};
Q_DECLARE_METATYPE(TracedFrame)

// One line of the trace: time with milliseconds, direction, letters, the
// request answered, then the body as text and as hexadecimal bytes.
QString FrameTraceLine(const TracedFrame &frame);

#endif
