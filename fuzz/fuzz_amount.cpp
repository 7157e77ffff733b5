// The amount readers on arbitrary text: what one accepts, the other writes
// back as the same number of hundredths.
#include "fuzz/fuzzcheck.h"
#include "util/textutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    bool ok = false;
    const qint32 cents = AmountToCents(text, ok);
    if (ok && cents >= 0) {
        bool again = false;
        check(AmountToCents(CentsToString(quint32(cents)), again) == cents && again);
    }
    bool converted = false;
    const QString amount = CentsStringToAmount(text, converted);
    if (converted) {
        bool again = false;
        check(AmountToCents(amount, again) == text.toInt() && again);
    } else {
        check(amount.isEmpty());
    }
    return 0;
}
