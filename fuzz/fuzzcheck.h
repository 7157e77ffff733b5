#ifndef FUZZCHECK_H
#define FUZZCHECK_H

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

// A broken property aborts, which the fuzzer reports with its input.
inline void check(bool cond)
{
    if (!cond)
        std::abort();
}

// Inputs reach the parsers as text read from a file, a field or the link.
inline QString fuzzText(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
}

#endif
