#ifndef APPSETTINGS_H
#define APPSETTINGS_H

#include <QString>
#include <memory>

class QSettings;

// Where the window keeps the operator's choices between two runs. The
// application picks the platform's native place at start (app/main.cpp);
// until something is picked nothing is kept, so a window built elsewhere
// (tests, tools) starts from the defined values and writes nothing.
enum class SettingsStore { None, Native, File };
void SettingsStoreUse(SettingsStore store, const QString &file = QString());
// The store picked, or nullptr when nothing is kept.
std::unique_ptr<QSettings> SettingsStoreOpen();

// A text setting, or empty when it is missing, not a text or longer than
// maxChars (the file may have been edited by hand).
QString SettingsText(const QSettings &settings, const QString &key, int maxChars);

// The folder of the operator's files (configurations, blacklists, backups):
// KovrimManager in his documents, or in his home when the system names no
// documents folder. Not made here.
QString OperatorFolder();

#endif
