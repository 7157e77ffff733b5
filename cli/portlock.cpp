#include "cli/portlock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}

QString DevicePath(const QString &port)
{
    return QDir::isAbsolutePath(port) ? port : QStringLiteral("/dev/") + port;
}

// Named after the device, not after the name given: two names of one
// reader meet on one file.
QString LockFilePath(const QString &device)
{
    QString name = device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QDir::temp().filePath(QStringLiteral("kovrim-cli") + name + QStringLiteral(".lock"));
}

// Held, never closed: the lock ends with the process.
int LockFileDescriptor = -1;

// The lock file's own lock: Busy when another process holds it. A file
// this account cannot create (another user's) is left to the device lock.
PortLock::State TakeLockFile(const QString &device, qint64 *holder)
{
    const QString path = LockFilePath(device);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return PortLock::State::Taken;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *holder = PortLock::holderOf(path);
        ::close(fd);
        return PortLock::State::Busy;
    }
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.constData(), size_t(pid.size())) < 0)
        qDebug("Verrou %s : PID non écrit", qUtf8Printable(path));
    if (LockFileDescriptor >= 0)
        ::close(LockFileDescriptor);
    LockFileDescriptor = fd;
    return PortLock::State::Taken;
}

// Opened for a moment, never kept: a descriptor kept on a USB adapter would
// give it another name when it is plugged back.
PortLock::State ProbeDevice(const QString &device, qint64 *holder)
{
    const int fd = ::open(QFile::encodeName(device).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM)
            return PortLock::State::Denied;
        if (errno == EBUSY) {
            *holder = PortLock::holderOf(device);
            return PortLock::State::Busy;
        }
        return PortLock::State::Missing;
    }
    PortLock::State state = PortLock::State::Taken;
    if (!::isatty(fd)) {
        state = PortLock::State::NotSerial;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *holder = PortLock::holderOf(device);
        state = PortLock::State::Busy;
    }
    ::close(fd);
    return state;
}
}

PortLock::Result PortLock::take(const QString &port)
{
    Result result;
    result.device = QFileInfo(DevicePath(port)).canonicalFilePath();
    if (result.device.isEmpty()) {
        result.state = State::Missing;
        return result;
    }
    struct stat info {};
    if (::stat(QFile::encodeName(result.device).constData(), &info) != 0) {
        result.state = State::Missing;
        return result;
    }
    if (S_ISDIR(info.st_mode)) {
        result.state = State::Folder;
        return result;
    }
    if (!S_ISCHR(info.st_mode)) {
        result.state = State::NotSerial;
        return result;
    }
    result.state = TakeLockFile(result.device, &result.holder);
    if (result.state == State::Taken)
        result.state = ProbeDevice(result.device, &result.holder);
    return result;
}

QString PortLock::text(const Result &result)
{
    switch (result.state) {
    case State::Taken:
        return QString();
    case State::Missing:
        return tr("ce port n'existe pas");
    case State::Folder:
        return tr("c'est un dossier, pas un port série");
    case State::NotSerial:
        return tr("n'est pas un port série");
    case State::Denied:
        return tr("accès refusé (le compte est-il dans le groupe dialout ?)");
    case State::Busy:
        return result.holder > 0 ? tr("port déjà utilisé (processus %1)").arg(result.holder)
                                 : tr("port déjà utilisé par un autre programme");
    }
    return QString();
}

qint64 PortLock::holderOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    // "1: FLOCK  ADVISORY  WRITE 812 00:19:5 0 EOF": holder, then the file
    // as major:minor:inode of the file system that holds it.
    const QByteArray file = QStringLiteral("%1:%2:%3")
                                .arg(uint(major(info.st_dev)), 2, 16, QLatin1Char('0'))
                                .arg(uint(minor(info.st_dev)), 2, 16, QLatin1Char('0'))
                                .arg(quint64(info.st_ino))
                                .toLatin1();
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // A waiting request ("1: -> FLOCK ...") holds nothing.
        if (fields.size() < 6 || fields.at(1) != "FLOCK" || fields.at(5) != file)
            continue;
        return fields.at(4).toLongLong();
    }
    return 0;
}
