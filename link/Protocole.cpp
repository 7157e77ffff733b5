#include "link/Protocole.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSerialPort>
#include <algorithm>
#include <cstring>
#include <sys/file.h>

#include "link/answerkind.h"
#include "link/commands.h"

quint8 PollSpinner = 0;

namespace {
constexpr int IdleWaitMs = 10;
constexpr int ByteWriteWaitMs = 200;
constexpr int FrameWriteWaitMs = 2000;
constexpr qint64 InterByteMs = 500;
constexpr qint64 PollPauseMs = 500;
// Passes in a row with a read error and no byte before the device counts as gone.
constexpr int LostAfterReadErrorPasses = 3;
// Pause between two attempts to open a lost device again.
constexpr qint64 ReconnectEveryMs = 2000;

// Bytes a request frame puts on the line: STX, two letters, payload, ETX
// and three closing bytes.
constexpr qint64 FrameOverheadBytes = 7;
// The longest answer frame the engine takes, sent at 9600 baud: what a
// reader still answering a timed-out request may yet put on the line.
constexpr qint64 LongestAnswerMs =
    (qint64(FrameOverheadBytes) + qint64(RxFrameParser::BodyMax)) * QProtocole::ByteNs9600 / 1000000;

qint64 LineByteNsFor(const QString &name)
{
    const QString path = QDir::isAbsolutePath(name) ? name : QStringLiteral("/dev/") + name;
    const QString device = QFileInfo(path).canonicalFilePath();
    return device.startsWith(QLatin1String("/dev/pts/")) ? 0 : QProtocole::ByteNs9600;
}

const char *const SpinnerTexts[4] = {
    "||| Polling |||", "/// Polling ///", "--- Polling ---", "\\\\\\ Polling \\\\\\",
};
}

QProtocole::QProtocole(QObject *parent) : QThread(parent)
{
    qRegisterMetaType<TracedFrame>();
    qDebug("QPROTOCOLE->CONSTRUCTEUR");
}

QProtocole::~QProtocole()
{
    Stop();
}

void QProtocole::Stop()
{
    {
        QMutexLocker lock(&Mutex);
        StopFlag.store(true, std::memory_order_release);
        Wake.wakeAll();
    }
    wait();
}

void QProtocole::SetPortName(const QString &name)
{
    QMutexLocker lock(&Mutex);
    PortName = name;
}

QString QProtocole::GetPortName() const
{
    QMutexLocker lock(&Mutex);
    return PortName;
}

void QProtocole::PostComRequest(quint8 request)
{
    QMutexLocker lock(&Mutex);
    ComRequest.store(request, std::memory_order_release);
    Wake.wakeAll();
}

void QProtocole::ReconnectCancel()
{
    QMutexLocker lock(&Mutex);
    quint8 none = COM_NONE;
    ComRequest.compare_exchange_strong(none, COM_RETRY_CANCEL, std::memory_order_acq_rel);
    Wake.wakeAll();
}

quint8 QProtocole::CmdRequest(char c1, char c2, const QString &payload,
                              unsigned int arg, unsigned int timeoutMs)
{
    bool expected = true;
    if (!Cmd.IsFree.compare_exchange_strong(expected, false, std::memory_order_acq_rel))
        return REQ_BUSY;

    const QByteArray bytes = payload.toLocal8Bit();
    Cmd.Arg = arg;
    Cmd.TimeOutMs = timeoutMs;
    Cmd.CmdTimer.start();
    Cmd.IsOk.store(false, std::memory_order_relaxed);
    Cmd.IsDamaged.store(false, std::memory_order_relaxed);

    if (static_cast<std::size_t>(bytes.size()) > PayloadMax) {
        qDebug("CmdRequest => payload too long (%d bytes), refused", bytes.size());
        RefuseRequest(arg);
        return REQ_TOO_LONG;
    }

    TxFrame.Header1 = c1;
    TxFrame.Header2 = c2;
    std::memcpy(TxFrame.Payload, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    TxFrame.Payload[bytes.size()] = 0;

    // Queued before a close, the close ends it; after, it is refused here.
    QMutexLocker lock(&Mutex);
    if (!ComIsOpen.load(std::memory_order_acquire)) {
        qDebug("CmdRequest => port closed, refused");
        RefuseRequest(arg);
        return REQ_CLOSED;
    }
    qDebug("CmdRequest => Load String ***%s****", TxFrame.Payload);
    Cmd.IsWaiting.store(true, std::memory_order_release);
    TxFrame.TxPending.store(true, std::memory_order_release);
    return REQ_QUEUED;
}

// Ends a request without sending it: its owner hears of it as of any
// unanswered request, after the caller has returned.
void QProtocole::RefuseRequest(unsigned int arg)
{
    Cmd.IsWaiting.store(false, std::memory_order_release);
    if (arg != ARG_NONE)
        QMetaObject::invokeMethod(this, [this, arg] { emit SIG_Data(EVT_DATA, arg, QString()); },
                                  Qt::QueuedConnection);
}

quint8 QProtocole::PutValueRequest(const QString &id, const QString &value, unsigned int arg)
{
    const quint8 result = CmdRequest(Cmd::FamilyValue, Cmd::ValuePut, id + "=" + value, arg,
                                     CmdTimeout::ValuePut);
    qDebug("QProtocole::PutValueRequest");
    return result;
}

quint8 QProtocole::CmdAnswer(bool &ok, char &status, QString *text, bool *damaged)
{
    if (Cmd.IsWaiting.load(std::memory_order_acquire))
        return 0;
    ok = Cmd.IsOk.load(std::memory_order_relaxed);
    if (damaged)
        *damaged = Cmd.IsDamaged.load(std::memory_order_relaxed);
    if (ok) {
        qDebug("QProtocole::GetValueAnswer= Cmd.IsOk = TRUE");
        if (text)
            *text = Cmd.Answer;
        status = Cmd.Status;
    } else {
        qDebug("QProtocole::GetValueAnswer= Cmd.IsOk = FALSE");
    }
    Cmd.IsFree.store(true, std::memory_order_release);
    return 1;
}

void QProtocole::On_ReadyRead()
{
    qDebug("COUCOU On_ReadyRead %lld", Port ? static_cast<long long>(Port->bytesAvailable()) : 0LL);
}

void QProtocole::run()
{
    // The port is created here so that it belongs to the thread that uses it.
    QSerialPort port;
    Port = &port;
    while (!StopRequested()) {
        HandleComRequest();
        if (ComIsOpen.load(std::memory_order_acquire)) {
            ByteSeenThisPass = false;
            ControlLow();
            AnswerCompletion();
            ControlHigh();
            if (DeviceLost)
                DropLostDevice();
        } else {
            WaitWhileClosed();
            if (ReconnectDue())
                ReconnectAttempt();
        }
    }
    if (port.isOpen())
        port.close();
    MarkClosed();
    Port = nullptr;
}

// Sleeps until a request, the stop or the next reconnection attempt.
void QProtocole::WaitWhileClosed()
{
    QMutexLocker lock(&Mutex);
    while (!StopFlag.load(std::memory_order_acquire)
           && ComRequest.load(std::memory_order_acquire) == COM_NONE) {
        if (!Reconnecting) {
            Wake.wait(&Mutex);
            continue;
        }
        const qint64 left = ReconnectEveryMs - ReconnectTimer.elapsed();
        if (left <= 0)
            return;
        Wake.wait(&Mutex, static_cast<unsigned long>(left));
    }
}

bool QProtocole::ReconnectDue() const
{
    return Reconnecting && !StopRequested()
           && ComRequest.load(std::memory_order_acquire) == COM_NONE
           && ReconnectTimer.elapsed() >= ReconnectEveryMs;
}

void QProtocole::ReconnectAttempt()
{
    if (!ReconnectShown) {
        ReconnectShown = true;
        emit SIG_ComStatus(tr("Reconnexion ..."));
    }
    qDebug("QPROTOCOLE->Reconnexion %s", qUtf8Printable(OpenedPortName));
    if (!PortOpen(OpenedPortName)) {
        ReconnectTimer.start();
        return;
    }
    Reconnecting = false;
    emit SIG_ComStatus(tr("Ouvert"));
    emit SIG_Data(EVT_DATA, ARG_PORT_STATE, QString());
}

void QProtocole::HandleComRequest()
{
    const quint8 request = ComRequest.load(std::memory_order_acquire);
    if (request == COM_NONE)
        return;
    // Whatever the window asks, it takes over from the reconnection.
    const bool wasReconnecting = Reconnecting;
    Reconnecting = false;
    if (request == COM_RETRY_CANCEL && wasReconnecting)
        emit SIG_ComStatus(tr("Fermé"));
    if (request == COM_OPEN)
        OpenPort();
    else if (request == COM_CLOSE)
        ClosePort();
    // Only clear what was handled: a newer request stays for the next pass.
    quint8 handled = request;
    ComRequest.compare_exchange_strong(handled, COM_NONE, std::memory_order_acq_rel);
}

void QProtocole::OpenPort()
{
    qDebug("QPROTOCOLE->Demande de Connexion");
    const QString name = GetPortName();
    if (!name.isEmpty()) {
        if (!PortOpen(name)) {
            qDebug("=>échoué");
            emit SIG_ComStatus(tr("Can't open %1, error code %2").arg(name).arg(int(Port->error())));
        } else {
            qDebug("=>Ok");
            emit SIG_ComStatus(tr("Ouvert"));
        }
    }
    emit SIG_Data(EVT_DATA, ARG_PORT_STATE, QString());
}

bool QProtocole::PortOpen(const QString &name)
{
    if (Port->isOpen())
        Port->close();
    Port->setPortName(name);
    if (!Port->open(QIODevice::ReadWrite))
        return false;
    if (!LockDescriptor()) {
        qDebug("=>port verrouillé par un autre processus");
        Port->close();
        return false;
    }
    Port->setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    Port->setDataBits(QSerialPort::Data8);
    Port->clear(QSerialPort::AllDirections);
    Port->clearError();
    LowState = LOW_IDLE;
    RxFrame.reset();
    ReadErrorPasses = 0;
    DeviceLost = false;
    LineByteNs.store(LineByteNsFor(name), std::memory_order_relaxed);
    OpenedPortName = name;
    ComIsOpen.store(true, std::memory_order_release);
    return true;
}

// On the descriptor itself: the device is locked whatever name reached it.
bool QProtocole::LockDescriptor()
{
    return !LockPort.load(std::memory_order_acquire)
           || ::flock(int(Port->handle()), LOCK_EX | LOCK_NB) == 0;
}

void QProtocole::ClosePort()
{
    Port->close();
    MarkClosed();
    // Nothing is checked for time-outs while closed: end the request now,
    // or its owner would wait for it until the next open.
    LowState = LOW_IDLE;
    RxFrame.reset();
    EndOutstandingRequest();
    emit SIG_Data(EVT_DATA, ARG_PORT_STATE, QString());
    emit SIG_ComStatus(tr("Fermé"));
}

// Under the mutex, so that a request racing the close is either refused or
// queued in time for the close to end it.
void QProtocole::MarkClosed()
{
    QMutexLocker lock(&Mutex);
    ComIsOpen.store(false, std::memory_order_release);
}

void QProtocole::ClearPortError()
{
    const QSerialPort::SerialPortError error = Port->error();
    if (error == QSerialPort::NoError)
        return;
    if (error == QSerialPort::ResourceError)
        DeviceLost = true;
    else if (error == QSerialPort::ReadError && !ByteSeenThisPass && ++ReadErrorPasses >= LostAfterReadErrorPasses)
        DeviceLost = true;
    Port->clearError();
}

void QProtocole::ControlLow()
{
    switch (LowState) {
    case LOW_IDLE: LowIdle(); break;
    case LOW_SEND: LowSend(); break;
    default: LowReceive(); break;
    }
    if (ByteSeenThisPass)
        ReadErrorPasses = 0;
}

void QProtocole::LowIdle()
{
    // Bytes already buffered first: waiting for more would cost each
    // frame of a burst the whole wait, and a queued request starves.
    if (Port->bytesAvailable() > 0 || Port->waitForReadyRead(IdleWaitMs))
        LowState = LOW_RECEIVE;
    else if (TxFrame.TxPending.load(std::memory_order_acquire) && LineQuietForSend())
        LowState = LOW_SEND;
    ClearPortError();
}

void QProtocole::PutByte(char byte, const char *writeErrorLog)
{
    Port->putChar(byte);
    if (writeErrorLog && Port->error() == QSerialPort::WriteError) {
        qDebug("%s", writeErrorLog);
        Port->clearError();
    }
    WaitWritten(ByteWriteWaitMs);
}

void QProtocole::WaitWritten(int ms)
{
    // With nothing left to write, the port's wait sits out its whole delay.
    if (Port->bytesToWrite() > 0)
        Port->waitForBytesWritten(ms);
}

void QProtocole::LowSend()
{
    // The request may have timed out since the idle step chose to send.
    if (!TxFrame.TxPending.load(std::memory_order_acquire)) {
        LowState = LOW_IDLE;
        return;
    }
    if (Port->bytesAvailable() > 0)
        qDebug("ControlLow->Send ByteAvailable => CLEAR");
    // Also flushes what the driver holds but has not handed up yet.
    Port->clear(QSerialPort::AllDirections);
    SendClock.start();
    const qint64 frameBytes = FrameOverheadBytes + qint64(std::strlen(TxFrame.Payload));
    EarlyWindowNs = AfterTimeout ? frameBytes * LineByteNs.load(std::memory_order_relaxed) : 0;
    AfterTimeout = false;
    const bool traced = TraceOn.load(std::memory_order_relaxed);
    const qint64 sentAtMs = traced ? QDateTime::currentMSecsSinceEpoch() : 0;
    qDebug("ControlLow->Send START");
    PutByte(RxFrameParser::STX, "ControlLow->Write 'STX'=WriteError");
    PutByte(TxFrame.Header1, "ControlLow->Write HEADER=WriteError");
    PutByte(TxFrame.Header2, nullptr);
    for (const char *p = TxFrame.Payload; *p; ++p)
        PutByte(*p, nullptr);
    PutByte(RxFrameParser::ETX, nullptr);
    for (char c : {'0', '1', '2'})
        PutByte(c, nullptr);
    WaitWritten(FrameWriteWaitMs);
    if (traced) {
        TracedFrame frame;
        frame.timeMs = sentAtMs;
        frame.sent = true;
        frame.letter1 = TxFrame.Header1;
        frame.letter2 = TxFrame.Header2;
        frame.body = QByteArray(TxFrame.Payload);
        emit SIG_Frame(frame);
    }

    TxFrame.TxPending.store(false, std::memory_order_release);
    RxTimer.start();
    RxFrame.reset();
    LowState = LOW_RECEIVE;
    qDebug("ControlLow->Send END");
}

void QProtocole::LowReceive()
{
    ClearPortError();
    if (Port->bytesAvailable() <= 0)
        Port->waitForReadyRead(IdleWaitMs);
    if (Port->bytesAvailable() <= 0) {
        if (RxTimer.isValid() && RxTimer.elapsed() > InterByteMs) {
            RxFrame.cutShort();
            LowState = LOW_IDLE;
        }
        return;
    }
    char byte = 0;
    while (Port->getChar(&byte)) {
        ByteSeenThisPass = true;
        RxTimer.start();
        LineActivity();
        switch (RxFrame.feed(byte)) {
        case RxFrameParser::Step::Start:
            qDebug("ContolLow->Rcv STX");
            FrameEarly = EarlyWindowNs > 0 && SendClock.nsecsElapsed() < EarlyWindowNs;
            break;
        case RxFrameParser::Step::Type:
            qDebug("QProtocole::ControlLow-Rcv Header:%c", byte);
            break;
        case RxFrameParser::Step::Etx:
            qDebug("ContolLow->Rcv ETX");
            break;
        case RxFrameParser::Step::Overflow:
            qDebug("ControlLow->Rcv body too long => frame dropped");
            LowState = LOW_IDLE;
            return;
        case RxFrameParser::Step::Complete:
            // Bytes still waiting belong to the next frame: next pass.
            LowState = LOW_IDLE;
            return;
        default:
            break;
        }
    }
}

void QProtocole::AnswerCompletion()
{
    if (RxFrame.done()) {
        RxFrame.clearDone();
        const QString body = QString::fromUtf8(RxFrame.body(), int(RxFrame.bodyLength()));
        const bool answers = FrameAnswersRequest();
        if (FrameEarly)
            qDebug("ControlLow->Rcv frame begun before the request could reach the reader => dropped");
        FrameEarly = false;
        if (TraceOn.load(std::memory_order_relaxed))
            TraceReceived(answers);
        if (RxFrame.type() == Cmd::AnswerDebug) {
            emit SIG_Debug(body);
        } else if (answers) {
            const bool damaged = FrameDamaged();
            if (damaged)
                qDebug("ControlLow->Rcv answer body is no text => damaged frame");
            const bool ok = RxFrame.ok() && !damaged;
            Cmd.IsOk.store(ok, std::memory_order_relaxed);
            Cmd.IsDamaged.store(damaged, std::memory_order_relaxed);
            if (ok) {
                Cmd.Status = RxFrame.status();
                Cmd.Answer = body;
            }
            const quint32 arg = Cmd.Arg;
            Cmd.IsWaiting.store(false, std::memory_order_release);
            if (arg != ARG_NONE)
                emit SIG_Data(EVT_DATA, arg, QString());
        } else {
            emit SIG_Debug("PB=>" + body);
        }
    } else if (Cmd.IsWaiting.load(std::memory_order_acquire)
               && Cmd.CmdTimer.elapsed() > qint64(Cmd.TimeOutMs)) {
        AfterTimeout = true;
        LineActivity();
        EndOutstandingRequest();
    }
}

void QProtocole::LineActivity()
{
    QuietClock.start();
}

// After a time-out the reader may still be answering: the next request
// waits until the line has been quiet for the longest answer frame, so that
// the late answer is read and dropped before it goes. The wait is bounded:
// the request keeps half its time-out for its own answer, even with a
// reader that never stops talking.
bool QProtocole::LineQuietForSend() const
{
    if (!AfterTimeout)
        return true;
    // Read after TxPending: the request's fields are those of this request.
    const qint64 halfTimeoutMs = qint64(Cmd.TimeOutMs) / 2;
    const qint64 quietMs = std::min(LongestAnswerMs, halfTimeoutMs);
    return QuietClock.elapsed() >= quietMs || Cmd.CmdTimer.elapsed() >= halfTimeoutMs;
}

// Only a frame received after the request went out, begun late enough to
// follow it, and of a kind that can answer it, answers it.
bool QProtocole::FrameAnswersRequest() const
{
    return RxFrame.type() != Cmd::AnswerDebug && Cmd.IsWaiting.load(std::memory_order_acquire)
           && !TxFrame.TxPending.load(std::memory_order_acquire) && !AfterTimeout && !FrameEarly
           && AnswerFitsRequest(TxFrame.Header1, TxFrame.Header2, RxFrame.status(), RxFrame.body(),
                                RxFrame.bodyLength());
}

// Noise inside a frame leaves it complete with a body no reader sends.
bool QProtocole::FrameDamaged() const
{
    return RxFrame.ok() && !AnswerBodyIsText(RxFrame.body(), RxFrame.bodyLength());
}

void QProtocole::TraceReceived(bool answersRequest)
{
    TracedFrame traced;
    traced.timeMs = QDateTime::currentMSecsSinceEpoch();
    traced.complete = RxFrame.ok();
    traced.letter1 = RxFrame.type();
    traced.letter2 = RxFrame.status();
    traced.body = QByteArray(RxFrame.body(), int(RxFrame.bodyLength()));
    if (answersRequest)
        traced.answers = QByteArray() + TxFrame.Header1 + TxFrame.Header2;
    emit SIG_Frame(traced);
}

void QProtocole::EndOutstandingRequest()
{
    if (!Cmd.IsWaiting.load(std::memory_order_acquire))
        return;
    // A frame waiting to go out is dropped with its request.
    TxFrame.TxPending.store(false, std::memory_order_release);
    Cmd.IsOk.store(false, std::memory_order_relaxed);
    const quint32 arg = Cmd.Arg;
    Cmd.IsWaiting.store(false, std::memory_order_release);
    if (arg != ARG_NONE)
        emit SIG_Data(EVT_DATA, arg, QString());
}

void QProtocole::ControlHigh()
{
    switch (Step) {
    case 0:
        if (Polling.load(std::memory_order_acquire)) {
            emit SIG_Data(EVT_STATUS_TEXT, 0, "Polling -> Start");
            qDebug("ControlHigh->Mode polling");
            Step = 1;
        }
        break;
    case 1:
        if (Cmd.IsFree.load(std::memory_order_acquire)
            && CmdRequest(Cmd::FamilyBadge, Cmd::BadgeStatus, QString(), ARG_NONE,
                          CmdTimeout::Poll) == REQ_QUEUED) {
            qDebug("ControlHigh->Step=0x01 : Cmd.IsFree");
            emit SIG_Data(EVT_STATUS_TEXT, 0, "Polling ...");
            Step = 2;
        }
        break;
    case 2: {
        bool ok = false;
        bool damaged = false;
        char status = 0;
        QString answer;
        if (CmdAnswer(ok, status, &answer, &damaged) == 0)
            break;
        if (ok || damaged) {
            // A poll answer lost in noise is no event: the next poll asks again.
            if (ok)
                PollAnswer(answer);
            PollTimer.start();
            Step = 3;
        } else {
            qDebug("ControlHigh->Step=0x02 : RVal == 2 => TimeOut");
            emit SIG_Data(EVT_DATA, ARG_STATUS_TIMEOUT, QString());
            Polling.store(false, std::memory_order_release);
            Step = 0;
        }
        break;
    }
    default:
        if (!Polling.load(std::memory_order_acquire)) {
            emit SIG_Data(EVT_STATUS_TEXT, 0, "Polling -> Stop");
            Step = 0;
        } else if (PollTimer.elapsed() > PollPauseMs) {
            Step = 1;
        }
        break;
    }
}

void QProtocole::PollAnswer(const QString &answer)
{
    qDebug("Polling 0K:%s", qUtf8Printable(answer));
    ++PollSpinner;
    emit SIG_Data(EVT_STATUS_TEXT, 0, SpinnerTexts[PollSpinner % 4]);
    if (answer.startsWith('1')) {
        qDebug("Polling => Nouvelle évenement");
        if (answer.size() > 1 && answer.at(1) == '0')
            emit SIG_Data(EVT_DATA, ARG_POLLING_NO_SUPPORT, QString());
        else
            emit SIG_Data(EVT_DATA, ARG_POLLING_EVENT, answer);
        qDebug("ControlHigh->Step=0x02 : RVal == 1");
    }
}

void QProtocole::DropLostDevice()
{
    qDebug("ControlLow->device lost => port closed");
    Port->close();
    MarkClosed();
    DeviceLost = false;
    ReadErrorPasses = 0;
    LowState = LOW_IDLE;
    RxFrame.reset();
    EndOutstandingRequest();
    // Let an outstanding poll see its failure (time-out event, polling off).
    if (Step == 2)
        ControlHigh();
    emit SIG_Data(EVT_DATA, ARG_PORT_STATE, QString());
    emit SIG_ComStatus(tr("Liaison perdue : lecteur débranché ?"));
    Reconnecting = !OpenedPortName.isEmpty();
    ReconnectShown = false;
    ReconnectTimer.start();
}
