#include <QDebug>
#include <QMessageBox>

#include "app/mainwindow.h"
#include "badge/transaction.h"
#include "link/commands.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

void MainWindow::on_BTN_TransactionDebit_clicked()
{
    TransactionSend(true);
}

void MainWindow::on_BTN_TransactionCredit_clicked()
{
    TransactionSend(false);
}

void MainWindow::TransactionSend(bool debit)
{
    bool converted = false;
    const qint32 cents = AmountToCents(ui->SAI_Transaction->text(), converted);
    // A negative amount would travel as a huge unsigned number: refused too.
    if (!converted || cents < 0) {
        QMessageBox::information(this, tr("Erreur"), tr("Contenu transaction invalide"),
                                 QMessageBox::Ok);
        return;
    }
    const QString payload =
        TransactionPayload(AppsConfigReadString("CREDIT.DEFAUT.NUMERO", "0"),
                           debit ? TransactionType::Debit : TransactionType::Credit, quint32(cents));
    if (!CommandSend(Cmd::FamilyBadge, Cmd::BadgeTransaction, payload, ARG_TRANSACTION_RESULT,
                     CmdTimeout::Transaction))
        return;
    qDebug(debit ? "débit" : "Crédit");
    ui->SAI_ProtocoleStatus->setText(debit ? tr("Débit ...") : tr("Crédit ..."));
}
