#ifndef CONFIGPAGE_H
#define CONFIGPAGE_H

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "config/configjobs.h"
#include "config/configmodel.h"

namespace Ui {
class MainWindow;
}
class QTreeWidgetItem;
class QWidget;
class ReaderSession;

// The page "Lecteur": the parameter tree is a view of the configuration
// model, edits go to the model, and the load and save run as jobs whose
// reports the page shows.
class ConfigPage : public QObject
{
    Q_OBJECT
public:
    ConfigPage(QWidget *window, Ui::MainWindow *ui, ReaderSession &session,
               const QString &startFolder);

    ConfigModel &model() { return m_model; }
    // The write, for those who follow its runs (the ledger).
    const ConfigSaveJob &saveJob() const { return m_save; }
    // A load or a save of the configuration runs.
    bool isBusy() const
    {
        return m_load.isRunning() || m_save.isRunning() || m_read.isRunning() || m_preview;
    }
    // Where a write keeps the reader's previous values.
    QString backupFolder() const;

    void load();
    void save();
    void chooseFile();
    void loadFile();
    void saveFile();
    void showAllColumns();
    void itemChanged(QTreeWidgetItem *item, int column);

signals:
    // A load or save started or ended: the buttons follow.
    void busyChanged();
    // Results (a job's outcome, what failed, the page's own results).
    void journal(const QString &text);
    // Each step of a job, for the debug pane.
    void stepLine(const QString &text);

private:
    void connectJob(ReaderJob &job);
    void setStatus(const QString &text);
    void prepareTree();
    void show(const QString &identifier);
    void showAll();
    void showUnknownValue(QTreeWidgetItem *item, const ConfigParameter &parameter, bool showable);
    void setTreeEditable(bool editable);
    void busyUpdate();
    void clockCheck(JobOutcome outcome);
    void readBeforeWriteEnded(JobOutcome outcome);
    void preview();
    void previewClosed(int result);
    void saveFailedToStart();
    void linkChanged();

    QWidget *m_window;
    Ui::MainWindow *ui;
    const QString &m_startFolder;
    ConfigModel m_model;
    ConfigLoadJob m_load;
    ConfigSaveJob m_save;
    ConfigReadJob m_read;
    class WritePreviewDialog *m_preview = nullptr;
    ReaderIdentity m_previewIdentity;
    bool m_previewCancelled = false;
    QHash<QString, QList<QTreeWidgetItem *>> m_items;
    bool m_showing = false;  // the page writes the cells: no edit to record
};

#endif
