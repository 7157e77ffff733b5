#include "link/readersession.h"

#include "link/commands.h"

bool ReaderAnswer::accepted() const
{
    return answered && status == Cmd::StatusOk;
}

// The chain's way to the engine: what it sends is marked as the chain's,
// so that its answer goes back to it and to nobody else.
class ReaderSession::Link : public ChainLink
{
public:
    explicit Link(ReaderSession &session) : m_session(session) {}
    bool isOpen() const override { return m_session.isOpen(); }
    quint8 request(const ChainRequest &request) override
    {
        return m_session.request(request, Owner::Chain) ? QProtocole::REQ_QUEUED
                                                         : QProtocole::REQ_BUSY;
    }

private:
    ReaderSession &m_session;
};

ReaderSession::ReaderSession(QObject *parent)
    : QObject(parent), m_link(std::make_unique<Link>(*this)), m_chain(*m_link)
{
    qRegisterMetaType<ReaderAnswer>();
    connect(&m_engine, &QProtocole::SIG_Data, this, &ReaderSession::dataEvent);
}

ReaderSession::~ReaderSession()
{
    m_engine.Stop();
}

void ReaderSession::open(const QString &port)
{
    m_engine.SetPortName(port);
    m_engine.PostComRequest(QProtocole::COM_OPEN);
    if (!m_engine.isRunning())
        m_engine.start();
}

void ReaderSession::close()
{
    m_engine.PostComRequest(QProtocole::COM_CLOSE);
}

bool ReaderSession::send(const ChainRequest &request)
{
    return this->request(request, Owner::Single);
}

bool ReaderSession::request(const ChainRequest &request, Owner owner)
{
    if (!m_engine.Cmd.IsFree.load(std::memory_order_acquire))
        return false;
    // A payload too long is refused by the engine, which still ends the
    // request with an event: its owner hears of it like of any other end.
    if (m_engine.CmdRequest(request.c1, request.c2, request.payload, request.arg,
                            request.timeoutMs)
        == QProtocole::REQ_BUSY)
        return false;
    m_owner = owner;
    return true;
}

void ReaderSession::dataEvent(unsigned int kind, unsigned int code, const QString &text)
{
    if (kind == EVT_STATUS_TEXT) {
        if (code == 0)
            emit statusText(text);
        return;
    }
    if (kind != EVT_DATA)
        return;
    switch (code) {
    case ARG_POLLING_EVENT:
        emit pollEvent(text);
        return;
    case ARG_POLLING_NO_SUPPORT:
        emit noSupport();
        return;
    case ARG_STATUS_TIMEOUT:
        emit pollTimedOut();
        return;
    case ARG_PORT_STATE: {
        const bool open = isOpen();
        // A chain waiting for the slot would wait for ever.
        if (!open)
            m_chain.linkLost();
        emit portStateChanged(open);
        return;
    }
    default:
        break;
    }
    ReaderAnswer answer;
    if (m_engine.CmdAnswer(answer.answered, answer.status, &answer.text, &answer.damaged) == 0)
        return;  // still outstanding: an event of an earlier request
    const Owner owner = m_owner;
    m_owner = Owner::None;
    if (owner == Owner::Chain) {
        // An answer that outlived its chain only frees the slot.
        if (!m_chain.isRunning())
            return;
        // A read lost or damaged on the line is asked once more before
        // its job hears of it: it changes nothing in the reader.
        if (!answer.answered && isOpen() && m_chain.retryRead(answer.damaged))
            return;
        emit chainAnswered(code, answer);
    } else {
        emit answered(code, answer);
    }
}
