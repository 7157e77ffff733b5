#include <QDebug>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "link/commands.h"
#include "link/readersession.h"
#include "tools/cardaccess.h"
#include "tools/toolspage.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

// Reader clock, output tests and firmware file.

// The date, then the time of the same moment, as a job: the window stays
// responsive, a poll holding the slot only delays the next write, and the
// box says OK only when the reader accepted both.
void ToolsPage::clockSet()
{
    // Only a closed link stops it: the button waits for a running chain.
    if (!m_clock.start() && !m_session.chain().isRunning())
        clockEnded(JobOutcome::LinkLost);
}

// Shown once the job has ended, outside the answer handling.
void ToolsPage::clockEnded(JobOutcome outcome)
{
    const QString text = outcome == JobOutcome::Done ? tr("Mise à jour OK") : tr("Mise à jour ECHEC");
    QTimer::singleShot(0, this, [this, text] {
        QMessageBox::information(m_window, tr("MAJ Heure/Date"), text, QMessageBox::Ok);
    });
}

void ToolsPage::outputTest(const QString &name, const char *id)
{
    const QString duration = ui->SAI_TestDurationImpulsion->text();
    if (!SingleField(duration) || !PayloadFits(QLatin1String(id) + "=" + duration)) {
        ui->SAI_TestCmdStatus->setText(tr("Erreur->Durée non valide"));
        return;
    }
    if (m_session.send({Cmd::FamilyValue, Cmd::ValuePut, QLatin1String(id) + "=" + duration,
                        ARG_TEST_RESULT, CmdTimeout::ValuePut}))
        ui->SAI_TestCmdStatus->setText(name);
}

// The file is only chosen: nothing programs the reader yet.
void ToolsPage::firmwareFile()
{
    QFileDialog::getOpenFileName(m_window, tr("Sélection du fichier hex"), m_startFolder,
                                 tr("Prog (*.hex)"));
}

void ToolsPage::TestResultProcess(const ReaderAnswer &reply)
{
    ui->SAI_TestCmdStatus->setText(ui->SAI_TestCmdStatus->text()
                                   + (reply.accepted() ? QStringLiteral("->OK")
                                                       : QStringLiteral("->ECHEC")));
}
