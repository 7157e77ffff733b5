#ifndef READERTOOLS_H
#define READERTOOLS_H

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

struct ConfigRead;

// Reader parameters written by the clock setting and the output tests.
namespace ReaderToolId {
const char *const Date = "12.255.8";
const char *const Time = "12.255.9";
// The reader's clock as it tells it: "HH:mm" and "dd/MM/yy".
const char *const ClockTime = "12.3";
const char *const ClockDate = "12.4";
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
// The moment the reader's texts name (to the minute, in the 2000s); invalid
// when they name none.
QDateTime ClockMoment(const ReaderClockTexts &texts);
// The clock texts among reads of the reader's parameters; none when either
// is missing or was refused.
std::optional<ReaderClockTexts> ClockTextsRead(const QList<ConfigRead> &reads);
// Seconds the reader's clock is ahead of pc (negative: behind), known to the
// minute as the reader tells it; none when its texts name no moment.
std::optional<qint64> ClockDriftSecs(const ReaderClockTexts &texts, const QDateTime &pc);

#endif
