#ifndef LEDGERJOBRECORDER_H
#define LEDGERJOBRECORDER_H

#include <QObject>
#include <QStringList>
#include <functional>

#include "link/readerjob.h"

// One ledger row per run of a job that writes to a reader: its outcome
// line and what it journaled (what failed, where the backup went), told
// to `record` when the run ends. The job itself knows nothing of it.
class LedgerJobRecorder : public QObject
{
    Q_OBJECT
public:
    using Record = std::function<void(const QString &kind, const QString &outcome, const QString &detail)>;
    LedgerJobRecorder(const ReaderJob &job, const QString &kind, Record record, QObject *parent = nullptr);

private:
    void ended(JobOutcome outcome);

    QString m_kind;
    Record m_record;
    QStringList m_lines;
};

#endif
