#ifndef CONFIGSTORE_H
#define CONFIGSTORE_H

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "config/paramlogic.h"

class ConfigModel;

// The configuration file, read into and written from the model.

// The lines of a configuration file. False when it cannot be opened
// (*refusal empty) or is no configuration text (*refusal says why).
bool ConfigFileRead(const QString &path, QList<ConfigLine> *lines, QString *refusal);
// Reads the file into the model; a file that is refused, or that names no
// parameter, leaves the model untouched. Lines the model cannot take are
// left out and named in *refusedLines, one text each.
bool ConfigFileLoad(const QString &path, ConfigModel &model, QString *refusal,
                    QStringList *refusedLines = nullptr);
// The catalogue's parameter identifiers in tree order, each once: an
// identifier shown on two items is one parameter.
QStringList ConfigFileIdentifiers(const ConfigModel &model);
// One line per parameter, in tree order, for the parameters whose value is
// known: a value the reader refused to give is left out rather than copied
// as an empty one into another reader.
QByteArray ConfigFileContent(const ConfigModel &model);
// Written aside and put in place only when complete: a failure leaves the
// previous file as it was.
bool ConfigFileSave(const QString &path, const ConfigModel &model, QString *error = nullptr);

// The name of the backup of what a write replaces:
// lecteur-<Code site>-<Identifiant matériel>-<yyyyMMdd-HHmmss>.txt, with the
// reader's values ("inconnu" where not known).
QString ConfigBackupName(const ConfigModel &model, const QDateTime &when);
// Writes the values known from the reader into `folder` (made if missing).
// An existing backup is never replaced: the name then takes "-2", "-3"...
// before ".txt". Returns the file's path, or an empty text with *error
// saying why.
constexpr int ConfigBackupCopiesMax = 1000;
// Where a write keeps its backups unless told otherwise: "sauvegardes" in
// the operator's folder.
QString ConfigBackupFolderDefault();
QString ConfigBackupWrite(const QString &folder, const ConfigModel &model, const QDateTime &when,
                          QString *error);

#endif
