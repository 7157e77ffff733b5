#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// Configuration file: to be built.

void MainWindow::on_BTN_FileSelect_clicked() {}
void MainWindow::on_BTN_ReaderFileLoad_clicked() {}
void MainWindow::on_BTN_ReaderFileSave_clicked() {}
