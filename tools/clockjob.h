#ifndef CLOCKJOB_H
#define CLOCKJOB_H

#include <QDateTime>

#include "link/readerjob.h"
#include "tools/readertools.h"

// Sets the reader's date, then the time of the same moment. Done only
// when the reader accepted both.
class ClockJob : public ReaderJob
{
    Q_OBJECT
public:
    explicit ClockJob(ReaderSession &session, QObject *parent = nullptr);
    // The moment to set; the PC's clock at the start when not given.
    void setMoment(const QDateTime &moment) { m_moment = moment; }

protected:
    QString phaseName() const override;
    int phaseTotal() const override;
    void begin() override;
    void answer(unsigned int code, const ReaderAnswer &answer) override;
    void aborted() override {}
    QString outcomeText(JobOutcome outcome) const override;

private:
    QDateTime m_moment;
    ReaderClockTexts m_texts;
    bool m_dateSent = false;
};

#endif
