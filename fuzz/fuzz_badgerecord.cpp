// The badge record reader on arbitrary text: every pair it yields has a key
// without separators, and the fields for the form are only known keys.
#include "badge/badgerecord.h"
#include "fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString record = fuzzText(data, size);
    const QVector<RecordPair> pairs = RecordPairsParse(record);
    check(pairs.size() <= record.count(QLatin1Char(';')) + 1);
    for (const RecordPair &pair : pairs)
        check(!pair.key.contains(QLatin1Char(';')) && !pair.key.contains(QLatin1Char('='))
              && !pair.value.contains(QLatin1Char(';')));
    for (const BadgeFieldText &field : BadgeRecordToFields(record))
        check(field.key.size() == 3 && field.text.size() <= record.size() + 16);
    return 0;
}
