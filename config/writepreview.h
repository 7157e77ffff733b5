#ifndef WRITEPREVIEW_H
#define WRITEPREVIEW_H

#include <QDialog>
#include <QList>

#include "config/configmodel.h"
#include "ui_writepreview.h"

// What a configuration write will change, before anything is sent: one
// row per parameter in write order, the reader's value beside the new one,
// each row checked. Only the checked rows are written.
class WritePreviewDialog : public QDialog
{
    Q_OBJECT
public:
    WritePreviewDialog(const ConfigModel &model, const QList<ConfigChange> &changes,
                       QWidget *parent = nullptr);
    QList<ConfigChange> selected() const;

private:
    Ui::WritePreview ui;
    QList<ConfigChange> m_changes;
};

#endif
