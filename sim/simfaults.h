#ifndef SIMFAULTS_H
#define SIMFAULTS_H

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

// What becomes of one answer on a faulty line.
struct SimFaultPlan {
    QByteArray bytes;      // what goes out; empty: nothing
    int delayMs = 0;       // when it goes out
    int unplugForMs = -1;  // >= 0: the adapter vanishes instead, back after that
    int floodMs = 0;       // a stream of 'D' frames starts with the answer
    QString fault;         // what was done to it ("drop", "cut"...); empty: nothing
};

// The faults of a flaky adapter and a mumbling reader, applied to the
// simulator's answers (never to its own 'D' frames): dropped, cut short,
// garbage before or inside, delayed, late, and a random mode that mixes
// them with a seed. Unplugging and flooding act on the whole line; the
// simulator carries them out when a plan asks for them.
class SimFaults
{
public:
    static constexpr int GarbageBytes = 8;
    // A late answer comes this long after its command's time-out.
    static constexpr int LateMarginMs = 300;

    // Control lines drop, cut, garbage, delay, late, random and "faults";
    // false for any other command.
    bool control(const QString &command, const QString &argument, QString *reply);
    static QString controlHelp();

    // The plan for the answer `frame` to a command with time-out timeoutMs.
    SimFaultPlan shape(const QByteArray &frame, int timeoutMs);
    void clear();
    QString describe() const;

    void setRandom(quint32 seed, int ratePercent);
    bool isRandom() const { return m_ratePercent > 0; }

private:
    enum class Garbage { None, Before, Inside };
    QByteArray garbage(int count, char forbidden);
    QByteArray withGarbageInside(const QByteArray &frame, int count);
    void randomFault(SimFaultPlan &plan, int timeoutMs);

    int m_drop = 0;
    int m_cut = -1;
    Garbage m_garbage = Garbage::None;
    int m_garbageCount = GarbageBytes;
    int m_delayMs = 0;
    bool m_late = false;
    int m_ratePercent = 0;
    QRandomGenerator m_random;
};

// The time-out the application gives a command, by its letters.
int SimCommandTimeoutMs(char c1, char c2);

#endif
