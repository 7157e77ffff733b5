#include "blacklist/blacklistpage.h"

#include <QColor>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QSet>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <numeric>

#include "blacklist/blacklistcheck.h"
#include "blacklist/blacklistcsv.h"
#include "blacklist/blacklistdelegate.h"
#include "blacklist/blacklisttext.h"
#include "link/readersession.h"
#include "ui_mainwindow.h"

using namespace BlackList;

namespace {
const QColor FaultColour(255, 185, 185);
const QColor DuplicateColour(255, 210, 140);
// What a cell is marked as: the colour is never the only sign, each has its
// icon in the cell and its reason in the tooltip.
enum class Mark { None, Fault, Duplicate };
constexpr int MarkRole = Qt::UserRole + 1;
// The longest UID the table takes, shown whole.
const QString LongestUid(20, QLatin1Char('D'));

// What a row is, whole, for telling an imported row already in the table.
QString RowKey(const QStringList &cells)
{
    return cells.join(QChar(0x1f));
}

void CellMark(QTableWidgetItem *item, Mark mark, const QIcon &icon, const QString &tip)
{
    // Unchanged marks are not set again: each set is a repaint and a signal.
    if (item->data(MarkRole).toInt() != int(mark)) {
        item->setData(MarkRole, int(mark));
        item->setData(Qt::BackgroundRole, mark == Mark::Fault       ? QVariant(FaultColour)
                                          : mark == Mark::Duplicate ? QVariant(DuplicateColour)
                                                                    : QVariant());
        item->setData(Qt::DecorationRole, icon.isNull() ? QVariant() : QVariant(icon));
    }
    if (item->toolTip() != tip) {
        item->setToolTip(tip);
        item->setData(Qt::AccessibleDescriptionRole, tip);
    }
}
}

BlackListPage::BlackListPage(QWidget *window, Ui::MainWindow *ui, ReaderSession &session,
                             const QString &startFolder)
    : QObject(window), m_window(window), ui(ui), m_startFolder(startFolder), m_write(session),
      m_read(session), m_session(session)
{
    QTableWidget *table = ui->TABLE_BlackList;
    table->setAlternatingRowColors(true);
    table->setRowCount(0);
    table->setColumnCount(ColumnCount);
    // Sorting stays off: the table keeps the file's order and a row being
    // edited never moves; a click on a header sorts once (sortBy).
    table->setSortingEnabled(false);
    table->setHorizontalHeaderLabels(tr("Date;Uid;Utilisateur;Groupe;Raison").split(';'));
    table->setItemDelegate(new BlackListItemDelegate(table));
    table->horizontalHeader()->setSectionsClickable(true);
    table->horizontalHeader()->setStretchLastSection(true);
    m_faultIcon = table->style()->standardIcon(QStyle::SP_MessageBoxWarning);
    m_duplicateIcon = table->style()->standardIcon(QStyle::SP_MessageBoxInformation);
    connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this, &BlackListPage::sortBy);
    connect(table, &QTableWidget::itemChanged, this, &BlackListPage::cellEdited);
    connect(table->model(), &QAbstractItemModel::rowsInserted, this, &BlackListPage::scheduleMarks);
    connect(table->model(), &QAbstractItemModel::rowsRemoved, this, &BlackListPage::scheduleMarks);
    connect(ui->SAI_BlackListFilter, &QLineEdit::textChanged, this, &BlackListPage::applyFilter);
    for (ReaderJob *job : {static_cast<ReaderJob *>(&m_write), static_cast<ReaderJob *>(&m_read)}) {
        // A job's status texts are steps: its outcome line is the journal's.
        connect(job, &ReaderJob::statusChanged, ui->SAI_BlackListStatus, &QLineEdit::setText);
        connect(job, &ReaderJob::outcomeLine, this, &BlackListPage::journal);
        connect(job, &ReaderJob::journal, this, &BlackListPage::journal);
        connect(job, &ReaderJob::stepLine, this, &BlackListPage::stepLine);
    }
    connect(&m_write, &ReaderJob::outcomeLine, this, [this](const QString &line) { m_writeOutcome = line; });
    // A refused add is shown on the page the operator looks at too.
    connect(&m_write, &ReaderJob::statusChanged, this, [this](const QString &text) {
        if (text == QLatin1String("LN Add->ECHEC"))
            this->ui->SAI_ProtocoleStatus->setText(text);
    });
    connect(&m_write, &ReaderJob::finished, this, &BlackListPage::writeEnded);
    connect(&m_read, &ReaderJob::finished, this, &BlackListPage::readEnded);
    showCount();
    fitColumns();
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

QList<QStringList> BlackListPage::rows() const
{
    return TableRows(ui->TABLE_BlackList);
}

void BlackListPage::replaceRows(const QList<QStringList> &rows)
{
    TableRowsReplace(ui->TABLE_BlackList, BlackListRowsNormalise(rows));
    applyFilter();
}

void BlackListPage::appendRows(const QList<QStringList> &rows)
{
    replaceRows(this->rows() + rows);
}

void BlackListPage::newRow()
{
    QTableWidget *table = ui->TABLE_BlackList;
    TableRowAppend(table);
    table->item(table->rowCount() - 1, ColumnDate)
        ->setText(QDate::currentDate().toString(QLatin1String(TableDateFormat)));
    setStatus(tr("Ligne insérée, saisir le numéro de goupe ou d'utilisateur"));
}

void BlackListPage::deleteRow()
{
    if (TableRowRemoveSelected(ui->TABLE_BlackList) < 0)
        setStatus(tr("sélectionnez une ligne auparavant"));
    else
        setStatus(tr("Ligne supprimée"));
}

// A UID is kept as the reader sees it, numbers without blanks: what the
// operator typed is normalised as soon as the cell is left.
void BlackListPage::cellEdited(QTableWidgetItem *item)
{
    if (m_marking)
        return;
    const QString normal = BlackListCellNormalise(item->text(), item->column());
    if (normal != item->text()) {
        m_marking = true;
        item->setText(normal);
        m_marking = false;
    }
    scheduleMarks();
}

// Marks and count are worked out once per turn of the event loop, not
// once per row of a file being loaded.
void BlackListPage::scheduleMarks()
{
    if (m_marksPending)
        return;
    m_marksPending = true;
    QTimer::singleShot(0, this, &BlackListPage::showMarks);
}

void BlackListPage::showMarks()
{
    m_marksPending = false;
    QTableWidget *table = ui->TABLE_BlackList;
    const QList<QStringList> all = rows();
    const QVector<int> duplicateOf = BlackListDuplicateOf(all);
    m_marking = true;
    for (int row = 0; row < all.size(); ++row) {
        QStringList faults(QVector<QString>(ColumnCount).toList());
        for (const BlackListCellFault &fault : BlackListRowFaults(all.at(row)))
            faults[fault.column] += (faults.at(fault.column).isEmpty() ? QString() : QStringLiteral("\n"))
                                    + fault.reason;
        for (int column = 0; column < ColumnCount; ++column) {
            QTableWidgetItem *item = table->item(row, column);
            if (!item)
                continue;
            if (!faults.at(column).isEmpty())
                CellMark(item, Mark::Fault, m_faultIcon, faults.at(column));
            else if (duplicateOf.at(row) >= 0)  // one icon for the row, at its start
                CellMark(item, Mark::Duplicate, column == ColumnDate ? m_duplicateIcon : QIcon(),
                         tr("Doublon de la ligne %1").arg(duplicateOf.at(row) + 1));
            else
                CellMark(item, Mark::None, QIcon(), QString());
        }
    }
    m_marking = false;
    showCount();
    fitColumns();
}

// Each column as wide as its texts and marks, a UID of the longest kind
// whole even before one is typed; the reason takes what is left.
void BlackListPage::fitColumns()
{
    QTableWidget *table = ui->TABLE_BlackList;
    for (int column = 0; column < ColumnReason; ++column)
        table->resizeColumnToContents(column);
    const int icon = table->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, table);
    const int margins = 4 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 8;
    const int uid = table->fontMetrics().horizontalAdvance(LongestUid) + icon + margins;
    if (table->columnWidth(ColumnUid) < uid)
        table->setColumnWidth(ColumnUid, uid);
}

// Rows added while a search is shown stay visible until the search
// changes: a row being typed does not vanish under the operator.
void BlackListPage::applyFilter()
{
    QTableWidget *table = ui->TABLE_BlackList;
    const QString text = ui->SAI_BlackListFilter->text().trimmed();
    for (int row = 0; row < table->rowCount(); ++row) {
        bool shown = text.isEmpty();
        for (int column = 0; column < ColumnCount && !shown; ++column)
            shown = TableCellText(table, row, column).contains(text, Qt::CaseInsensitive);
        table->setRowHidden(row, !shown);
    }
    showCount();
}

void BlackListPage::showCount()
{
    QTableWidget *table = ui->TABLE_BlackList;
    const int total = table->rowCount();
    int shown = 0;
    for (int row = 0; row < total; ++row)
        shown += table->isRowHidden(row) ? 0 : 1;
    const QString lines = total > 1 ? tr("lignes") : tr("ligne");
    ui->LAB_BlackListCount->setText(ui->SAI_BlackListFilter->text().trimmed().isEmpty()
                                        ? QStringLiteral("%1 %2").arg(total).arg(lines)
                                        : QStringLiteral("%1 / %2 %3").arg(shown).arg(total).arg(lines));
}

// One sort per click, stable, the same column again reversing it.
void BlackListPage::sortBy(int column)
{
    QTableWidget *table = ui->TABLE_BlackList;
    // A cell still being typed is kept: leaving its editor commits it.
    table->setFocus();
    m_sortDescending = column == m_sortColumn && !m_sortDescending;
    m_sortColumn = column;
    const QList<QStringList> all = rows();
    QVector<int> order(all.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return m_sortDescending ? BlackListRowLess(all.at(b), all.at(a), column)
                                : BlackListRowLess(all.at(a), all.at(b), column);
    });
    QList<QStringList> sorted;
    for (int index : order)
        sorted << all.at(index);
    replaceRows(sorted);
    table->horizontalHeader()->setSortIndicatorShown(true);
    table->horizontalHeader()->setSortIndicator(column, m_sortDescending ? Qt::DescendingOrder
                                                                          : Qt::AscendingOrder);
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
    if (m_file.TableLoad(ui->TABLE_BlackList, filePath())) {
        m_sortColumn = -1;
        ui->TABLE_BlackList->horizontalHeader()->setSortIndicatorShown(false);
        applyFilter();
        setStatus(tr("Chargement liste noire->OK"));
    } else if (m_file.LoadError.isEmpty()) {
        setStatus(tr("Chargement liste noire->ECHEC"));
    } else {  // the file was read but refused: say why
        setStatus(tr("Chargement liste noire->ECHEC : %1").arg(m_file.LoadError));
    }
}

// Rows are added, never replaced: exact copies of rows already there are
// left out, rows that break a rule come in marked for the operator to mend.
void BlackListPage::importCsv()
{
    const QString path = QFileDialog::getOpenFileName(m_window, tr("Importer CSV"), m_startFolder,
                                                      tr("CSV (*.csv *.txt);;Tous les fichiers (*)"));
    if (path.isEmpty())
        return;
    QList<QStringList> read;
    QString reason;
    if (!BlackListCsvRead(path, &read, &reason)) {
        if (reason.isEmpty())
            reason = tr("ouverture impossible");
        setStatus(tr("Import CSV->ECHEC : %1").arg(reason));
        QMessageBox::warning(m_window, tr("Importer CSV"),
                             tr("Le fichier %1 n'est pas importé : %2.").arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    QSet<QString> known;
    for (const QStringList &cells : rows())
        known.insert(RowKey(cells));
    QList<QStringList> added;
    int repeated = 0;
    for (const QStringList &cells : BlackListRowsNormalise(read)) {
        if (BlackListRowIsEmpty(cells))
            continue;
        if (known.contains(RowKey(cells))) {
            ++repeated;
            continue;
        }
        known.insert(RowKey(cells));
        added << cells;
    }
    if (added.isEmpty()) {
        setStatus(tr("Import CSV : aucune ligne à ajouter (%1 doublons ignorés)").arg(repeated));
        return;
    }
    if (QMessageBox::question(m_window, tr("Importer CSV"),
                              tr("Ajouter les %1 lignes lues à la table (%2 doublons ignorés) ?")
                                  .arg(added.size())
                                  .arg(repeated))
        != QMessageBox::Yes) {
        setStatus(tr("Import CSV->annulé"));
        return;
    }
    appendRows(added);
    setStatus(tr("Import CSV->OK : %1 lignes ajoutées").arg(added.size()));
}

// Every row is exported, those hidden by a search too.
void BlackListPage::exportCsv()
{
    const QString path = QFileDialog::getSaveFileName(m_window, tr("Exporter CSV"),
                                                      QDir(m_startFolder).filePath(QStringLiteral("listenoire.csv")),
                                                      tr("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    const QList<QStringList> all = rows();
    QString error;
    if (!BlackListCsvWrite(path, all, &error)) {
        setStatus(tr("Export CSV->ECHEC : %1").arg(error));
        QMessageBox::warning(m_window, tr("Exporter CSV"),
                             tr("Le fichier %1 n'est pas écrit : %2.").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    setStatus(tr("Export CSV->OK : %1 lignes").arg(all.size()));
}

// The write sends the entries the table held at the click: an edit
// meanwhile can neither skip nor repeat a row. An invalid row stops it
// before anything is sent; empty rows and repeats are not sent.
void BlackListPage::writeToReader()
{
    if (!m_session.isOpen() || m_session.chain().isRunning())
        return;
    QTableWidget *table = ui->TABLE_BlackList;
    const QList<QStringList> all = rows();
    const BlackListTransfer transfer = BlackListTransferPlan(all);
    if (!transfer.invalid.isEmpty()) {
        const int invalidRow = transfer.invalid.first();
        setStatus(tr("LN Ecriture->ECHEC : ligne %1 invalide").arg(invalidRow + 1));
        if (table->isRowHidden(invalidRow))
            ui->SAI_BlackListFilter->clear();
        table->setCurrentCell(invalidRow, BlackListRowFaults(all.at(invalidRow)).first().column);
        return;
    }
    if (!operatorAgrees(transfer))
        return;
    m_write.setTransfer(transfer);
    m_write.setBackupFolder(QDir(m_startFolder).filePath(QStringLiteral("sauvegardes")));
    if (!m_write.start())
        setStatus(tr("LN Put->ECHEC : liaison fermée ou occupée"));
}

// The reader's list is replaced: the operator says so knowingly, for the
// reader that was there when asked. A link that drops or comes back while
// the question is open cancels it.
bool BlackListPage::operatorAgrees(const BlackListTransfer &transfer)
{
    QString question = tr("Remplacer la liste noire du lecteur par les %1 de la table")
                           .arg(transfer.entries.size() > 1 ? tr("%1 entrées").arg(transfer.entries.size())
                                                            : tr("%1 entrée").arg(transfer.entries.size()));
    if (transfer.skipped > 0)
        question += transfer.skipped > 1
                        ? tr(" (%1 lignes vides ou en double non envoyées)").arg(transfer.skipped)
                        : tr(" (1 ligne vide ou en double non envoyée)");
    QMessageBox box(QMessageBox::Question, tr("Liste noire"), question + tr(" ?"),
                    QMessageBox::Yes | QMessageBox::No, m_window);
    box.setDefaultButton(QMessageBox::No);
    bool linkChanged = false;
    const QMetaObject::Connection link =
        connect(&m_session, &ReaderSession::portStateChanged, &box, [&box, &linkChanged] {
            linkChanged = true;
            box.done(QMessageBox::No);
        });
    const int answer = box.exec();
    disconnect(link);
    if (linkChanged) {
        setStatus(tr("LN Ecriture->annulée : liaison coupée pendant la question"));
        return false;
    }
    if (answer != QMessageBox::Yes) {
        setStatus(tr("LN Ecriture->annulée"));
        return false;
    }
    // The link may have gone while the operator answered.
    if (!m_session.isOpen() || m_session.chain().isRunning()) {
        setStatus(tr("LN Put->ECHEC : liaison fermée ou occupée"));
        return false;
    }
    return true;
}

// A write that did not end with its list read back leaves its outcome on
// the status line: what the reader holds, not the last step.
void BlackListPage::writeEnded(JobOutcome outcome)
{
    if (outcome != JobOutcome::Done)
        ui->SAI_BlackListStatus->setText(m_writeOutcome);
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
    const QList<QStringList> read = m_read.rows();
    QTableWidget *table = ui->TABLE_BlackList;
    if (table->rowCount() > 0
        && QMessageBox::question(m_window, tr("Liste noire"),
                                 tr("Remplacer les %1 lignes de la table par les %2 entrées lues ?")
                                     .arg(table->rowCount())
                                     .arg(read.size()))
               != QMessageBox::Yes) {
        setStatus(tr("LN Lecture->annulée"));
        return;
    }
    m_sortColumn = -1;
    table->horizontalHeader()->setSortIndicatorShown(false);
    replaceRows(read);
    // The read's outcome line has the journal's word on it.
    ui->SAI_BlackListStatus->setText(tr("LN Lecture->OK"));
}
