// The configuration file reader on arbitrary bytes: a refused file says
// why and changes nothing; an accepted one gives at most one entry per line,
// and no identifier holds "=" or a line end. What the writer makes of an
// entry reads back as that entry.
#include "config/paramlogic.h"
#include "fuzz/fuzzcheck.h"

namespace {
bool HasLineEnd(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));
    const ConfigLine sentinel{QStringLiteral("kept"), QStringLiteral("as it was")};
    QList<ConfigLine> lines{sentinel};
    QString reason;
    if (!ConfigFileParse(content, &lines, &reason)) {
        check(!reason.isEmpty());
        check(lines.size() == 1 && lines.first().identifier == sentinel.identifier);
        return 0;
    }
    check(lines.size() <= content.count('\n') + content.count('\r') + 1);
    for (const ConfigLine &line : lines) {
        check(!line.identifier.contains(QLatin1Char('=')));
        check(!HasLineEnd(line.identifier) && !HasLineEnd(line.value));

        // The writer's line, read back: one entry, the same one, as long as
        // the local encoding can carry the text.
        const QByteArray written = ConfigFileLine(line.identifier, line.value);
        check(written.endsWith('\n') && written.count('\n') == 1 && !written.contains('\r'));
        QList<ConfigLine> again;
        check(ConfigFileParse(written, &again));
        check(again.size() == 1);
        const QString text = line.identifier + QLatin1Char('=') + line.value;
        if (QString::fromLocal8Bit(text.toLocal8Bit()) == text)
            check(again.first().identifier == line.identifier && again.first().value == line.value);
    }
    return 0;
}
