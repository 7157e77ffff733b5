// blacklist-diff: the reader's list against a blacklist file or CSV, as a
// fleet tool asks before it replaces a list (and only when it differs).
#include <QCoreApplication>
#include <QHash>
#include <QJsonObject>

#include "blacklist/blacklistcheck.h"
#include "blacklist/blacklistcsv.h"
#include "blacklist/blacklistjobs.h"
#include "blacklist/blacklisttext.h"
#include "cli/cliexit.h"
#include "cli/clioutput.h"
#include "cli/clirunner.h"

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("kovrim-cli", text);
}

bool IsCsv(const QString &path)
{
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

QJsonObject RowObject(const QStringList &cells)
{
    return QJsonObject{{"date", cells.value(BlackList::ColumnDate)},
                       {"uid", cells.value(BlackList::ColumnUid)},
                       {"user", cells.value(BlackList::ColumnUser)},
                       {"group", cells.value(BlackList::ColumnGroup)},
                       {"reason", cells.value(BlackList::ColumnReason)}};
}

// The entries of `from` that `other` does not hold, as often as they are
// missing there: the order of a list does not matter to the reader.
QStringList Missing(const QStringList &from, const QStringList &other)
{
    QHash<QString, int> left;
    for (const QString &entry : other)
        ++left[entry];
    QStringList missing;
    for (const QString &entry : from) {
        int &count = left[entry];
        if (count > 0)
            --count;
        else
            missing << entry;
    }
    return missing;
}
}

int CliRunner::readBlackListInput(BlackListTransfer *transfer, QList<QStringList> *rows)
{
    QString refusal;
    const bool read = IsCsv(m_options.file) ? BlackListCsvRead(inputPath(), rows, &refusal)
                                            : BlackListFileRead(inputPath(), rows, &refusal);
    if (!read) {
        m_out.message(refusal.isEmpty()
                          ? tr("Fichier %1 illisible : ouverture impossible.").arg(m_options.file)
                          : tr("Fichier %1 illisible : %2.").arg(m_options.file, refusal));
        return CliExit::InputFile;
    }
    // The same rules as the window's: an invalid row stops the whole
    // transfer, empty rows and repeats are not sent but counted.
    *rows = BlackListRowsNormalise(*rows);
    *transfer = BlackListTransferPlan(*rows);
    for (int row : qAsConst(transfer->invalid)) {
        QStringList reasons;
        for (const BlackListCellFault &fault : BlackListRowFaults(rows->at(row)))
            reasons << fault.reason;
        m_out.message(tr("Fichier %1 : ligne %2 : %3.").arg(m_options.file).arg(row + 1).arg(reasons.join(", ")));
    }
    if (!transfer->invalid.isEmpty())
        return CliExit::InputFile;
    m_out.set(QStringLiteral("skipped"), transfer->skipped);
    return CliExit::Done;
}

int CliRunner::blacklistDiff()
{
    BlackListTransfer transfer;
    QList<QStringList> rows;
    if (const int status = readBlackListInput(&transfer, &rows))
        return status;
    const QStringList &wanted = transfer.entries;
    // Each entry shown as the file's row that gives it, reason included.
    QHash<QString, QStringList> fileRows;
    for (const QStringList &row : qAsConst(rows))
        if (!BlackListRowIsEmpty(row) && !fileRows.contains(BlackListCellsToEntry(row)))
            fileRows.insert(BlackListCellsToEntry(row), row);
    if (const int status = openPort())
        return status;
    BlackListReadJob read(*m_session);
    if (const int status = runJob(read))
        return status;
    const QStringList added = Missing(wanted, read.entries());
    const QStringList removed = Missing(read.entries(), wanted);
    m_out.set(QStringLiteral("added"), QJsonArray());
    m_out.set(QStringLiteral("removed"), QJsonArray());
    for (const QString &entry : added) {
        const QStringList cells = fileRows.value(entry);
        m_out.result(tr("À ajouter : %1").arg(BlackListCellsToLine(cells)));
        m_out.append(QStringLiteral("added"), RowObject(cells));
    }
    for (const QString &entry : removed) {
        QStringList cells;
        if (!BlackListEntryToCells(entry, &cells))
            cells = QStringList{QString(), entry, QString(), QString(), QString()};
        m_out.result(tr("À retirer : %1").arg(BlackListCellsToLine(cells)));
        m_out.append(QStringLiteral("removed"), RowObject(cells));
    }
    m_out.set(QStringLiteral("reader_entries"), read.entries().size());
    m_out.set(QStringLiteral("file_entries"), wanted.size());
    if (added.isEmpty() && removed.isEmpty()) {
        m_out.message(tr("La liste noire du lecteur est celle du fichier (%1 entrée(s)).").arg(wanted.size()));
        return CliExit::Done;
    }
    m_out.message(tr("Liste noire du lecteur : %1 entrée(s) à ajouter, %2 à retirer.")
                      .arg(added.size())
                      .arg(removed.size()));
    return CliExit::Differences;
}
