#ifndef CLIRUN_H
#define CLIRUN_H

#include <QElapsedTimer>
#include <QProcess>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>
#include <functional>

// One run of the built kovrim-cli as a real process. The test's event loop
// keeps turning meanwhile: the simulators in the test process answer it.
struct CliRun {
    int exitCode = -1;
    bool ended = false;
    QString out;
    QString err;
    qint64 elapsedMs = 0;

    QStringList outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

class CliProcess
{
public:
    // `setup` may change the process before it starts: its environment,
    // its output, or a shell that runs the program (CliPath()).
    explicit CliProcess(const QStringList &arguments,
                        const std::function<void(QProcess &)> &setup = {})
    {
        m_process.setProgram(CliPath());
        m_process.setArguments(arguments);
        if (setup)
            setup(m_process);
        m_timer.start();
        m_process.start();
    }
    static QString CliPath()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/" KOVRIM_CLI_RELATIVE_PATH);
    }
    qint64 pid() const { return m_process.processId(); }
    // Waits for the end, at most timeoutMs (then the process is killed).
    CliRun finish(int timeoutMs = 60000)
    {
        CliRun run;
        if (m_process.state() != QProcess::NotRunning) {
            // The end comes through the event loop: it cannot slip in before exec().
            QEventLoop loop;
            QObject::connect(&m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
                             &loop, &QEventLoop::quit);
            QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        run.elapsedMs = m_timer.elapsed();
        run.ended = m_process.state() == QProcess::NotRunning
                    && m_process.exitStatus() == QProcess::NormalExit;
        if (!run.ended) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
        run.exitCode = run.ended ? m_process.exitCode() : -1;
        run.out = QString::fromUtf8(m_process.readAllStandardOutput());
        run.err = QString::fromUtf8(m_process.readAllStandardError());
        return run;
    }

private:
    QProcess m_process;
    QElapsedTimer m_timer;
};

inline CliRun RunCli(const QStringList &arguments, int timeoutMs = 60000,
                     const std::function<void(QProcess &)> &setup = {})
{
    CliProcess process(arguments, setup);
    return process.finish(timeoutMs);
}

#endif
