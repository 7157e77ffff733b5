#include "tools/clockjob.h"

#include "config/configmodel.h"
#include "link/commands.h"
#include "link/readersession.h"

ReaderClockTexts ClockTexts(const QDateTime &moment)
{
    return {moment.toString(QStringLiteral("dd/MM/yy")), moment.toString(QStringLiteral("HH:mm"))};
}

QDateTime ClockMoment(const ReaderClockTexts &texts)
{
    QDate date = QDate::fromString(texts.date.trimmed(), QStringLiteral("dd/MM/yy"));
    // Two-digit years read as 19xx.
    if (date.isValid() && date.year() < 2000)
        date = date.addYears(100);
    const QTime time = QTime::fromString(texts.time.trimmed(), QStringLiteral("HH:mm"));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time);
}

std::optional<ReaderClockTexts> ClockTextsRead(const QList<ConfigRead> &reads)
{
    std::optional<QString> date;
    std::optional<QString> time;
    for (const ConfigRead &read : reads) {
        if (!read.accepted)
            continue;
        if (read.identifier == QLatin1String(ReaderToolId::ClockDate))
            date = read.value;
        else if (read.identifier == QLatin1String(ReaderToolId::ClockTime))
            time = read.value;
    }
    if (!date || !time)
        return std::nullopt;
    return ReaderClockTexts{*date, *time};
}

std::optional<qint64> ClockDriftSecs(const ReaderClockTexts &texts, const QDateTime &pc)
{
    const QDateTime reader = ClockMoment(texts);
    if (!reader.isValid() || !pc.isValid())
        return std::nullopt;
    const QDateTime pcMinute(pc.date(), QTime(pc.time().hour(), pc.time().minute()));
    return pcMinute.secsTo(reader);
}

ClockJob::ClockJob(ReaderSession &session, QObject *parent)
    : ReaderJob(session, CHAIN_CLOCK, parent)
{
}

QString ClockJob::phaseName() const
{
    return tr("MAJ Date/Heure");
}

int ClockJob::phaseTotal() const
{
    return 2;
}

void ClockJob::begin()
{
    m_texts = ClockTexts(m_moment.isValid() ? m_moment : QDateTime::currentDateTime());
    m_dateSent = true;
    send({Cmd::FamilyValue, Cmd::ValuePut, QLatin1String(ReaderToolId::Date) + "=" + m_texts.date,
          ARG_CLOCK_RESULT, CmdTimeout::ValuePut},
         tr("Horloge : écriture de la date %1").arg(m_texts.date));
}

void ClockJob::answer(unsigned int code, const ReaderAnswer &answer)
{
    if (code != ARG_CLOCK_RESULT)
        return;
    step();
    if (!answer.accepted()) {
        stepFailed(answer);
        finish(failureOf(answer));
        return;
    }
    if (!m_dateSent) {
        finish(JobOutcome::Done);
        return;
    }
    m_dateSent = false;
    send({Cmd::FamilyValue, Cmd::ValuePut, QLatin1String(ReaderToolId::Time) + "=" + m_texts.time,
          ARG_CLOCK_RESULT, CmdTimeout::ValuePut},
         tr("Horloge : écriture de l'heure %1").arg(m_texts.time));
}

// The moment sent, and on a failure what the reader kept of it.
QString ClockJob::outcomeText(JobOutcome outcome) const
{
    const QString head = OutcomeHead(phaseName(), outcome) + QStringLiteral(" : ");
    if (outcome == JobOutcome::Done)
        return head + m_texts.date + QLatin1Char(' ') + m_texts.time;
    if (m_dateSent)
        return head + tr("date %1 et heure %2 non écrites").arg(m_texts.date, m_texts.time);
    return head + tr("date %1 écrite, heure %2 non écrite").arg(m_texts.date, m_texts.time);
}
