#include "ledger/ledgerjobrecorder.h"

#include "ledger/ledgerentry.h"

LedgerJobRecorder::LedgerJobRecorder(const ReaderJob &job, const QString &kind, Record record,
                                     QObject *parent)
    : QObject(parent), m_kind(kind), m_record(std::move(record))
{
    connect(&job, &ReaderJob::outcomeLine, this, [this](const QString &line) { m_lines << line; });
    connect(&job, &ReaderJob::journal, this, [this](const QString &line) { m_lines << line; });
    connect(&job, &ReaderJob::finished, this, &LedgerJobRecorder::ended);
}

void LedgerJobRecorder::ended(JobOutcome outcome)
{
    const QStringList lines = m_lines;
    m_lines.clear();
    m_record(m_kind, outcome == JobOutcome::Done ? LedgerOutcome::Done : LedgerOutcome::Failed,
             lines.join(QLatin1Char('\n')));
}
