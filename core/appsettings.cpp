#include "core/appsettings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {
SettingsStore Store = SettingsStore::None;
QString StoreFile;
}

void SettingsStoreUse(SettingsStore store, const QString &file)
{
    Store = store;
    StoreFile = file;
}

std::unique_ptr<QSettings> SettingsStoreOpen()
{
    switch (Store) {
    case SettingsStore::Native:
        return std::make_unique<QSettings>();
    case SettingsStore::File:
        return std::make_unique<QSettings>(StoreFile, QSettings::IniFormat);
    case SettingsStore::None:
        break;
    }
    return nullptr;
}

QString SettingsText(const QSettings &settings, const QString &key, int maxChars)
{
    const QVariant value = settings.value(key);
    if (value.type() != QVariant::String)
        return QString();
    const QString text = value.toString();
    return text.size() <= maxChars ? text : QString();
}

QString OperatorFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents.isEmpty() ? QDir::homePath() : documents)
        .filePath(QStringLiteral("KovrimManager"));
}
