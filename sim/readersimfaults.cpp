// The simulator's faulty line: answers shaped by SimFaults, the adapter
// pulled out and plugged back, a reader that floods the line.
#include "sim/readersim.h"

#include <QTimer>

#include <unistd.h>

namespace {
constexpr int FloodIntervalMs = 2;
constexpr int MaxFloodSeconds = 3600;
}

void ReaderSim::sendThroughFaults(const QByteArray &frame)
{
    const SimFaultPlan plan =
        m_linkFaults.shape(frame, SimCommandTimeoutMs(m_answerC1, m_answerC2));
    if (!plan.fault.isEmpty())
        emit faultInjected(m_answerC1, m_answerC2, plan.fault);
    if (plan.floodMs > 0)
        flood(plan.floodMs);
    if (plan.unplugForMs >= 0) {
        // Not from within the reading of the request: the notifiers go.
        QTimer::singleShot(0, this, [this, ms = plan.unplugForMs] { unplug(ms); });
        return;
    }
    if (plan.bytes.isEmpty())
        return;
    if (plan.delayMs <= 0) {
        queueOutput(plan.bytes);
        return;
    }
    QTimer::singleShot(plan.delayMs, Qt::PreciseTimer, this, [this, bytes = plan.bytes, plugged = m_plugGeneration] {
        if (plugged == m_plugGeneration)
            queueOutput(bytes);
    });
}

void ReaderSim::unplug(int replugAfterMs)
{
    if (m_master >= 0) {
        closeMaster();
        ++m_plugGeneration;
        m_parser = RequestFrameParser();
        m_pacedIn = PacedLine();
        m_pacedOut = PacedLine();
        if (m_floodTimer)
            m_floodTimer->stop();
    }
    if (replugAfterMs >= 0) {
        QTimer::singleShot(replugAfterMs, Qt::PreciseTimer, this, [this, plugged = m_plugGeneration] {
            if (plugged == m_plugGeneration && m_master < 0)
                replug();
        });
    }
}

bool ReaderSim::replug(QString *error)
{
    if (m_master >= 0)
        return true;
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
    if (!openPty(error))
        return false;
    return m_linkPath.isEmpty() || createLink(m_linkPath, error);
}

void ReaderSim::flood(int ms)
{
    if (!m_floodTimer) {
        m_floodTimer = new QTimer(this);
        m_floodTimer->setInterval(FloodIntervalMs);
        connect(m_floodTimer, &QTimer::timeout, this, &ReaderSim::floodTick);
        m_floodClock.start();
    }
    m_floodUntilMs = m_floodClock.elapsed() + ms;
    if (ms > 0 && m_master >= 0)
        m_floodTimer->start();
    else
        m_floodTimer->stop();
}

void ReaderSim::floodTick()
{
    if (m_master < 0 || m_floodClock.elapsed() >= m_floodUntilMs) {
        m_floodTimer->stop();
        return;
    }
    // As fast as the line takes them, no faster: a backlog would keep the
    // flood going long after its end.
    if (m_output.isEmpty() && m_pacedOut.bytes.isEmpty())
        sendDebug(QStringLiteral("flood %1").arg(++m_floodCount));
}

bool ReaderSim::faultControl(const QString &command, const QString &argument, QString *reply)
{
    if (command == QLatin1String("unplug")) {
        bool ok = argument.isEmpty();
        const int ms = ok ? -1 : argument.toInt(&ok);
        if (!ok || ms < -1) {
            *reply = QStringLiteral("Usage : unplug [MS]");
            return true;
        }
        unplug(ms);
        *reply = ms < 0 ? QStringLiteral("Adaptateur débranché")
                        : QStringLiteral("Adaptateur débranché, rebranché dans %1 ms").arg(ms);
        return true;
    }
    if (command == QLatin1String("replug")) {
        QString error;
        if (m_master >= 0)
            *reply = QStringLiteral("L'adaptateur est déjà branché");
        else if (replug(&error))
            *reply = QStringLiteral("Adaptateur rebranché : %1").arg(m_slavePath);
        else
            *reply = QStringLiteral("Rebranchement impossible : %1").arg(error);
        return true;
    }
    if (command == QLatin1String("flood")) {
        bool ok = false;
        const int seconds = argument.toInt(&ok);
        if (!ok || seconds < 0 || seconds > MaxFloodSeconds) {
            *reply = QStringLiteral("Usage : flood S");
            return true;
        }
        flood(seconds * 1000);
        *reply = seconds ? QStringLiteral("Trames 'D' sans arrêt pendant %1 s").arg(seconds)
                         : QStringLiteral("Fin du flot de trames 'D'");
        return true;
    }
    if (command == QLatin1String("faults") && argument == QLatin1String("off"))
        flood(0);
    return m_linkFaults.control(command, argument, reply);
}
