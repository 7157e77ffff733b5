#include "config/configstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>

#include "core/appsettings.h"
#include "config/configmodel.h"
#include "util/textfile.h"

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("ConfigFile", text);
}
}

bool ConfigFileRead(const QString &path, QList<ConfigLine> *lines, QString *refusal)
{
    QByteArray content;
    return FileReadBounded(path, ConfigFileMax, &content, refusal)
           && ConfigFileParse(content, lines, refusal);
}

bool ConfigFileLoad(const QString &path, ConfigModel &model, QString *refusal,
                    QStringList *refusedLines)
{
    QList<ConfigLine> lines;
    if (!ConfigFileRead(path, &lines, refusal))
        return false;
    // A file that names no parameter (empty, or some other text) is no
    // configuration: it is refused rather than reported as loaded.
    const bool parameterFound = std::any_of(lines.cbegin(), lines.cend(), [&](const ConfigLine &line) {
        return model.find(line.identifier) != nullptr;
    });
    if (!parameterFound) {
        *refusal = tr("aucun paramètre du lecteur");
        return false;
    }
    if (refusedLines)
        *refusedLines = model.fileRefusals(lines);
    model.applyFile(lines);
    return true;
}

QStringList ConfigFileIdentifiers(const ConfigModel &model)
{
    QStringList identifiers = model.itemOrder();
    identifiers.removeDuplicates();
    return identifiers;
}

QByteArray ConfigFileContent(const ConfigModel &model)
{
    QByteArray content;
    for (const QString &identifier : ConfigFileIdentifiers(model))
        if (model.find(identifier)->valueKnown)
            content += ConfigFileLine(identifier, model.value(identifier));
    return content;
}

bool ConfigFileSave(const QString &path, const ConfigModel &model, QString *error)
{
    QString ignored;
    return FileWriteWhole(path, ConfigFileContent(model), error ? error : &ignored);
}

namespace {
// A reader's value in a file name: what a file system would refuse or
// read as a folder becomes "_".
QString NamePart(const ConfigModel &model, const QString &identifier)
{
    const ConfigParameter *parameter = model.find(identifier);
    if (!parameter || !parameter->readerKnown || parameter->readerValue.trimmed().isEmpty())
        return QStringLiteral("inconnu");
    QString part = parameter->readerValue.trimmed().left(40);
    for (QChar &c : part)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return part;
}
}

QString ConfigBackupName(const ConfigModel &model, const QDateTime &when)
{
    return QStringLiteral("lecteur-%1-%2-%3.txt")
        .arg(NamePart(model, QStringLiteral("3.0.0")), NamePart(model, QStringLiteral("3.0.2")),
             when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString ConfigBackupWrite(const QString &folder, const ConfigModel &model, const QDateTime &when,
                          QString *error)
{
    if (!QDir().mkpath(folder)) {
        *error = tr("dossier %1 impossible à créer").arg(QDir::toNativeSeparators(folder));
        return QString();
    }
    const QByteArray content = model.readerValuesContent();
    const QString name = ConfigBackupName(model, when);
    // Readers of one site written in the same second (several processes, or
    // factory-fresh readers that share their identification) each keep
    // their backup: an existing file is never replaced, the next free
    // number is taken instead, atomically.
    for (int copy = 1; copy <= ConfigBackupCopiesMax; ++copy) {
        QString numbered = name;
        if (copy > 1)
            numbered.insert(name.size() - 4, QStringLiteral("-%1").arg(copy));
        const QString path = QDir(folder).filePath(numbered);
        const NewFileResult written = FileWriteNew(path, content, error);
        if (written == NewFileResult::Exists)
            continue;
        return written == NewFileResult::Written ? path : QString();
    }
    *error = tr("plus de %1 sauvegardes de ce lecteur dans la même seconde").arg(ConfigBackupCopiesMax);
    return QString();
}

QString ConfigBackupFolderDefault()
{
    return QDir(OperatorFolder()).filePath(QStringLiteral("sauvegardes"));
}
