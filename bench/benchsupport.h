#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <functional>

#include "sim/readersim.h"

// The engine's idle wait before each send.
constexpr double QuietWaitMs = 10.0;

inline double WireMs(qint64 bytes)
{
    return double(bytes) * double(ReaderSim::PacedByteNs) / 1e6;
}

inline void BenchOffscreenUnlessDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline bool &BenchKeepLog()
{
    static bool keep = false;
    return keep;
}

inline void BenchLogHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    // The product logs every byte step; on a terminal the printing alone
    // would be timed. Warnings and worse always show.
    if (BenchKeepLog() || type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
}

inline void BenchQuietLog(bool keep)
{
    BenchKeepLog() = keep;
    qInstallMessageHandler(BenchLogHandler);
}

inline bool WaitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The simulated reader in a thread of its own, so that its pacing timer
// does not wait for the window's work.
class SimThread
{
public:
    explicit SimThread(bool paced)
    {
        m_thread.start();
        m_sim = new ReaderSim;
        m_sim->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_sim, [this, paced] {
            m_started = m_sim->start();
            m_sim->setPacing(paced);
        }, Qt::BlockingQueuedConnection);
    }
    ~SimThread()
    {
        QMetaObject::invokeMethod(m_sim, [this] { delete m_sim; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool started() const { return m_started; }
    // Runs f in the simulator's thread and waits for it.
    void run(const std::function<void(ReaderSim &)> &f)
    {
        QMetaObject::invokeMethod(m_sim, [this, &f] { f(*m_sim); }, Qt::BlockingQueuedConnection);
    }
    ReaderSim *sim() const { return m_sim; }
    QString port() const { return m_sim->slavePath(); }
    qint64 bytes() const
    {
        qint64 total = 0;
        QMetaObject::invokeMethod(m_sim, [this, &total] {
            total = m_sim->bytesReceived() + m_sim->bytesSent();
        }, Qt::BlockingQueuedConnection);
        return total;
    }

private:
    QThread m_thread;
    ReaderSim *m_sim = nullptr;
    bool m_started = false;
};

#endif
