#include "config/writepreview.h"

#include <QHeaderView>
#include <QTableWidgetItem>

#include "app/keyboard.h"

namespace {
QTableWidgetItem *Cell(const QString &text)
{
    auto *cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsEnabled);
    cell->setToolTip(text);
    return cell;
}

// Between « » so that a blank at either end shows; an option by its name.
QString Shown(const ConfigParameter &parameter, const QString &value)
{
    const QString text = ConfigValueText(parameter, value);
    return text == value ? QStringLiteral("« %1 »").arg(value) : text;
}
}

WritePreviewDialog::WritePreviewDialog(const ConfigModel &model, const QList<ConfigChange> &changes,
                                       QWidget *parent)
    : QDialog(parent), m_changes(changes)
{
    ui.setupUi(this);
    QTableWidget *table = ui.TABLE_WritePreview;
    table->setRowCount(changes.size());
    for (int row = 0; row < changes.size(); ++row) {
        const ConfigChange &change = changes.at(row);
        const ConfigParameter *parameter = model.find(change.identifier);
        // Another reader's identity copied from a file is written only
        // when the operator ticks it.
        QTableWidgetItem *label = Cell(change.perReader
                                           ? tr("%1 (propre au lecteur)").arg(parameter->label)
                                           : parameter->label);
        label->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        label->setCheckState(change.perReader ? Qt::Unchecked : Qt::Checked);
        table->setItem(row, 0, label);
        table->setItem(row, 1, Cell(change.identifier));
        table->setItem(row, 2, Cell(parameter->readerKnown ? Shown(*parameter, parameter->readerValue)
                                                           : tr("inconnu")));
        table->setItem(row, 3, Cell(Shown(*parameter, change.value)));
    }
    // Every column as wide as its texts, the new value taking what is left.
    for (int column = 0; column < table->columnCount() - 1; ++column)
        table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    AccessiblePrepare(this);
    connect(ui.BTN_WritePreviewWrite, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui.BTN_WritePreviewCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QList<ConfigChange> WritePreviewDialog::selected() const
{
    QList<ConfigChange> chosen;
    for (int row = 0; row < m_changes.size(); ++row)
        if (ui.TABLE_WritePreview->item(row, 0)->checkState() == Qt::Checked)
            chosen << m_changes.at(row);
    return chosen;
}
