// The byte text reader on arbitrary text, with any byte count and a
// guarded output: it never writes past the count it was given, and what
// the writer makes of the bytes reads back the same.
#include <cstring>

#include "fuzz/fuzzcheck.h"
#include "util/textutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const quint8 count = data[0] % 40;
    const QByteArray text(reinterpret_cast<const char *>(data + 1), int(size - 1));
    quint8 out[48];
    std::memset(out, 0xA5, sizeof out);
    HexStringToBytes(text.constData(), out, count);
    for (size_t i = count; i < sizeof out; ++i)
        check(out[i] == 0xA5);

    char written[48 * 5 + 1];
    BytesToHexString(out, written, sizeof written, count, "0x", " ");
    check(std::strlen(written) < sizeof written);
    quint8 again[48] = {};
    HexStringToBytes(written, again, count);
    check(std::memcmp(out, again, count) == 0);
    (void)HexStringToValue(text.constData());
    return 0;
}
