#ifndef READERSESSION_H
#define READERSESSION_H

#include <QObject>
#include <QString>

#include "link/Protocole.h"
#include "link/commandchain.h"

// The result of one request, as its owner sees it.
struct ReaderAnswer {
    bool answered = false;  // a complete answer frame came before the time-out
    bool damaged = false;   // not answered: the frame came with noise in its body
    char status = 0;        // the answer's status letter
    QString text;           // its body
    bool accepted() const;  // answered with the reader's "OK" status
};

// One reader on one port: owns the link engine and the command chain, and
// hands each answer to the operation that asked for it. A chain's answers
// go to the chain's job; an answer to a single request goes out as
// answered(); polling, status texts and the port state go to whoever
// listens. Needs no window.
class ReaderSession : public QObject
{
    Q_OBJECT
public:
    explicit ReaderSession(QObject *parent = nullptr);
    // Stops the engine cooperatively: the port is closed and the thread
    // has ended before the session's members go.
    ~ReaderSession() override;

    QProtocole &engine() { return m_engine; }
    CommandChain &chain() { return m_chain; }
    bool isOpen() const { return m_engine.ComIsOpen.load(std::memory_order_acquire); }

    // Opens `port` (closing whatever was open) and starts the engine on
    // first use.
    void open(const QString &port);
    void close();

    // One request outside any chain. False when the slot is taken: nothing
    // is sent. Its answer comes back as answered() with the request's code.
    bool send(const ChainRequest &request);

signals:
    void answered(unsigned int code, const ReaderAnswer &answer);
    // The answer to a chain's request, for the job that runs the chain.
    void chainAnswered(unsigned int code, const ReaderAnswer &answer);
    void pollEvent(const QString &answer);
    void noSupport();
    void pollTimedOut();
    void statusText(const QString &text);
    void portStateChanged(bool open);

private:
    class Link;
    enum class Owner { None, Single, Chain };
    void dataEvent(unsigned int kind, unsigned int code, const QString &text);
    bool request(const ChainRequest &request, Owner owner);

    QProtocole m_engine;
    std::unique_ptr<ChainLink> m_link;
    CommandChain m_chain;
    Owner m_owner = Owner::None;
};

Q_DECLARE_METATYPE(ReaderAnswer)

#endif
