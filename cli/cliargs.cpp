#include "cli/cliargs.h"

#include <QCoreApplication>
#include <QHash>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}

// A command, whether it takes a FILE, and the options only it takes.
struct CommandShape {
    const char *name;
    bool takesFile;
    QStringList options;
};

const QList<CommandShape> &Commands()
{
    static const QList<CommandShape> commands = {
        {"ports", false, {}},
        {"config-read", true, {}},
        {"config-diff", true, {}},
        {"config-write", true, {"--dry-run", "--backup-dir", "--include-identity"}},
        {"blacklist-read", true, {}},
        {"blacklist-write", true, {"--allow-empty", "--backup-dir"}},
        {"blacklist-diff", true, {}},
        {"clock-set", false, {"--check", "--tolerance"}},
        {"badge-read", false, {"--wait"}},
        {"ledger-export", true, {"--from", "--to"}},
        {"ledger-verify", false, {}},
        {"ledger-pending", false, {}},
    };
    return commands;
}

const CommandShape *FindCommand(const QString &name)
{
    for (const CommandShape &shape : Commands())
        if (name == QLatin1String(shape.name))
            return &shape;
    return nullptr;
}

// Options that take a value, as "--name VALUE" or "--name=VALUE".
bool TakesValue(const QString &name)
{
    static const QStringList valued = {"--port", "--backup-dir", "--wait", "--tolerance", "--ledger",
                                       "--operator", "--from", "--to"};
    return valued.contains(name);
}

bool KnownOption(const QString &name)
{
    static const QStringList known = {"--port", "--json", "--progress", "--dry-run", "--check",
                                      "--backup-dir", "--wait", "--allow-empty", "--tolerance",
                                      "--include-identity", "--help", "--version", "--ledger", "--operator",
                                      "--from", "--to"};
    return known.contains(name);
}

// A day as "2026-12-08" or "08/12/2026".
QDate DateOption(const QString &value)
{
    const QDate iso = QDate::fromString(value, Qt::ISODate);
    return iso.isValid() ? iso : QDate::fromString(value, QStringLiteral("dd/MM/yyyy"));
}

bool SetOption(const QString &name, const QString &value, CliOptions *options, QString *error)
{
    if (name == QLatin1String("--ledger"))
        options->ledgerFile = value;
    else if (name == QLatin1String("--operator"))
        options->operatorName = value.trimmed();
    else if (name == QLatin1String("--from") || name == QLatin1String("--to")) {
        const QDate day = DateOption(value);
        if (!day.isValid() && !value.isEmpty()) {
            *error = tr("%1 attend une date AAAA-MM-JJ ou JJ/MM/AAAA : « %2 »").arg(name, value);
            return false;
        }
        (name == QLatin1String("--from") ? options->from : options->to) = day;
    } else if (name == QLatin1String("--port"))
        options->port = value;
    else if (name == QLatin1String("--backup-dir"))
        options->backupDir = value;
    else if (name == QLatin1String("--wait")) {
        bool ok = false;
        options->waitSeconds = value.toInt(&ok);
        if (!ok || options->waitSeconds < 1 || options->waitSeconds > 3600) {
            *error = tr("--wait attend un nombre de secondes de 1 à 3600 : « %1 »").arg(value);
            return false;
        }
    } else if (name == QLatin1String("--tolerance")) {
        bool ok = false;
        options->toleranceMinutes = value.toInt(&ok);
        if (!ok || options->toleranceMinutes < 0 || options->toleranceMinutes > 1440) {
            *error = tr("--tolerance attend un nombre de minutes de 0 à 1440 : « %1 »").arg(value);
            return false;
        }
    } else if (name == QLatin1String("--json"))
        options->json = true;
    else if (name == QLatin1String("--progress"))
        options->progress = true;
    else if (name == QLatin1String("--dry-run"))
        options->dryRun = true;
    else if (name == QLatin1String("--check"))
        options->check = true;
    else if (name == QLatin1String("--allow-empty"))
        options->allowEmpty = true;
    else if (name == QLatin1String("--include-identity"))
        options->includeIdentity = true;
    else if (name == QLatin1String("--help"))
        options->help = true;
    else if (name == QLatin1String("--version"))
        options->version = true;
    if (TakesValue(name) && value.isEmpty() && error->isEmpty())
        *error = tr("%1 attend une valeur").arg(name);
    return error->isEmpty();
}

// The options and the words that are not options, in order.
bool Split(const QStringList &arguments, CliOptions *options, QStringList *words,
           QStringList *given, QString *error)
{
    bool optionsEnd = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnd || argument == QLatin1String("-") || !argument.startsWith(QLatin1Char('-'))) {
            *words << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        QString name = argument;
        if (name == QLatin1String("-h"))
            name = QStringLiteral("--help");
        else if (name == QLatin1String("-V"))
            name = QStringLiteral("--version");
        QString value;
        const int equals = name.indexOf(QLatin1Char('='));
        const bool inlineValue = equals > 0;
        if (inlineValue) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (!KnownOption(name)) {
            *error = tr("option inconnue : %1").arg(argument);
            return false;
        }
        if (inlineValue && !TakesValue(name)) {
            *error = tr("%1 ne prend pas de valeur").arg(name);
            return false;
        }
        if (TakesValue(name) && !inlineValue) {
            if (i + 1 >= arguments.size()) {
                *error = tr("%1 attend une valeur").arg(name);
                return false;
            }
            value = arguments.at(++i);
        }
        // "--port A --port B" would silently take B.
        if (given->contains(name)) {
            *error = tr("option donnée deux fois : %1").arg(name);
            return false;
        }
        *given << name;
        if (!SetOption(name, value, options, error))
            return false;
    }
    return true;
}

bool CheckWritePort(const CliOptions &options, QString *error);

bool CheckCommand(const QStringList &words, const QStringList &given, CliOptions *options,
                  QString *error)
{
    if (words.isEmpty()) {
        *error = tr("aucune commande");
        return false;
    }
    const CommandShape *shape = FindCommand(words.first());
    if (!shape) {
        *error = tr("commande inconnue : %1").arg(words.first());
        return false;
    }
    options->command = words.first();
    const int fileCount = shape->takesFile ? 1 : 0;
    if (words.size() - 1 < fileCount) {
        *error = tr("%1 attend un FICHIER").arg(options->command);
        return false;
    }
    if (words.size() - 1 > fileCount) {
        *error = tr("argument en trop pour %1 : %2").arg(options->command, words.at(fileCount + 1));
        return false;
    }
    if (fileCount)
        options->file = words.at(1);
    static const QStringList commandOptions = {"--dry-run", "--backup-dir", "--check", "--wait",
                                               "--allow-empty", "--tolerance", "--include-identity", "--from", "--to"};
    for (const QString &name : given) {
        if (commandOptions.contains(name) && !shape->options.contains(name)) {
            *error = tr("%1 ne s'applique pas à %2").arg(name, options->command);
            return false;
        }
    }
    if (given.contains(QStringLiteral("--tolerance")) && !options->check) {
        *error = tr("--tolerance ne s'applique qu'avec --check");
        return false;
    }
    return CheckWritePort(*options, error);
}

// A write goes to the reader the operator named, never to whatever port
// happens to be listed first.
bool CheckWritePort(const CliOptions &options, QString *error)
{
    const bool writes = options.command == QLatin1String("blacklist-write")
                        || (options.command == QLatin1String("config-write") && !options.dryRun)
                        || (options.command == QLatin1String("clock-set") && !options.check);
    if (writes && options.port.isEmpty()) {
        *error = tr("%1 écrit dans le lecteur : donnez son port avec --port PORT").arg(options.command);
        return false;
    }
    return true;
}

} // namespace

bool CliParse(const QStringList &arguments, CliOptions *options, QString *error)
{
    *options = CliOptions();
    error->clear();
    QStringList words;
    QStringList given;
    if (!Split(arguments, options, &words, &given, error))
        return false;
    if (options->help || options->version)
        return true;
    return CheckCommand(words, given, options, error);
}

bool CliJsonAsked(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("--json"))
            return true;
    }
    return false;
}

QString CliVersion()
{
    return QStringLiteral("kovrim-cli %1").arg(QCoreApplication::applicationVersion());
}

QString CliHelp()
{
    return tr(
        "Usage : kovrim-cli [--port PORT] [--json] [--progress] COMMANDE [ARGUMENTS]\n"
        "\n"
        "Le travail de la fenêtre KovrimManager sur un lecteur de badges, depuis un\n"
        "terminal, une tâche cron ou un outil de parc : un lecteur par processus.\n"
        "\n"
        "Commandes :\n"
        "  ports                     ports série, avec leur description et leur fabricant\n"
        "  config-read FICHIER       lit les paramètres du lecteur dans un fichier de\n"
        "                            configuration (- : sortie standard)\n"
        "  config-diff FICHIER       paramètres dont la valeur du lecteur diffère du fichier\n"
        "  config-write FICHIER      écrit les paramètres qui diffèrent du fichier : sauvegarde\n"
        "                            des valeurs remplacées, écriture, validation, relecture\n"
        "      --dry-run             montre ce qui serait écrit, n'écrit rien\n"
        "      --backup-dir DOSSIER  dossier des sauvegardes\n"
        "                            (défaut : Documents/KovrimManager/sauvegardes)\n"
        "      --include-identity    écrit aussi les paramètres propres au lecteur\n"
        "                            (Identifiant matériel 3.0.2, Adresse IP 13.1.4)\n"
        "  blacklist-read FICHIER    liste noire du lecteur dans un fichier (- : sortie standard)\n"
        "  blacklist-write FICHIER   sauvegarde la liste noire du lecteur, envoie celle du\n"
        "                            fichier, la relit ; en cas d'échec, rétablit l'ancienne\n"
        "      --allow-empty         accepte un fichier vide (qui efface la liste du lecteur)\n"
        "      --backup-dir DOSSIER  dossier des sauvegardes (même défaut)\n"
        "  blacklist-diff FICHIER    entrées à ajouter et à retirer pour que la liste noire du\n"
        "                            lecteur soit celle du fichier (liste noire ou CSV)\n"
        "  clock-set                 met le lecteur à la date et à l'heure du PC\n"
        "      --check               lit seulement l'heure du lecteur et affiche l'écart\n"
        "      --tolerance MINUTES   avec --check : écart au-delà duquel le code est 10\n"
        "                            (défaut : 2)\n"
        "  badge-read                attend un badge, le lit, affiche ses champs (clé=valeur)\n"
        "      --wait SECONDES       attente maximale du badge (défaut : 10)\n"
        "  ledger-export FICHIER     l'historique en CSV (avec --json : un objet JSON par ligne)\n"
        "      --from DATE           à partir de ce jour (AAAA-MM-JJ ou JJ/MM/AAAA)\n"
        "      --to DATE             jusqu'à ce jour inclus\n"
        "  ledger-verify             vérifie le chaînage de l'historique, nomme la première\n"
        "                            ligne altérée\n"
        "  ledger-pending            les opérations sur badge au résultat inconnu, à régler\n"
        "\n"
        "Options :\n"
        "  --port PORT               port série ; obligatoire pour écrire (config-write,\n"
        "                            blacklist-write, clock-set) ; sinon le premier listé\n"
        "  --json                    un objet JSON par résultat sur la sortie standard\n"
        "  --progress                avancement sur la sortie d'erreur même hors terminal\n"
        "  --ledger FICHIER          historique (défaut : Documents/KovrimManager/kovrim.sqlite)\n"
        "  --operator NOM            opérateur inscrit dans l'historique (défaut : le compte)\n"
        "  -h, --help                cette aide\n"
        "  -V, --version             la version\n"
        "\n"
        "Codes de sortie :\n"
        "  0 fait   10 config-diff, blacklist-diff : différences ; clock-set --check :\n"
        "  écart trop grand\n"
        "  1 refus du lecteur   2 pas de réponse   3 port impossible à ouvrir, déjà\n"
        "  utilisé ou perdu   4 la relecture diffère de l'écriture ; ledger-verify :\n"
        "  historique altéré   5 lecteur laissé dans un état partiel (nommé)\n"
        "  64 ligne de commande incorrecte   65 fichier d'entrée illisible\n"
        "  73 sauvegarde, fichier de sortie ou historique impossible à écrire\n"
        "  74 sortie standard impossible à écrire\n"
        "  129, 130, 143 arrêté par SIGHUP, SIGINT, SIGTERM (après l'échange en cours)\n");
}
