// The blacklist's CSV import on arbitrary bytes: a refusal says why and
// leaves the rows alone; accepted rows have the five cells, and what the
// export writes of them reads back as the same rows.
#include "blacklist/blacklistcsv.h"
#include "blacklist/blacklisttext.h"
#include "fuzz/fuzzcheck.h"

using namespace BlackList;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));
    const QList<QStringList> kept{QStringList{QStringLiteral("kept")}};
    QList<QStringList> rows = kept;
    QString reason;
    if (!BlackListCsvParse(content, &rows, &reason)) {
        check(!reason.isEmpty() && rows == kept);
        return 0;
    }
    check(rows.size() <= MaxFileRows);
    for (const QStringList &row : rows)
        check(row.size() == ColumnCount);

    // Quoting and UTF-8 may lengthen a line past the bound only for inputs
    // far larger than the fuzzer's.
    const QByteArray written = BlackListCsvContent(rows);
    if (written.size() <= MaxLineBytes) {
        QList<QStringList> again;
        check(BlackListCsvParse(written, &again, &reason));
        check(again == rows);
    }
    return 0;
}
