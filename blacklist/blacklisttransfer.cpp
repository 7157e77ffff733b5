#include <QMessageBox>
#include <QTableWidget>

#include "app/mainwindow.h"
#include "blacklist/blacklisttext.h"
#include "link/commands.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

// The blacklist goes to the reader's list file 5: one clear, then one add
// per row. It is read back one position at a time until the reader has no
// entry there.

namespace {
const QString ListFile = QStringLiteral("Fil=5");
// A list longer than this is not taken: it would be cut short silently.
constexpr int ReadMaxEntries = 1000;
}

void MainWindow::on_BTN_BlackListWriteToSupport_clicked()
{
    if (Chain.isRunning())
        return;
    QTableWidget *table = ui->TABLE_BlackList;
    QStringList entries;
    QString entry;
    for (int found = BlackListFile.TableFirst(table, BlackListRowToEntry, &entry); found;
         found = BlackListFile.TableNext(table, BlackListRowToEntry, &entry)) {
        // Checked before anything is cleared: the reader keeps its list
        // rather than get part of this one.
        if (!PayloadFits(ListFile + QLatin1Char(';') + entry)) {
            ui->SAI_BlackListStatus->setText(
                tr("LN Put->ECHEC : ligne %1 trop longue").arg(entries.size() + 1));
            return;
        }
        entries << entry;
    }
    if (!Chain.start(CHAIN_BLACKLIST_WRITE, tr("LN Ecriture"), entries.size(),
                     [this] { BlackListWriteFailed(); }))
        return;
    BlackListEntries = entries;
    BlackListFile.CurrentRow = 0;  // now the cursor over the entries sent
    BlackListClearing = true;
    ui->SAI_BlackListStatus->setText(tr("LN Put"));
    Chain.send(ChainRequest{Cmd::FamilyFile, Cmd::FileClear, ListFile, ARG_FILE_LN_CLEAR_RESULT,
                            CmdTimeout::File});
}

void MainWindow::BlackListAddSend()
{
    Chain.send(ChainRequest{Cmd::FamilyFile, Cmd::FileAdd,
                            ListFile + QLatin1Char(';') + BlackListEntries.at(BlackListFile.CurrentRow),
                            ARG_FILE_LN_ADD_RESULT, CmdTimeout::File});
}

// The failed add is shown on the page the operator looks at too.
void MainWindow::BlackListWriteFailed()
{
    if (BlackListClearing) {
        ui->SAI_BlackListStatus->setText(tr("LN effacement->échec"));
        return;
    }
    qDebug("LN Add->ECHEC ligne %d", BlackListFile.CurrentRow);
    ui->SAI_ProtocoleStatus->setText(tr("LN Add->ECHEC"));
    ui->SAI_BlackListStatus->setText(tr("LN Add->ECHEC"));
}

void MainWindow::BlackListClearResultProcess()
{
    qDebug("ARG_FILE_LN_CLEAR_RESULT");
    bool ok = false;
    char status = 0;
    if (!Protocole.CmdAnswer(ok, status))
        return;
    if (!Chain.isRunning(CHAIN_BLACKLIST_WRITE) || !BlackListClearing)
        return;
    if (!ok || status != Cmd::StatusOk) {
        BlackListWriteFailed();
        Chain.fail();
        return;
    }
    ui->SAI_BlackListStatus->setText(tr("LN effacement->OK"));
    BlackListClearing = false;
    if (BlackListEntries.isEmpty()) {
        ui->SAI_BlackListStatus->setText(tr("LN Aucun liste à envoyer11"));
        Chain.succeed();
        return;
    }
    qDebug("LECTURE DU BADGE");
    BlackListAddSend();
}

void MainWindow::BlackListAddResultProcess()
{
    qDebug("ARG_FILE_LN_ADD_RESULT");
    bool ok = false;
    char status = 0;
    if (!Protocole.CmdAnswer(ok, status))
        return;
    if (!Chain.isRunning(CHAIN_BLACKLIST_WRITE) || BlackListClearing)
        return;
    if (!ok || status != Cmd::StatusOk) {
        BlackListWriteFailed();
        Chain.fail();
        return;
    }
    ui->SAI_BlackListStatus->setText(tr("LN Add->OK"));
    Chain.step();
    if (++BlackListFile.CurrentRow < BlackListEntries.size()) {
        BlackListAddSend();
        return;
    }
    ui->SAI_BlackListStatus->setText(tr("LN Add->FIN"));
    Chain.succeed();
}

void MainWindow::on_BTN_BlackListReadFromSupport_clicked()
{
    if (!Chain.start(CHAIN_BLACKLIST_READ, tr("LN Lecture"), ReadMaxEntries,
                     [this] { ui->SAI_BlackListStatus->setText(tr("LN Lecture->ECHEC")); }))
        return;
    BlackListReadRows.clear();
    ui->SAI_BlackListStatus->setText(tr("LN Lecture ..."));
    BlackListGetSend();
}

void MainWindow::BlackListGetSend()
{
    Chain.send(ChainRequest{Cmd::FamilyFile, Cmd::FileGet,
                            ListFile + QStringLiteral(";Pos=") + QString::number(BlackListReadRows.size()),
                            ARG_FILE_LN_GET_RESULT, CmdTimeout::File});
}

void MainWindow::BlackListGetResultProcess()
{
    qDebug("ARG_FILE_LN_GET_RESULT");
    bool ok = false;
    char status = 0;
    QString answer;
    if (!Protocole.CmdAnswer(ok, status, answer))
        return;
    if (!Chain.isRunning(CHAIN_BLACKLIST_READ))
        return;
    if (ok && status != Cmd::StatusOk) {
        BlackListReadEnd();  // no entry at this position: the list is complete
        return;
    }
    QStringList cells;
    bool taken = ok;
    if (taken && !BlackListEntryToCells(answer, &cells)) {
        qDebug("LN Lecture : entrée %d illisible ***%s***", BlackListReadRows.size(),
               qUtf8Printable(answer));
        taken = false;
    } else if (taken && BlackListReadRows.size() >= ReadMaxEntries) {
        qDebug("LN Lecture : plus de %d entrées", ReadMaxEntries);
        taken = false;
    }
    if (!taken) {
        ui->SAI_BlackListStatus->setText(tr("LN Lecture->ECHEC"));
        BlackListReadRows.clear();
        Chain.fail();
        return;
    }
    BlackListReadRows.append(cells);
    Chain.step();
    BlackListGetSend();
}

// The table is replaced only by a complete list, and only with the
// operator's consent when it holds rows.
void MainWindow::BlackListReadEnd()
{
    const QList<QStringList> rows = BlackListReadRows;
    BlackListReadRows.clear();
    Chain.succeed();
    QTableWidget *table = ui->TABLE_BlackList;
    if (table->rowCount() > 0
        && QMessageBox::question(this, tr("Liste noire"),
                                 tr("Remplacer les %1 lignes de la table par les %2 entrées lues ?")
                                     .arg(table->rowCount())
                                     .arg(rows.size()))
               != QMessageBox::Yes) {
        ui->SAI_BlackListStatus->setText(tr("LN Lecture->annulée"));
        return;
    }
    TableRowsReplace(table, rows);
    ui->SAI_BlackListStatus->setText(tr("LN Lecture->OK"));
}
