#ifndef SESSIONFIXTURE_H
#define SESSIONFIXTURE_H

#include <QSignalSpy>
#include <QtTest>

#include "link/readerjob.h"
#include "link/readersession.h"
#include "sim/readersim.h"

// A reader session on one side of a pseudo-terminal, the simulator on the
// other: the core as the command-line tool uses it, no window.
struct SessionWithReader {
    ReaderSim sim;
    ReaderSession session;

    bool start()
    {
        if (!sim.start())
            return false;
        session.open(sim.slavePath());
        return QTest::qWaitFor([this] { return session.isOpen(); }, 5000);
    }

    // Runs the job to its end and returns its outcome.
    static JobOutcome run(ReaderJob &job, int timeoutMs = 30000)
    {
        QSignalSpy finished(&job, &ReaderJob::finished);
        if (!job.start())
            return JobOutcome::LinkLost;
        if (finished.isEmpty() && !finished.wait(timeoutMs))
            qFatal("job never ended");
        return finished.first().first().value<JobOutcome>();
    }
};

Q_DECLARE_METATYPE(JobOutcome)

#endif
