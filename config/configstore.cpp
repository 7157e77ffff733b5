#include "config/configstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

#include "config/configmodel.h"

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("ConfigFile", text);
}
}

bool ConfigFileRead(const QString &path, QList<ConfigLine> *lines, QString *refusal)
{
    refusal->clear();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    // Read within the bound: a huge file is refused without being read whole.
    const QByteArray content = file.read(ConfigFileMax + 1);
    if (file.error() != QFileDevice::NoError) {
        *refusal = tr("lecture impossible");
        return false;
    }
    return ConfigFileParse(content, lines, refusal);
}

bool ConfigFileLoad(const QString &path, ConfigModel &model, QString *refusal)
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
    model.applyFile(lines);
    return true;
}

QByteArray ConfigFileContent(const ConfigModel &model)
{
    QByteArray content;
    for (const QString &identifier : model.itemOrder())
        content += ConfigFileLine(identifier, model.value(identifier));
    return content;
}

bool ConfigFileSave(const QString &path, const ConfigModel &model, QString *error)
{
    QSaveFile file(path);
    const QByteArray content = ConfigFileContent(model);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(content) != content.size()
        || !file.commit()) {
        if (error)
            *error = path.isEmpty() ? tr("aucun nom de fichier") : file.errorString();
        return false;
    }
    return true;
}
