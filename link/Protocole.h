#ifndef PROTOCOLE_H
#define PROTOCOLE_H

#include <QElapsedTimer>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>
#include <atomic>

#include "link/frametrace.h"
#include "link/rxframeparser.h"

class QSerialPort;

// Link engine: a thread that owns the serial port, sends one queued command
// at a time, collects its answer or times it out, and polls the reader for
// badge events while asked to. Everything reaches the window as signals.
class QProtocole : public QThread
{
    Q_OBJECT
public:
    static constexpr std::size_t PayloadMax = 999;

    // COM_RETRY_CANCEL only stops the reconnection after a lost device
    // (every other request stops it too).
    enum : quint8 { COM_NONE = 0, COM_OPEN = 1, COM_CLOSE = 2, COM_RETRY_CANCEL = 3 };
    enum : quint8 { LOW_IDLE = 0, LOW_SEND = 1, LOW_RECEIVE = 2 };
    // CmdRequest results. A request refused as too long or with the port
    // closed has taken the slot and ends at once as not answered.
    enum : quint8 { REQ_QUEUED = 0, REQ_BUSY = 1, REQ_TOO_LONG = 2, REQ_CLOSED = 3 };

    explicit QProtocole(QObject *parent = nullptr);
    ~QProtocole() override;

    // Window side of the port hand-over: the name first, then the request,
    // which also wakes the engine when it sleeps with the port closed.
    void SetPortName(const QString &name);
    QString GetPortName() const;
    void PostComRequest(quint8 request);
    // Stops the reconnection attempts unless another request is waiting,
    // which stops them anyway.
    void ReconnectCancel();

    // Takes the command slot if it is free (one atomic step). A claim that
    // loses the race sends nothing, changes nothing and returns REQ_BUSY.
    // Nothing is queued while the port is closed: a request waiting for a
    // reopen would go out long after its owner gave up on it.
    quint8 CmdRequest(char c1, char c2, const QString &payload,
                      unsigned int arg, unsigned int timeoutMs);
    quint8 PutValueRequest(const QString &id, const QString &value, unsigned int arg);
    // 0 while the request is outstanding; else 1 with the results, slot freed.
    // *damaged: a complete frame came whose body is no text (noise on the
    // line): not answered, but not silent either.
    quint8 CmdAnswer(bool &ok, char &status, QString *text = nullptr, bool *damaged = nullptr);
    quint8 CmdAnswer(bool &ok, char &status, QString &text) { return CmdAnswer(ok, status, &text); }

    // Stops the loop cooperatively and waits for the thread to end.
    void Stop();

    std::atomic<quint8> ComRequest{COM_NONE};
    std::atomic<bool> ComIsOpen{false};
    std::atomic<bool> Polling{false};
    // Each open takes an exclusive flock on the port's descriptor, and
    // fails when another process holds one: one process per device.
    std::atomic<bool> LockPort{false};
    // Every frame goes to SIG_Frame while set; nothing is built while clear.
    std::atomic<bool> TraceOn{false};
    // Time one byte takes on the line, set at each open: 9600 baud on a
    // serial device, 0 on a pseudo-terminal, which carries bytes at once.
    static constexpr qint64 ByteNs9600 = 1041667;
    std::atomic<qint64> LineByteNs{ByteNs9600};

    struct CmdSlot {
        std::atomic<bool> IsFree{true};
        std::atomic<bool> IsWaiting{false};
        std::atomic<bool> IsOk{false};
        std::atomic<bool> IsDamaged{false};
        QElapsedTimer CmdTimer;
        quint32 TimeOutMs = 0;
        char Status = 0;
        quint32 Arg = 0;
        QString Answer;
    } Cmd;

signals:
    void SIG_Debug(QString text);
    void SIG_ComStatus(QString text);
    void SIG_Data(unsigned int kind, unsigned int code, QString text);
    void SIG_Frame(TracedFrame frame);

public slots:
    void On_ReadyRead();

protected:
    void run() override;

private:
    struct TxFrameData {
        char Header1 = 0;
        char Header2 = 0;
        char Payload[PayloadMax + 1] = {};
        std::atomic<bool> TxPending{false};
    };

    bool StopRequested() const { return StopFlag.load(std::memory_order_acquire); }
    void WaitWhileClosed();
    void HandleComRequest();
    void OpenPort();
    bool PortOpen(const QString &name);
    bool LockDescriptor();
    bool ReconnectDue() const;
    void ReconnectAttempt();
    void TraceReceived(bool answersRequest);
    void ClosePort();
    void ControlLow();
    void LowIdle();
    void LowSend();
    void LowReceive();
    void PutByte(char byte, const char *writeErrorLog);
    void WaitWritten(int ms);
    void AnswerCompletion();
    void ControlHigh();
    void PollAnswer(const QString &answer);
    void ClearPortError();
    void DropLostDevice();
    void MarkClosed();
    void RefuseRequest(unsigned int arg);
    void EndOutstandingRequest();
    bool FrameAnswersRequest() const;
    void LineActivity();
    bool LineQuietForSend() const;
    bool FrameDamaged() const;

    QSerialPort *Port = nullptr;   // created and used by the engine thread only
    mutable QMutex Mutex;
    QWaitCondition Wake;
    std::atomic<bool> StopFlag{false};
    QString PortName;              // under Mutex

    quint8 LowState = LOW_IDLE;
    QElapsedTimer RxTimer;
    RxFrameParser RxFrame;
    TxFrameData TxFrame;
    quint8 Step = 0;
    QElapsedTimer PollTimer;

    // Answers carry no sequence number. After a time-out the late answer
    // may still come: nothing before the next send answers anything, and
    // a frame that begins before the next request can have reached the
    // reader cannot be that request's answer.
    bool AfterTimeout = false;
    // Restarted at a time-out and at every byte: how long the line has been
    // quiet, which the next send after a time-out waits for.
    QElapsedTimer QuietClock;
    QElapsedTimer SendClock;
    qint64 EarlyWindowNs = 0;
    bool FrameEarly = false;

    // Unplug detection: a vanished device floods errors on every wait.
    int ReadErrorPasses = 0;
    bool ByteSeenThisPass = false;
    bool DeviceLost = false;

    // After a lost device the same port is opened again every few seconds
    // until it comes back or the window asks for anything.
    QString OpenedPortName;
    bool Reconnecting = false;
    bool ReconnectShown = false;
    QElapsedTimer ReconnectTimer;
};

// Process-wide counter that turns the polling text a quarter per poll.
extern quint8 PollSpinner;

#endif
