// badge-read: the engine polls until a badge lies on the reader, then the
// badge is read as in the window, and its record printed.
#include <QCoreApplication>
#include <QJsonObject>
#include <QTimer>

#include "core/pollanswer.h"
#include "badge/badgerecord.h"
#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/clirunner.h"
#include "cli/clisignals.h"
#include "cli/cliwait.h"
#include "link/commands.h"
#include "link/readersession.h"

namespace {
// The slot may still be taken for a moment after the poll's answer.
constexpr int SendRetryMs = 20;
constexpr int SendRetries = 50;
constexpr quint32 BlacklistedStatus = 1;

// One badge-read run: its connections live as long as it does.
class BadgeRead : public QObject
{
public:
    BadgeRead(ReaderSession &session, CliOutput &out) : m_session(session), m_out(out)
    {
        connect(&session, &ReaderSession::pollEvent, this, &BadgeRead::polled);
        connect(&session, &ReaderSession::pollTimedOut, this, [this] {
            end(CliExit::NoAnswer, tr("Le lecteur ne répond pas à l'interrogation."));
        });
        connect(&session, &ReaderSession::answered, this, &BadgeRead::answered);
        connect(&session, &ReaderSession::portStateChanged, this, [this](bool open) {
            if (!open)
                end(CliExit::Port, tr("Liaison perdue : lecteur débranché ?"));
        });
    }
    ~BadgeRead() override { m_session.engine().Polling.store(false, std::memory_order_release); }

    int run(int waitSeconds)
    {
        QTimer::singleShot(waitSeconds * 1000, this, [this, waitSeconds] {
            if (!m_found)
                end(CliExit::NoAnswer, tr("Aucun badge présenté en %1 s.").arg(waitSeconds));
        });
        m_session.engine().Polling.store(true, std::memory_order_release);
        // Once found, the read ends within its own time-out.
        m_ended.wait();
        return m_status;
    }

private:
    void polled(const QString &text)
    {
        const PollAnswer poll = PollAnswerParse(text);
        if (!poll.support || m_found)
            return;
        m_found = true;
        m_session.engine().Polling.store(false, std::memory_order_release);
        // Status 1: the reader holds this badge on its blacklist.
        m_blacklisted = !poll.supportOk && poll.status == BlacklistedStatus;
        m_out.set(QStringLiteral("blacklisted"), m_blacklisted);
        if (m_blacklisted)
            m_out.message(tr("Badge en liste noire : le lecteur le signale."));
        // As the window: a badge in one of these states is not read.
        if (!poll.supportOk && poll.status > 5) {
            end(CliExit::Refused, tr("Badge refusé par le lecteur (état %1, détail %2).")
                                      .arg(poll.status)
                                      .arg(poll.detail));
            return;
        }
        m_out.progress(tr("Lecture"), 0, 1);
        sendRead(SendRetries);
    }

    void sendRead(int retries)
    {
        if (m_ended.isDone())
            return;
        if (m_session.send({Cmd::FamilyBadge, Cmd::BadgeRead, QString(), ARG_BADGE_READ_RESULT,
                            CmdTimeout::BadgeReadAfterPoll}))
            return;
        if (retries == 0) {
            end(CliExit::NoAnswer, tr("Lecture du badge impossible : le lecteur reste occupé."));
            return;
        }
        QTimer::singleShot(SendRetryMs, this, [this, retries] { sendRead(retries - 1); });
    }

    void answered(unsigned int code, const ReaderAnswer &answer)
    {
        if (code != ARG_BADGE_READ_RESULT || m_ended.isDone())
            return;
        if (!answer.accepted()) {
            const int status = answer.answered ? CliExit::Refused
                               : m_session.isOpen() ? CliExit::NoAnswer : CliExit::Port;
            end(status, answer.answered ? tr("Lecture->ECHEC : badge illisible.")
                                        : tr("Lecture->CMD ERREUR : pas de réponse du lecteur."));
            return;
        }
        m_out.progress(tr("Lecture"), 1, 1);
        QJsonObject record;
        for (const RecordPair &pair : RecordPairsParse(answer.text)) {
            if (pair.key.isEmpty())
                continue;
            m_out.result(pair.key + QLatin1Char('=') + pair.value);
            record.insert(pair.key, pair.value);
        }
        m_out.set(QStringLiteral("record"), record);
        if (m_blacklisted)
            m_out.result(tr("Liste noire : oui"));
        end(CliExit::Done, QString());
    }

public:
    void end(int status, const QString &message)
    {
        if (m_ended.isDone())
            return;
        m_session.engine().Polling.store(false, std::memory_order_release);
        if (!message.isEmpty())
            m_out.message(message);
        m_status = status;
        m_ended.done();
    }

private:

    ReaderSession &m_session;
    CliOutput &m_out;
    CliWait m_ended;
    bool m_found = false;
    bool m_blacklisted = false;
    int m_status = CliExit::NoAnswer;
};
}

int CliRunner::badgeRead()
{
    if (const int status = openPort())
        return status;
    BadgeRead read(*m_session, m_out);
    // Nothing is written: a signal ends the wait, or the read under way.
    m_stopWaiting = [this, &read] {
        read.end(interruptedStatus(), QCoreApplication::translate("kovrim-cli", "Interrompu par %1.")
                                          .arg(CliSignals::Name(m_signal)));
    };
    const int status = read.run(m_options.waitSeconds);
    m_stopWaiting = nullptr;
    return status;
}
