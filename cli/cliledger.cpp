// The ledger from the command line: reader writes recorded, and the
// commands that export, verify and list it.
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/clirunner.h"
#include "ledger/ledger.h"
#include "ledger/ledgerexport.h"
#include "util/textfile.h"

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}

// The kind of reader write a command makes, or empty when it writes none.
QString WriteKind(const CliOptions &options)
{
    const QString &command = options.command;
    if (command == QLatin1String("config-write") && !options.dryRun)
        return LedgerKind::Configuration;
    if (command == QLatin1String("blacklist-write"))
        return LedgerKind::BlackList;
    if (command == QLatin1String("clock-set") && !options.check)
        return LedgerKind::Clock;
    return QString();
}

bool LedgerCommand(const QString &command)
{
    return command.startsWith(QLatin1String("ledger-"));
}

QString Euros(qint64 cents)
{
    return LedgerAmountText(cents);
}
}

int CliRunner::ledgerOpen()
{
    if (WriteKind(m_options).isEmpty() && !LedgerCommand(m_options.command))
        return CliExit::Done;
    m_ledger = std::make_unique<Ledger>(m_options.ledgerFile.isEmpty() ? Ledger::DefaultPath()
                                                                       : m_options.ledgerFile);
    LedgerContext context;
    context.operatorName = Ledger::OperatorName(m_options.operatorName);
    context.port = m_options.port;
    m_ledger->setContext(context);
    const bool opened = m_ledger->open();
    if (!m_ledger->setAsidePath().isEmpty())
        m_out.message(tr("Historique endommagé : mis de côté sous %1, un nouveau commence.")
                          .arg(m_ledger->setAsidePath()));
    if (opened)
        return CliExit::Done;
    m_out.message(LedgerCommand(m_options.command)
                      ? tr("Historique %1 illisible : %2.").arg(m_ledger->path(), m_ledger->error())
                      : tr("Historique inaccessible : écriture non envoyée (%1).").arg(m_ledger->error()));
    m_ledger.reset();
    return LedgerCommand(m_options.command) ? CliExit::InputFile : CliExit::OutputFile;
}

// One row per reader write, whatever its outcome: what it wrote, its
// backup and its check, as the jobs reported them.
void CliRunner::ledgerRecord(int status)
{
    const QString kind = WriteKind(m_options);
    // Nothing reached the reader (a file refused, the port closed): no job ran.
    if (kind.isEmpty() || !m_ledger || m_ledgerNotes.isEmpty())
        return;
    LedgerContext context = m_ledger->context();
    context.port = m_port;
    m_ledger->setContext(context);
    QStringList detail = m_ledgerNotes;
    if (!m_options.file.isEmpty())
        detail.prepend(tr("Fichier : %1").arg(m_options.file));
    detail << tr("kovrim-cli %1 : code de sortie %2 (%3)")
                  .arg(m_options.command)
                  .arg(status)
                  .arg(CliOutcomeName(status));
    const LedgerResult recorded = m_ledger->recordMaintenance(
        kind, status == CliExit::Done ? LedgerOutcome::Done : LedgerOutcome::Failed,
        detail.join(QLatin1Char('\n')));
    if (!recorded.ok())
        m_out.message(tr("Historique inaccessible : écriture faite mais non inscrite (%1).").arg(recorded.error));
}

int CliRunner::ledgerExport()
{
    LedgerFilter filter;
    filter.from = m_options.from;
    filter.to = m_options.to;
    QList<LedgerEntry> rows = m_ledger->entries(filter);
    std::reverse(rows.begin(), rows.end());  // oldest first, as a file is read
    const QByteArray content = m_out.json() ? LedgerJsonLines(rows) : LedgerCsvContent(rows);
    m_out.set(QStringLiteral("rows"), rows.size());
    if (m_options.file == QLatin1String("-"))
        return writeOutput(content);
    QString error;
    if (!FileWriteWhole(m_options.file, content, &error)) {
        m_out.message(tr("Fichier %1 impossible à écrire : %2.").arg(m_options.file, error));
        return CliExit::OutputFile;
    }
    m_out.set(QStringLiteral("file"), m_options.file);
    m_out.message(tr("%1 ligne(s) d'historique exportée(s) dans %2.").arg(rows.size()).arg(m_options.file));
    return CliExit::Done;
}

int CliRunner::ledgerVerify()
{
    const LedgerVerification verification = m_ledger->verify();
    m_out.set(QStringLiteral("rows"), double(verification.rows));
    if (verification.ok) {
        m_out.result(tr("Historique intègre : %1 ligne(s).").arg(verification.rows));
        return CliExit::Done;
    }
    m_out.set(QStringLiteral("bad_row"), double(verification.badSeq));
    m_out.set(QStringLiteral("reason"), verification.reason);
    m_out.message(verification.badSeq > 0
                      ? tr("Historique altéré à la ligne %1 : %2.").arg(verification.badSeq).arg(verification.reason)
                      : tr("Historique illisible : %1.").arg(verification.reason));
    return CliExit::CheckFailed;
}

int CliRunner::ledgerPending()
{
    const QList<LedgerEntry> rows = m_ledger->unsettled();
    for (const LedgerEntry &row : rows) {
        m_out.result(tr("%1\t%2\t%3 de %4\t%5\tutilisateur %6\tsolde avant %7\t%8")
                         .arg(row.seq)
                         .arg(row.at.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), row.kind,
                              Euros(row.amountCents), row.uid, row.user,
                              row.balanceBeforeCents ? Euros(*row.balanceBeforeCents) : tr("inconnu"),
                              row.operatorName));
        m_out.append(QStringLiteral("pending"),
                     QJsonObject{{"seq", double(row.seq)},
                                 {"time", row.at.toString(Qt::ISODateWithMs)},
                                 {"kind", row.kind},
                                 {"amount_cents", double(row.amountCents)},
                                 {"uid", row.uid},
                                 {"user", row.user},
                                 {"operator", row.operatorName}});
    }
    if (rows.isEmpty()) {
        m_out.set(QStringLiteral("pending"), QJsonArray());
        m_out.message(tr("Aucune opération à régler."));
    }
    return CliExit::Done;
}
