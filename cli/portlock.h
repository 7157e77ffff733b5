#ifndef PORTLOCK_H
#define PORTLOCK_H

#include <QString>

// One process per reader: the lock is taken on the device itself, whatever
// name reaches it (a /dev/serial/by-id link, the tty, a pseudo-terminal's
// link), and held until the process ends.
class PortLock
{
public:
    enum class State { Taken, Missing, NotSerial, Folder, Denied, Busy };
    struct Result {
        State state = State::Missing;
        QString device;  // the device the name resolves to
        qint64 holder = 0;  // Busy: the process that holds it, when known
    };

    // Resolves `port` (a name under /dev or a path; links followed), checks
    // that it is a serial port this account may open, and takes the lock
    // file named after the resolved device (in the temporary folder). The
    // lock on the opened descriptor itself is the engine's (LockPort).
    static Result take(const QString &port);
    // The operator's words for a failure: "port déjà utilisé (processus 812)".
    static QString text(const Result &result);
    // The process holding a flock on the file at `path`, from /proc/locks;
    // 0 when none is found.
    static qint64 holderOf(const QString &path);
};

#endif
