#include "blacklist/blacklistpage.h"

#include <QDate>
#include <QDir>
#include <QMessageBox>
#include <QTableWidget>

#include "blacklist/blacklistdelegate.h"
#include "blacklist/blacklisttext.h"
#include "link/readersession.h"
#include "ui_mainwindow.h"

BlackListPage::BlackListPage(QWidget *window, Ui::MainWindow *ui, ReaderSession &session,
                             const QString &startFolder)
    : QObject(window), m_window(window), ui(ui), m_startFolder(startFolder), m_write(session),
      m_read(session), m_check(session), m_session(session)
{
    QTableWidget *table = ui->TABLE_BlackList;
    table->setAlternatingRowColors(true);
    table->setRowCount(0);
    table->setColumnCount(BlackList::ColumnCount);
    table->setSortingEnabled(false);
    table->setHorizontalHeaderLabels(tr("Date;Uid;Utilisateur;Groupe;Raison").split(';'));
    table->setItemDelegate(new BlackListItemDelegate(table));
    for (ReaderJob *job : {static_cast<ReaderJob *>(&m_write), static_cast<ReaderJob *>(&m_read),
                           static_cast<ReaderJob *>(&m_check)}) {
        // A job's status texts are steps: its outcome line is the journal's.
        connect(job, &ReaderJob::statusChanged, ui->SAI_BlackListStatus, &QLineEdit::setText);
        connect(job, &ReaderJob::outcomeLine, this, &BlackListPage::journal);
        connect(job, &ReaderJob::journal, this, &BlackListPage::journal);
        connect(job, &ReaderJob::stepLine, this, &BlackListPage::stepLine);
    }
    connect(&m_write, &ReaderJob::finished, this, &BlackListPage::writeEnded);
    connect(&m_read, &ReaderJob::finished, this, &BlackListPage::readEnded);
}

// The page's own results go to the journal too, once for a run of equal ones.
void BlackListPage::setStatus(const QString &text)
{
    if (ui->SAI_BlackListStatus->text() == text)
        return;
    ui->SAI_BlackListStatus->setText(text);
    emit journal(text);
}

QString BlackListPage::filePath() const
{
    return QDir(m_startFolder).filePath(QStringLiteral("listenoire.txt"));
}

void BlackListPage::newRow()
{
    QTableWidget *table = ui->TABLE_BlackList;
    TableRowAppend(table);
    table->item(table->rowCount() - 1, BlackList::ColumnDate)
        ->setText(QDate::currentDate().toString(QLatin1String(BlackList::TableDateFormat)));
    setStatus(tr("Ligne insérée, saisir le numéro de goupe ou d'utilisateur"));
}

void BlackListPage::deleteRow()
{
    if (TableRowRemoveSelected(ui->TABLE_BlackList) < 0)
        setStatus(tr("sélectionnez une ligne auparavant"));
    else
        setStatus(tr("Ligne supprimée"));
}

void BlackListPage::writeFile()
{
    setStatus(tr("Enregistrement liste noire..."));
    if (m_file.TableSave(ui->TABLE_BlackList, filePath()))
        setStatus(tr("Enregistrement liste noire->OK"));
    else
        setStatus(tr("Enregistrement liste noire->ECHEC"));
}

void BlackListPage::readFile()
{
    setStatus(tr("Chargement liste noire..."));
    // The load replaces the rows only once the whole file is read.
    if (m_file.TableLoad(ui->TABLE_BlackList, filePath()))
        setStatus(tr("Chargement liste noire->OK"));
    else if (m_file.LoadError.isEmpty())
        setStatus(tr("Chargement liste noire->ECHEC"));
    else  // the file was read but refused: say why
        setStatus(tr("Chargement liste noire->ECHEC : %1").arg(m_file.LoadError));
}

// The write sends the entries the table held at the click: an edit
// meanwhile can neither skip nor repeat a row.
void BlackListPage::writeToReader()
{
    QTableWidget *table = ui->TABLE_BlackList;
    QStringList entries;
    QString entry;
    if (!m_session.isOpen() || m_session.chain().isRunning())
        return;
    for (int found = m_file.TableFirst(table, BlackListRowToEntry, &entry); found;
         found = m_file.TableNext(table, BlackListRowToEntry, &entry))
        entries << entry;
    // The reader's list is cleared first: the operator says so knowingly.
    if (QMessageBox::question(m_window, tr("Liste noire"),
                              tr("Remplacer la liste noire du lecteur par les %1 lignes de la table ?")
                                  .arg(entries.size()),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes) {
        setStatus(tr("LN Ecriture->annulée"));
        return;
    }
    m_write.setEntries(entries);
    // The link may have gone while the operator answered.
    if (!m_write.start())
        setStatus(tr("LN Put->ECHEC : liaison fermée ou occupée"));
}

// The failed add is shown on the page the operator looks at too. A list
// sent whole is read back and compared with what was sent.
void BlackListPage::writeEnded(JobOutcome outcome)
{
    if (outcome != JobOutcome::Done) {
        if (m_write.status().startsWith(QLatin1String("LN Add")))
            ui->SAI_ProtocoleStatus->setText(m_write.status());
        return;
    }
    m_check.checkAgainst(m_write.entries());
    // The chain has just ended: only a lost link keeps the check from
    // starting, and then the list sent is not known to be kept.
    if (!m_check.start())
        checkNotStarted();
}

// The check compares and says how it ended; that it could not start is the
// page's to say.
void BlackListPage::checkNotStarted()
{
    setStatus(tr("LN Vérification->ECHEC"));
    emit journal(tr("LN Vérification : relecture interrompue"));
}

void BlackListPage::readFromReader()
{
    m_read.start();
}

// The table is replaced only by a complete list, and only with the
// operator's consent when it holds rows.
void BlackListPage::readEnded(JobOutcome outcome)
{
    if (outcome != JobOutcome::Done)
        return;
    const QList<QStringList> rows = m_read.rows();
    QTableWidget *table = ui->TABLE_BlackList;
    if (table->rowCount() > 0
        && QMessageBox::question(m_window, tr("Liste noire"),
                                 tr("Remplacer les %1 lignes de la table par les %2 entrées lues ?")
                                     .arg(table->rowCount())
                                     .arg(rows.size()))
               != QMessageBox::Yes) {
        setStatus(tr("LN Lecture->annulée"));
        return;
    }
    TableRowsReplace(table, rows);
    // The read's outcome line has the journal's word on it.
    ui->SAI_BlackListStatus->setText(tr("LN Lecture->OK"));
}
