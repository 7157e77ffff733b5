// The configuration commands: read, compare and write the reader's
// parameters against a configuration file, with the window's safe write.
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>

#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/clirunner.h"
#include "config/configjobs.h"
#include "config/configmodel.h"
#include "config/configstore.h"
#include "link/readersession.h"
#include "util/textfile.h"

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}

QString Quoted(const QString &text)
{
    return QStringLiteral("« %1 »").arg(text);
}

// What the reader holds, as the technician reads it.
QString ReaderValueText(const ConfigParameter &parameter)
{
    return parameter.readerKnown ? parameter.readerValue : tr("(inconnue)");
}
}

int CliRunner::loadReader(ConfigModel &model)
{
    if (const int status = openPort())
        return status;
    ConfigLoadJob job(*m_session, model);
    // A load before a write is not run again on a new connection: the
    // write must follow the reading it was compared with.
    return m_options.command == QLatin1String("config-write") ? runJob(job) : runRead(job);
}

int CliRunner::readConfigFile(const ConfigModel &model, QList<ConfigLine> *lines)
{
    QString refusal;
    if (!ConfigFileRead(inputPath(), lines, &refusal)) {
        m_out.message(refusal.isEmpty()
                          ? tr("Fichier %1 illisible : ouverture impossible.").arg(m_options.file)
                          : tr("Fichier %1 illisible : %2.").arg(m_options.file, refusal));
        return CliExit::InputFile;
    }
    // A file that names no parameter is no configuration: writing "nothing
    // differs" for it would be a lie.
    const bool named = std::any_of(lines->cbegin(), lines->cend(), [&](const ConfigLine &line) {
        return model.find(line.identifier) != nullptr;
    });
    if (!named) {
        m_out.message(tr("Fichier %1 illisible : aucun paramètre du lecteur.").arg(m_options.file));
        return CliExit::InputFile;
    }
    return CliExit::Done;
}

int CliRunner::configRead()
{
    // A file that cannot be written is found before the reader is read (a
    // device such as /dev/null is written to as it is, never replaced).
    const QFileInfo target(m_options.file);
    const bool special = target.exists() && !target.isFile() && !target.isDir();
    if (m_options.file != QLatin1String("-") && !special) {
        QSaveFile probe(m_options.file);
        errno = target.isDir() ? EISDIR : 0;
        if (target.isDir() || !probe.open(QIODevice::WriteOnly)) {
            m_out.message(tr("Fichier %1 impossible à écrire : %2.")
                              .arg(m_options.file, errno ? SystemErrorText(errno) : probe.errorString()));
            return CliExit::OutputFile;
        }
        probe.cancelWriting();
    }
    ConfigModel model;
    if (const int status = loadReader(model))
        return status;
    // A parameter the reader refused to give has no value to keep; one
    // shown twice in the tree is one parameter.
    QStringList known;
    for (const QString &identifier : model.itemOrder())
        if (model.find(identifier)->valueKnown && !known.contains(identifier))
            known << identifier;
    m_out.set(QStringLiteral("parameters"), known.size());
    if (m_options.file == QLatin1String("-")) {
        if (m_out.json()) {
            QJsonObject values;
            for (const QString &identifier : known)
                values.insert(identifier, model.value(identifier));
            m_out.set(QStringLiteral("values"), values);
            return CliExit::Done;
        }
        return writeOutput(ConfigFileContent(model));
    }
    QString error;
    if (!ConfigFileSave(m_options.file, model, &error)) {
        m_out.message(tr("Fichier %1 impossible à écrire : %2.").arg(m_options.file, error));
        return CliExit::OutputFile;
    }
    m_out.set(QStringLiteral("file"), m_options.file);
    m_out.message(tr("%1 paramètres lus dans %2.").arg(known.size()).arg(m_options.file));
    return CliExit::Done;
}

// The file laid over the reader's values: what differs is marked, as in
// the window after "Charger". Read-only parameters never differ: nothing
// can write them, and the reader's clock changes every minute. A file with
// a line the reader's parameters cannot take is refused as a whole: half a
// configuration is not what the technician meant to copy.
int CliRunner::configChanges(QList<ConfigLine> *lines, ConfigModel &model)
{
    if (const int status = readConfigFile(model, lines))
        return status;
    if (const int status = loadReader(model))
        return status;
    const QStringList refusals = model.fileRefusals(*lines);
    if (!refusals.isEmpty()) {
        for (const QString &refusal : refusals) {
            m_out.message(tr("Fichier %1 : %2").arg(m_options.file, refusal));
            m_out.append(QStringLiteral("refused_lines"), refusal);
        }
        m_out.message(tr("Fichier %1 refusé : rien n'a été écrit.").arg(m_options.file));
        return CliExit::InputFile;
    }
    model.applyFile(*lines);
    return CliExit::Done;
}

namespace {
// The changes that belong to one reader (its hardware identifier, its
// address) apart from the others.
void SplitPerReader(const QList<ConfigChange> &changes, QList<ConfigChange> *common,
                    QList<ConfigChange> *perReader)
{
    for (const ConfigChange &change : changes)
        (IsPerReaderParameter(change.identifier) ? perReader : common)->append(change);
}
}

void CliRunner::reportPerReader(const ConfigModel &model, const QList<ConfigChange> &perReader,
                                const QString &what)
{
    for (const ConfigChange &change : perReader) {
        const ConfigParameter &parameter = *model.find(change.identifier);
        m_out.result(tr("%1 (%2) : propre au lecteur, %3 : lecteur %4, fichier %5")
                         .arg(change.identifier, parameter.label, what, ReaderValueText(parameter),
                              Quoted(change.value)));
        m_out.append(QStringLiteral("per_reader"),
                     QJsonObject{{"id", change.identifier},
                                 {"label", parameter.label},
                                 {"reader", parameter.readerKnown ? QJsonValue(parameter.readerValue)
                                                                  : QJsonValue()},
                                 {"file", change.value}});
    }
}

int CliRunner::configDiff()
{
    ConfigModel model;
    QList<ConfigLine> lines;
    if (const int status = configChanges(&lines, model))
        return status;
    QList<ConfigChange> changes;
    QList<ConfigChange> perReader;
    SplitPerReader(model.changes(), &changes, &perReader);
    for (const ConfigChange &change : qAsConst(changes)) {
        const ConfigParameter &parameter = *model.find(change.identifier);
        m_out.result(tr("%1 (%2) : lecteur %3, fichier %4")
                         .arg(change.identifier, parameter.label,
                              parameter.readerKnown ? Quoted(parameter.readerValue) : tr("(inconnue)"),
                              Quoted(change.value)));
        m_out.append(QStringLiteral("differences"),
                     QJsonObject{{"id", change.identifier},
                                 {"label", parameter.label},
                                 {"reader", parameter.readerKnown ? QJsonValue(parameter.readerValue)
                                                                  : QJsonValue()},
                                 {"file", change.value}});
    }
    if (changes.isEmpty())
        m_out.set(QStringLiteral("differences"), QJsonArray());
    // Another reader's identity in the file is no difference to mend.
    reportPerReader(model, perReader, tr("non compté"));
    return changes.isEmpty() ? CliExit::Done : CliExit::Differences;
}

int CliRunner::configWrite()
{
    ConfigModel model;
    QList<ConfigLine> lines;
    if (const int status = configChanges(&lines, model))
        return status;
    QList<ConfigChange> changes;
    QList<ConfigChange> perReader;
    SplitPerReader(model.changes(), &changes, &perReader);
    if (m_options.includeIdentity)
        changes = model.changes();
    else
        reportPerReader(model, perReader, tr("non écrit sans --include-identity"));
    if (m_options.dryRun) {
        reportDryRun(model, changes);
        return CliExit::Done;
    }
    if (changes.isEmpty()) {
        m_out.message(tr("Le lecteur a déjà la configuration du fichier : rien à écrire."));
        return CliExit::Done;
    }
    ConfigSaveJob job(*m_session, model);
    job.setChanges(changes);
    job.setBackupFolder(m_options.backupDir.isEmpty() ? ConfigBackupFolderDefault()
                                                      : m_options.backupDir);
    job.setCheck(true);
    setPending(tr("Des paramètres écrits peuvent rester en attente dans le lecteur, non validés : "
                  "comparez-le au fichier (config-diff)."));
    const int status = runJob(job);
    setPending(QString());
    reportWrite(job);
    return status;
}

void CliRunner::reportDryRun(const ConfigModel &model, const QList<ConfigChange> &changes)
{
    for (const ConfigChange &change : changes) {
        const ConfigParameter &parameter = *model.find(change.identifier);
        m_out.result(tr("À écrire : %1 = %2 (lecteur : %3)")
                         .arg(change.identifier, Quoted(change.value), ReaderValueText(parameter)));
        m_out.append(QStringLiteral("writes"),
                     QJsonObject{{"id", change.identifier}, {"value", change.value}, {"done", false}});
    }
    m_out.set(QStringLiteral("dry_run"), true);
    m_out.message(tr("Essai : rien n'a été écrit (%1 paramètre(s) à écrire).").arg(changes.size()));
}

void CliRunner::reportWrite(const ConfigSaveJob &job)
{
    if (!job.backupPath().isEmpty()) {
        m_out.result(tr("Sauvegarde : %1").arg(job.backupPath()));
        m_out.set(QStringLiteral("backup"), job.backupPath());
    }
    for (const ConfigChange &change : job.written()) {
        m_out.result(tr("Ecriture %1 = %2 : OK").arg(change.identifier, Quoted(change.value)));
        m_out.append(QStringLiteral("writes"),
                     QJsonObject{{"id", change.identifier}, {"value", change.value}, {"done", true}});
    }
    for (const QString &object : job.committed()) {
        m_out.result(tr("Validation de l'objet %1 : OK").arg(object));
        m_out.append(QStringLiteral("commits"), object);
    }
    for (const ConfigSaveJob::Check &check : job.checks()) {
        const QString shown = check.equal() ? tr("OK")
                              : check.answered ? tr("ECHEC, relu %1").arg(Quoted(check.read))
                                               : tr("ECHEC, pas de valeur relue");
        m_out.result(tr("Vérification %1 = %2 : %3")
                         .arg(check.identifier, Quoted(check.written), shown));
        m_out.append(QStringLiteral("checks"),
                     QJsonObject{{"id", check.identifier},
                                 {"written", check.written},
                                 {"read", check.answered ? QJsonValue(check.read) : QJsonValue()},
                                 {"ok", check.equal()}});
    }
    m_out.set(QStringLiteral("written"), job.writtenCount());
    m_out.set(QStringLiteral("committed"), job.committedCount());
    m_out.set(QStringLiteral("checked"), job.checkedCount());
    m_out.set(QStringLiteral("restored"), job.restoredCount());
    m_out.set(QStringLiteral("pending"), job.partial().size());
}
