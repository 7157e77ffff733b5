#include "util/textfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextCodec>

#include <cerrno>
#include <unistd.h>

QList<QByteArray> TextFileLines(const QByteArray &content)
{
    QList<QByteArray> lines;
    int start = 0;
    const int size = content.size();
    while (start < size) {
        int end = start;
        while (end < size && content.at(end) != '\n' && content.at(end) != '\r')
            ++end;
        lines.append(content.mid(start, end - start));
        if (end < size && content.at(end) == '\r' && end + 1 < size && content.at(end + 1) == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

bool TextFileHasControlBytes(const QByteArray &content)
{
    for (const char byte : content) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
            return true;
    }
    return false;
}

QString TextFileDecode(const QByteArray &bytes, QTextCodec *codec)
{
    if (codec) {
        QTextCodec::ConverterState state;
        const QString text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
        if (state.invalidChars == 0 && state.remainingChars == 0)
            return text;
    }
    return QString::fromLatin1(bytes);
}

bool FileReadBounded(const QString &path, qint64 maxBytes, QByteArray *content, QString *reason)
{
    reason->clear();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    *content = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *reason = QCoreApplication::translate("TextFile", "lecture impossible");
        return false;
    }
    return true;
}

namespace {
QString Tr(const char *text)
{
    return QCoreApplication::translate("TextFile", text);
}

// Qt's words for a failed write are English and lose errno's meaning.
QString SaveFileError(const QSaveFile &file, int error)
{
    if (error != 0)
        return SystemErrorText(error);
    if (file.error() == QFileDevice::ResourceError)
        return SystemErrorText(ENOSPC);
    if (file.error() == QFileDevice::PermissionsError)
        return SystemErrorText(EACCES);
    return file.errorString();
}
}

NewFileResult FileWriteNew(const QString &path, const QByteArray &content, QString *error)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (file.exists())
            return NewFileResult::Exists;
        *error = errno ? SystemErrorText(errno) : file.errorString();
        return NewFileResult::Failed;
    }
    errno = 0;
    if (file.write(content) != content.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        const int failure = errno;
        *error = failure ? SystemErrorText(failure)
                 : file.error() == QFileDevice::ResourceError ? SystemErrorText(ENOSPC)
                                                              : file.errorString();
        file.close();
        file.remove();
        return NewFileResult::Failed;
    }
    return NewFileResult::Written;
}

namespace {
// A device, a pipe or a socket cannot be replaced by a file: QSaveFile
// would put a plain file in place of /dev/null. Written to directly.
bool WriteSpecialFile(const QString &path, const QByteArray &content, QString *error)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush()) {
        *error = errno ? SystemErrorText(errno) : file.errorString();
        return false;
    }
    return true;
}
}

QString SystemErrorText(int error)
{
    switch (error) {
    case ENOSPC:
        return Tr("disque plein");
    case EDQUOT:
        return Tr("quota du disque atteint");
    case EFBIG:
        return Tr("taille de fichier maximale atteinte");
    case EACCES:
    case EPERM:
        return Tr("accès refusé");
    case EROFS:
        return Tr("disque en lecture seule");
    case ENOENT:
        return Tr("dossier introuvable");
    case ENOTDIR:
        return Tr("un élément du chemin n'est pas un dossier");
    case EISDIR:
        return Tr("c'est un dossier");
    case EIO:
        return Tr("erreur d'entrée-sortie du disque");
    case EPIPE:
        return Tr("sortie fermée");
    case EBUSY:
        return Tr("port occupé");
    case ENOTTY:
        return Tr("n'est pas un port série");
    default:
        return Tr("erreur système %1").arg(error);
    }
}

bool FileWriteWhole(const QString &path, const QByteArray &content, QString *error)
{
    if (path.isEmpty()) {
        *error = Tr("aucun nom de fichier");
        return false;
    }
    const QFileInfo target(path);
    if (target.isDir()) {
        *error = SystemErrorText(EISDIR);
        return false;
    }
    if (target.exists() && !target.isFile())
        return WriteSpecialFile(path, content, error);
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        *error = SaveFileError(file, errno);
        return false;
    }
    // commit() does not report the failed flush of its last buffered
    // bytes: everything is flushed and synced, and checked, before it.
    errno = 0;
    if (file.write(content) != content.size() || !file.flush() || ::fsync(file.handle()) != 0
        || file.error() != QFileDevice::NoError) {
        *error = SaveFileError(file, errno);
        file.cancelWriting();
        return false;
    }
    errno = 0;
    if (!file.commit()) {
        *error = SaveFileError(file, errno);
        return false;
    }
    return true;
}
