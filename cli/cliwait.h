#ifndef CLIWAIT_H
#define CLIWAIT_H

#include <QEventLoop>
#include <QTimer>

// Waits in a local event loop until done() is called, or a bound passes.
// done() before wait() is kept: a job may end inside its start().
class CliWait
{
public:
    void done()
    {
        m_done = true;
        m_loop.quit();
    }
    // False when the bound passed first; a bound below 0 waits for ever.
    bool wait(int timeoutMs = -1)
    {
        if (m_done)
            return true;
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        if (timeoutMs >= 0)
            bound.start(timeoutMs);
        m_loop.exec();
        return m_done;
    }
    bool isDone() const { return m_done; }

private:
    QEventLoop m_loop;
    bool m_done = false;
};

#endif
