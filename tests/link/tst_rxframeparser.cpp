#include <QtTest>

#include "link/rxframeparser.h"

using Step = RxFrameParser::Step;

namespace {

const char STX = RxFrameParser::STX;
const char ETX = RxFrameParser::ETX;

QByteArray frame(char type, char status, const QByteArray &body, const QByteArray &closing = "012")
{
    return QByteArray(1, STX) + type + status + body + ETX + closing;
}

// One ended frame, written compactly for the tables: type, status, '+' when
// complete or '-' when cut short, then the body.
QByteArray ended(const RxFrameParser &p)
{
    return QByteArray(1, p.type()) + p.status() + (p.ok() ? '+' : '-')
        + QByteArray(p.body(), int(p.bodyLength()));
}

QByteArray complete(char type, char status, const QByteArray &body)
{
    return QByteArray(1, type) + status + '+' + body;
}

// Feeds every byte and lists the frames that ended, checking after each byte
// that the body stays within its area and NUL-terminated.
QByteArrayList feedAll(RxFrameParser &p, const QByteArray &bytes)
{
    QByteArrayList out;
    for (char b : bytes) {
        const Step s = p.feed(b);
        if (p.bodyLength() > RxFrameParser::BodyMax || p.body()[p.bodyLength()] != 0) {
            out << "BODY-BOUND-BROKEN";
            return out;
        }
        if (s == Step::Complete || s == Step::Overflow) {
            if (!p.done())
                out << "ENDED-BUT-NOT-DONE";
            out << ended(p);
            p.clearDone();
        }
    }
    return out;
}

} // namespace

class TestRxFrameParser : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void stepsOfOneFrame();
    void cutShort_data();
    void cutShort();
    void resetDropsPartialFrame();
    void doneSurvivesNoiseUntilNextStart();
    void answerBodyIsText_data();
    void answerBodyIsText();
};

void TestRxFrameParser::frames_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<bool>("inFrameAfter");

    const QByteArray b1001(1001, 'x');
    const QByteArray b1002(1002, 'y');
    const QByteArray b300 = QByteArray(300, 'z') + "end";

    QTest::newRow("simple") << frame('A', '0', "hello") << QByteArrayList{complete('A', '0', "hello")} << false;
    QTest::newRow("empty body") << frame('A', '1', "") << QByteArrayList{complete('A', '1', "")} << false;
    QTest::newRow("debug frame") << frame('D', '0', "trace 1") << QByteArrayList{complete('D', '0', "trace 1")} << false;
    QTest::newRow("closing values ignored") << frame('A', '0', "v", QByteArray("\xff\x00\x7f", 3)) << QByteArrayList{complete('A', '0', "v")}
                                           << false;
    QTest::newRow("ETX among closing bytes counts as closing")
        << frame('A', '0', "v", QByteArray(3, ETX)) + frame('B', '0', "next")
        << QByteArrayList{complete('A', '0', "v"), complete('B', '0', "next")} << false;
    QTest::newRow("STX inside body is body") << frame('A', '0', QByteArray("a") + STX + "b")
                                            << QByteArrayList{complete('A', '0', QByteArray("a") + STX + "b")} << false;
    QTest::newRow("header bytes taken as they come") << frame(ETX, STX, "h")
                                                    << QByteArrayList{complete(ETX, STX, "h")} << false;
    QTest::newRow("utf-8 bytes kept raw") << frame('A', '0', "\xc3\xa9t\xc3\xa9") << QByteArrayList{complete('A', '0', "\xc3\xa9t\xc3\xa9")}
                                         << false;
    QTest::newRow("noise before STX skipped") << QByteArray("zz\x00\x03" "012", 7) + frame('A', '0', "ok")
                                             << QByteArrayList{complete('A', '0', "ok")} << false;
    QTest::newRow("two frames back to back") << frame('A', '0', "one") + frame('D', '5', "two")
                                            << QByteArrayList{complete('A', '0', "one"), complete('D', '5', "two")} << false;
    QTest::newRow("noise between frames") << frame('A', '0', "one") + "garbage\x03" + frame('A', '0', "two")
                                         << QByteArrayList{complete('A', '0', "one"), complete('A', '0', "two")} << false;
    QTest::newRow("body over 252 bytes") << frame('A', '0', b300) << QByteArrayList{complete('A', '0', b300)} << false;
    QTest::newRow("body of 1001 bytes fits") << frame('A', '0', b1001) << QByteArrayList{complete('A', '0', b1001)} << false;
    // The 1002nd body byte ends the frame as cut short; the rest of it is noise
    // and the next frame is read from its STX.
    QTest::newRow("body of 1002 bytes cut short")
        << frame('A', '0', b1002) + frame('B', '0', "after")
        << QByteArrayList{QByteArray("A0-") + QByteArray(1001, 'y'), complete('B', '0', "after")} << false;
    QTest::newRow("body of 5000 bytes cut short once")
        << frame('A', '0', QByteArray(5000, 'w')) + frame('B', '0', "after")
        << QByteArrayList{QByteArray("A0-") + QByteArray(1001, 'w'), complete('B', '0', "after")} << false;
    QTest::newRow("unfinished frame pending") << QByteArray(1, STX) + "A0par" << QByteArrayList{} << true;
    QTest::newRow("waits for third closing byte") << QByteArray(1, STX) + "A0b" + ETX + "01" << QByteArrayList{} << true;
    QTest::newRow("noise only") << QByteArray("abc\x03\x03\x03") << QByteArrayList{} << false;
}

void TestRxFrameParser::frames()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, expected);
    QFETCH(bool, inFrameAfter);

    RxFrameParser p;
    QCOMPARE(feedAll(p, input), expected);
    QCOMPARE(p.inFrame(), inFrameAfter);
}

void TestRxFrameParser::stepsOfOneFrame()
{
    RxFrameParser p;
    QList<Step> steps;
    for (char b : QByteArray("x") + frame('A', '0', "hi"))
        steps << p.feed(b);
    const QList<Step> expected{Step::Skipped, Step::Start, Step::Type, Step::Status, Step::Body, Step::Body,
                               Step::Etx, Step::Closing, Step::Closing, Step::Complete};
    QCOMPARE(steps, expected);
    QVERIFY(p.done());
    QVERIFY(p.ok());
    QVERIFY(!p.inFrame());
}

void TestRxFrameParser::cutShort_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("begun");
    QTest::addColumn<QByteArray>("partialBody");

    QTest::newRow("nothing received") << QByteArray() << false << QByteArray();
    QTest::newRow("noise only") << QByteArray("noise") << false << QByteArray();
    QTest::newRow("after STX") << QByteArray(1, STX) << true << QByteArray();
    QTest::newRow("after type letter") << QByteArray(1, STX) + 'A' << true << QByteArray();
    QTest::newRow("inside body") << QByteArray(1, STX) + "A0part" << true << QByteArray("part");
    QTest::newRow("after ETX") << QByteArray(1, STX) + "A0b" + ETX << true << QByteArray("b");
    QTest::newRow("after ETX and one closing byte") << QByteArray(1, STX) + "A0b" + ETX + '0' << true << QByteArray("b");
    QTest::newRow("after ETX and two closing bytes") << QByteArray(1, STX) + "A0b" + ETX + "01" << true << QByteArray("b");
}

void TestRxFrameParser::cutShort()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, begun);
    QFETCH(QByteArray, partialBody);

    RxFrameParser p;
    QCOMPARE(feedAll(p, before), QByteArrayList{});
    QCOMPARE(p.cutShort(), begun);
    QCOMPARE(p.done(), begun);
    QVERIFY(!p.inFrame());
    if (begun) {
        QVERIFY(!p.ok());
        QCOMPARE(QByteArray(p.body(), int(p.bodyLength())), partialBody);
    }
    // A second silence has nothing left to end.
    p.clearDone();
    QVERIFY(!p.cutShort());
    QVERIFY(!p.done());

    // The next frame is read from its own STX, the closing bytes of the cut
    // one being mere noise.
    QCOMPARE(feedAll(p, QByteArray("12") + frame('A', '0', "next")), QByteArrayList{complete('A', '0', "next")});
}

void TestRxFrameParser::resetDropsPartialFrame()
{
    RxFrameParser p;
    feedAll(p, QByteArray(1, STX) + "A0ab");
    QVERIFY(p.inFrame());
    p.reset();
    QVERIFY(!p.inFrame());
    QVERIFY(!p.done());
    // The tail of the dropped frame does not end anything.
    QCOMPARE(feedAll(p, QByteArray("cd") + ETX + "012"), QByteArrayList{});
    QCOMPARE(feedAll(p, frame('A', '0', "fresh")), QByteArrayList{complete('A', '0', "fresh")});
}

void TestRxFrameParser::doneSurvivesNoiseUntilNextStart()
{
    RxFrameParser p;
    for (char b : frame('A', '0', "x"))
        p.feed(b);
    QVERIFY(p.done());
    // Noise neither clears an ended frame nor pretends a new one began.
    for (char b : QByteArray("zz"))
        QCOMPARE(p.feed(b), Step::Skipped);
    QVERIFY(p.done());
    QVERIFY(p.ok());
    QVERIFY(!p.cutShort());
    // A new frame start withdraws the ended one.
    QCOMPARE(p.feed(STX), Step::Start);
    QVERIFY(!p.done());
    QVERIFY(!p.ok());
}

void TestRxFrameParser::answerBodyIsText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("text");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("value") << QByteArray("3.0.0=Kovrim 1204") << true;
    QTest::newRow("accents") << QByteArray("Laverie de l'\xc3\x89glise") << true;
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x94\x91") << true;
    QTest::newRow("latin-1") << QByteArray("caf\xe9") << false;
    QTest::newRow("lone continuation") << QByteArray("a\x80" "b") << false;
    QTest::newRow("cut sequence at the end") << QByteArray("ab\xc3") << false;
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    QTest::newRow("C1 control") << QByteArray("a\xc2\x85") << false;
    QTest::newRow("tab") << QByteArray("a\tb") << false;
    QTest::newRow("newline") << QByteArray("a\nb") << false;
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << false;
    QTest::newRow("STX inside") << QByteArray("a\x02" "b") << false;
    QTest::newRow("DEL") << QByteArray("a\x7f") << false;
}

void TestRxFrameParser::answerBodyIsText()
{
    QFETCH(QByteArray, body);
    QTEST(AnswerBodyIsText(body.constData(), std::size_t(body.size())), "text");
}

QTEST_APPLESS_MAIN(TestRxFrameParser)
#include "tst_rxframeparser.moc"
