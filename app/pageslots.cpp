// The slots of the pages "Lecteur", "Liste noire", "Tests" and "Expert":
// each hands the work to its page.
#include "app/mainwindow.h"
#include "blacklist/blacklistpage.h"
#include "config/configpage.h"
#include "tools/readertools.h"
#include "tools/toolspage.h"

void MainWindow::on_BTN_ReaderConfigLoad_clicked()
{
    Config->load();
}

void MainWindow::on_BTN_ReaderConfigSave_clicked()
{
    Config->save();
}

void MainWindow::on_BTN_ReaderConfigAll_clicked()
{
    Config->showAllColumns();
}

void MainWindow::on_BTN_FileSelect_clicked()
{
    Config->chooseFile();
}

void MainWindow::on_BTN_ReaderFileLoad_clicked()
{
    Config->loadFile();
}

void MainWindow::on_BTN_ReaderFileSave_clicked()
{
    Config->saveFile();
}

void MainWindow::on_treeWidget_itemChanged(QTreeWidgetItem *item, int column)
{
    // The page is made after the form, whose tree reports its first texts.
    if (Config)
        Config->itemChanged(item, column);
}

void MainWindow::on_BTN_BlackListNew_clicked()
{
    BlackList->newRow();
}

void MainWindow::on_BTN_BlackListDelete_clicked()
{
    BlackList->deleteRow();
}

void MainWindow::on_BTN_BlackListWriteToFile_clicked()
{
    BlackList->writeFile();
}

void MainWindow::on_BTN_BlackListReadFromFile_clicked()
{
    BlackList->readFile();
}

void MainWindow::on_BTN_BlackListWriteToSupport_clicked()
{
    BlackList->writeToReader();
}

void MainWindow::on_BTN_BlackListReadFromSupport_clicked()
{
    BlackList->readFromReader();
}

void MainWindow::on_BTN_BlackListImportCsv_clicked()
{
    BlackList->importCsv();
}

void MainWindow::on_BTN_BlackListExportCsv_clicked()
{
    BlackList->exportCsv();
}

void MainWindow::on_BTN_ReaderRead_clicked()
{
    Tools->readBlock();
}

void MainWindow::on_BTN_ReaderWrite_clicked()
{
    Tools->writeBlock();
}

void MainWindow::on_BTN_ReaderIncrement_clicked()
{
    Tools->changeValue(true);
}

void MainWindow::on_BTN_ReaderDecrement_clicked()
{
    Tools->changeValue(false);
}

void MainWindow::on_BTN_TraillerRead_clicked()
{
    Tools->readTrailer();
}

void MainWindow::on_BTN_TraillerWrite_clicked()
{
    Tools->writeTrailer();
}

void MainWindow::on_BTN_TraillerDefault_clicked()
{
    Tools->defaultKeys();
}

void MainWindow::on_BTN_BadgeFormat_clicked()
{
    Tools->formatBadge();
}

void MainWindow::on_BTN_DateHeureMAJ_clicked()
{
    Tools->clockSet();
}

void MainWindow::on_BTN_TestC1_clicked()
{
    Tools->outputTest(tr("Test C1"), ReaderToolId::TestOutput1);
}

void MainWindow::on_BTN_TestC2_clicked()
{
    Tools->outputTest(tr("Test C2"), ReaderToolId::TestOutput2);
}

void MainWindow::on_BTN_FirmwareFile_clicked()
{
    Tools->firmwareFile();
}
