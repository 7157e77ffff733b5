#include "tools/readertools.h"

#include <QDebug>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "app/mainwindow.h"
#include "link/commands.h"
#include "tools/cardaccess.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

// Reader clock, output tests and firmware file.

ReaderClockTexts ClockTexts(const QDateTime &moment)
{
    return {moment.toString(QStringLiteral("dd/MM/yy")), moment.toString(QStringLiteral("HH:mm"))};
}

// The date, then the time of the same moment, as a chain: the window stays
// responsive, a poll holding the slot only delays the next write, and the
// box says OK only when the reader accepted both.
void MainWindow::on_BTN_DateHeureMAJ_clicked()
{
    if (!Chain.start(CHAIN_CLOCK, tr("MAJ Date/Heure"), 2, [this] { ClockFinished(false); })) {
        // Only a closed link stops it: the button waits for a running chain.
        if (!Chain.isRunning())
            ClockFinished(false);
        return;
    }
    connect(&Chain, &CommandChain::polledAnswer, this, &MainWindow::ClockAnswerProcess,
            Qt::UniqueConnection);
    const ReaderClockTexts texts = ClockTexts(QDateTime::currentDateTime());
    ClockTimeText = texts.time;
    ClockDateSent = true;
    Chain.send({Cmd::FamilyValue, Cmd::ValuePut,
                QLatin1String(ReaderToolId::Date) + "=" + texts.date, ARG_NONE,
                CmdTimeout::ValuePut});
}

void MainWindow::ClockAnswerProcess(bool ok, char status, const QString &)
{
    if (!Chain.isRunning(CHAIN_CLOCK))
        return;
    Chain.step();
    if (!ok || status != Cmd::StatusOk) {
        Chain.fail();
        ClockFinished(false);
        return;
    }
    if (!ClockDateSent) {
        Chain.succeed();
        ClockFinished(true);
        return;
    }
    ClockDateSent = false;
    Chain.send({Cmd::FamilyValue, Cmd::ValuePut,
                QLatin1String(ReaderToolId::Time) + "=" + ClockTimeText, ARG_NONE,
                CmdTimeout::ValuePut});
}

// Shown once the chain has ended, outside the answer handling.
void MainWindow::ClockFinished(bool succeeded)
{
    const QString text = succeeded ? tr("Mise à jour OK") : tr("Mise à jour ECHEC");
    QTimer::singleShot(0, this, [this, text] {
        QMessageBox::information(this, tr("MAJ Heure/Date"), text, QMessageBox::Ok);
    });
}

void MainWindow::OutputTestSend(const QString &name, const char *id)
{
    if (!Protocole.Cmd.IsFree.load(std::memory_order_acquire))
        return;
    const QString duration = ui->SAI_TestDurationImpulsion->text();
    if (!SingleField(duration) || !PayloadFits(QLatin1String(id) + "=" + duration)) {
        ui->SAI_TestCmdStatus->setText(tr("Erreur->Durée non valide"));
        return;
    }
    if (Protocole.PutValueRequest(QLatin1String(id), duration, ARG_TEST_RESULT)
        != QProtocole::REQ_BUSY)
        ui->SAI_TestCmdStatus->setText(name);
}

void MainWindow::on_BTN_TestC1_clicked()
{
    OutputTestSend(tr("Test C1"), ReaderToolId::TestOutput1);
}

void MainWindow::on_BTN_TestC2_clicked()
{
    OutputTestSend(tr("Test C2"), ReaderToolId::TestOutput2);
}

// The file is only chosen: nothing programs the reader yet.
void MainWindow::on_BTN_FirmwareFile_clicked()
{
    QFileDialog::getOpenFileName(this, tr("Sélection du fichier hex"), ConfigStartFolder,
                                 tr("Prog (*.hex)"));
}

void MainWindow::TestResultProcess()
{
    bool ok = false;
    char status = 0;
    if (!Protocole.CmdAnswer(ok, status))
        return;
    const bool accepted = ok && status == Cmd::StatusOk;
    ui->SAI_TestCmdStatus->setText(ui->SAI_TestCmdStatus->text()
                                   + (accepted ? QStringLiteral("->OK") : QStringLiteral("->ECHEC")));
}
