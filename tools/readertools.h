#ifndef READERTOOLS_H
#define READERTOOLS_H

#include <QDateTime>
#include <QString>

// Reader parameters written by the clock setting and the output tests.
namespace ReaderToolId {
const char *const Date = "12.255.8";
const char *const Time = "12.255.9";
const char *const TestOutput1 = "12.255.7.0";
const char *const TestOutput2 = "12.255.7.1";
}

// The date ("dd/MM/yy") and the time ("HH:mm") of one moment, as the
// reader's clock takes them.
struct ReaderClockTexts {
    QString date;
    QString time;
};
ReaderClockTexts ClockTexts(const QDateTime &moment);

#endif
