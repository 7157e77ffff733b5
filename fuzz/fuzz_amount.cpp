// The amount readers on arbitrary text: what one accepts, the other writes
// back as the same number of hundredths.
#include "fuzz/fuzzcheck.h"
#include "util/amount.h"
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
    // A reading is either accepted or refused with a reason; what the typed-
    // amount reader accepts, it reads back from its own text.
    const AmountReading typed = AmountRead(text);
    check(typed.ok == typed.refusal.isEmpty());
    if (typed.ok) {
        check(typed.cents >= 0 && typed.cents <= AmountMaxCents);
        const AmountReading again = AmountRead(CentsToString(quint32(typed.cents)));
        check(again.ok && again.cents == typed.cents);
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
