#include "link/frametrace.h"

#include <QDateTime>

namespace {
QChar Shown(QChar c)
{
    return c.isPrint() ? c : QChar('.');
}

QString Letters(char first, char second)
{
    return QString(Shown(QChar::fromLatin1(first))) + Shown(QChar::fromLatin1(second));
}

// Control bytes would break the line (or the pane): shown as dots.
QString BodyText(const QByteArray &body)
{
    QString text = QString::fromUtf8(body);
    for (QChar &c : text)
        c = Shown(c);
    return text;
}
}

QString FrameTraceLine(const TracedFrame &frame)
{
    QString line = QDateTime::fromMSecsSinceEpoch(frame.timeMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    line += frame.sent ? QStringLiteral(" -> ") : QStringLiteral(" <- ");
    line += Letters(frame.letter1, frame.letter2);
    if (frame.answers.size() == 2)
        line += QStringLiteral(" (%1)").arg(Letters(frame.answers.at(0), frame.answers.at(1)));
    if (!frame.complete)
        line += QStringLiteral(" incomplète");
    line += QStringLiteral(" \"%1\" [%2]").arg(BodyText(frame.body),
                                              QString::fromLatin1(frame.body.toHex(' ').toUpper()));
    return line;
}
