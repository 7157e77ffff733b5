#ifndef READERSIM_H
#define READERSIM_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include "sim/requestframeparser.h"
#include "sim/simcard.h"
#include "sim/simconfig.h"
#include "sim/simfaults.h"
#include "sim/simlistfile.h"

class QSocketNotifier;
class QTimer;

// One badge known to the simulator, with its state as the reader sees it.
struct SimBadge {
    QString name;
    QString description;
    QString uid;
    int pollStatus = 0;        // 0: valid badge, else the support status code
    QString detail = "000";    // three characters shown with status 6
    bool readable = true;      // holds a record the reader can send
    bool creatable = true;     // the reader accepts to personalise it
    QVector<QPair<QString, QString>> record;  // without the UID
};

// Plays the badge reader on the master side of a pseudo-terminal; the
// application opens the slave side as its serial port.
class ReaderSim : public QObject
{
    Q_OBJECT
public:
    // Status characters of the answers.
    static constexpr char StatusOk = '0';
    static constexpr char StatusNoBadge = '1';      // also: refused, unknown command
    static constexpr char StatusUnreadable = '2';   // blank, damaged or unreadable
    static constexpr char StatusNoCredit = '3';
    static constexpr char StatusMalformed = '4';
    static constexpr char StatusUnknownCounter = '5';
    static constexpr char StatusOverflow = '6';

    static constexpr int MaxBody = 1001;
    static constexpr int MaxPendingOutput = 64 * 1024;

    explicit ReaderSim(QObject *parent = nullptr);
    ~ReaderSim() override;

    bool start(QString *error = nullptr);
    QString slavePath() const { return m_slavePath; }
    bool createLink(const QString &linkPath, QString *error = nullptr);
    QString linkPath() const { return m_linkPath; }

    void sendDebug(const QString &text);
    bool present(const QString &badgeName);
    void remove();
    QString presentBadge() const;  // empty when none

    QStringList badgeNames() const;
    QString describe(const QString &name) const;
    QString badgeRecord(const QString &name) const;

    // Paced, the bytes of both directions take the time of a 9600 baud
    // line (about 1.04 ms a byte) instead of arriving at once.
    static constexpr qint64 PacedByteNs = 1041667;
    void setPacing(bool paced);
    bool isPaced() const { return m_pacing; }
    // Bytes received from and sent to the application so far.
    qint64 bytesReceived() const { return m_bytesIn; }
    qint64 bytesSent() const { return m_bytesOut; }

    void setSilent(bool silent) { m_silent = silent; }
    bool isSilent() const { return m_silent; }
    void closeMaster();

    // Faults of the line (sim/readersimfaults.cpp). Unplugged, the
    // application's port dies as with a pulled USB adapter; replugged, a new
    // pseudo-terminal stands behind the same link path.
    void unplug(int replugAfterMs = -1);
    bool replug(QString *error = nullptr);
    bool isPlugged() const { return m_master >= 0; }
    // 'D' frames without pause for ms milliseconds.
    void flood(int ms);
    SimFaults &faults() { return m_linkFaults; }

    QString handleControlLine(const QString &line);
    static QString controlHelp();

    int requestCount(char c1, char c2) const;

    SimConfig &config() { return m_config; }
    SimListFile &listFile() { return m_listFile; }
    SimCard &card() { return m_card; }

    // The next request (with these letters, or any when empty) is refused,
    // left unanswered, or carried out with its answer lost on the way;
    // several such faults wait in order.
    enum class Fault { Refuse, Mute, Lose };
    void failNext(Fault fault, const QByteArray &letters = QByteArray());

signals:
    void requestReceived(char c1, char c2, QByteArray payload);
    void quitRequested();  // the "quit" control line
    // What the simulated reader received that its operator should see.
    void notice(const QString &text);
    // A fault of the line hit the answer to a request with these letters.
    void faultInjected(char c1, char c2, const QString &fault);

private:
    void onMasterReadable();
    void onMasterWritable();
    bool openPty(QString *error);
    void handleFrame(const RequestFrameParser::Frame &frame);
    void sendAnswer(char type, char status, const QString &body);
    void sendThroughFaults(const QByteArray &frame);
    bool faultControl(const QString &command, const QString &argument, QString *reply);
    void floodTick();
    void queueOutput(const QByteArray &bytes);
    void flushOutput();

    // Bytes on a paced line: each is due one byte time after the previous.
    struct PacedLine {
        QByteArray bytes;
        QVector<qint64> dueNs;
        qint64 freeAtNs = 0;
    };
    void paceBytes(PacedLine &line, const QByteArray &bytes);
    QByteArray takeDueBytes(PacedLine &line, bool all);
    void onPaceTick(bool all = false);
    void feedBytes(const char *bytes, int count);

    bool takeFault(char c1, char c2, Fault *fault);
    void answerModule(char c1, const SimAnswer &answer, const QStringList &notices);
    QString answerPoll();
    QPair<char, QString> answerRead() const;
    char answerCreate(const QString &payload);
    char answerTransaction(const QString &payload);

    SimBadge *currentBadge();
    const SimBadge *findBadge(const QString &name) const;
    QString recordText(const SimBadge &badge) const;
    void removeOwnLink();

    QVector<SimBadge> m_badges;
    int m_present = -1;            // index into m_badges, -1: nothing on the reader
    quint64 m_generation = 0;      // bumped by every arrival and removal
    quint64 m_reportedGeneration = 0;
    bool m_reportedPresent = false;

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_output;
    RequestFrameParser m_parser;
    bool m_silent = false;
    bool m_pacing = false;
    QTimer *m_paceTimer = nullptr;
    QElapsedTimer m_paceClock;
    PacedLine m_pacedIn;
    PacedLine m_pacedOut;
    qint64 m_bytesIn = 0;
    qint64 m_bytesOut = 0;
    QHash<quint16, int> m_requestCounts;
    QVector<QPair<QByteArray, Fault>> m_faults;
    bool m_loseAnswer = false;
    SimConfig m_config;
    SimListFile m_listFile;
    SimCard m_card;

    SimFaults m_linkFaults;
    char m_answerC1 = 0;  // letters of the request being answered
    char m_answerC2 = 0;
    quint64 m_plugGeneration = 0;  // bumped by every unplug: late bytes are lost
    QTimer *m_floodTimer = nullptr;
    QElapsedTimer m_floodClock;
    qint64 m_floodUntilMs = 0;
    int m_floodCount = 0;
};

#endif // READERSIM_H
