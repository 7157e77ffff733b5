#include "app/mainwindow.h"

#include <QDir>
#include <QPalette>
#include <QPushButton>

#include "app/portlist.h"
#include "ui_mainwindow.h"

namespace {
// Buttons that need the reader, in the order they are switched.
const char *const ReaderButtonNames[] = {
    "BTN_BlackListReadFromSupport", "BTN_BlackListReadFromReader", "BTN_BlackListWriteToReader",
    "BTN_BlackListWriteToSupport",  "BTN_ReaderConfigLoad",        "BTN_ReaderConfigSave",
};
constexpr int TabTest = 6;
constexpr int TabExpert = 7;

QString StartFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\local\\apps\\qtcreator");
#else
    // The fixed Windows folder has no meaning here: start from home.
    return QDir::homePath();
#endif
}
}

MainWindow::MainWindow(const QString &preferredPort, QWidget *parent)
    : QMainWindow(parent), PreferredPort(preferredPort)
{
    Q_INIT_RESOURCE(kovrim);
    TreeLoading = true;
    ui = new Ui::MainWindow;
    ui->setupUi(this);

    ui->SAI_Grp->setInputMask("0000000000");
    ui->SAI_Usr->setInputMask("0000000000");
    ParamTreePrepare();
    AppsConfigPrepare();
    BlackListTablePrepare();
    BadgeTypesPrepare();
    BadgeFormValidatorsPrepare();

    connect(&Protocole, &QProtocole::SIG_Debug, this, &MainWindow::DebugShow);
    connect(&Protocole, &QProtocole::SIG_ComStatus, this, &MainWindow::ComStatusShow);
    connect(&Protocole, &QProtocole::SIG_Data, this, &MainWindow::ComDataProcess);

    ui->ONG_Main->setCurrentIndex(0);
    PortListFill();
    qDebug("MainWindwo->Constructor");
    Protocole.start();
    on_BTN_Serial_clicked();

    ConfigStartFolder = StartFolder();
    ui->ONG_Main->setTabEnabled(TabTest, false);
    ui->ONG_Main->setTabEnabled(TabExpert, false);
    ui->LAB_Version->setText("Version:1.12");
    ui->LAB_Version->adjustSize();  // the form's width clips the text
}

MainWindow::~MainWindow()
{
    delete ui;
    ui = nullptr;
    // Cooperative stop: the port is closed and the thread has ended before
    // the engine member is destroyed.
    Protocole.Stop();
}

void MainWindow::PortListFill()
{
    ui->COMB_Serial->clear();
    ui->COMB_Serial->addItems(SerialPortNames(PreferredPort));
}

void MainWindow::on_BTN_Serial_clicked()
{
    Protocole.SetPortName(ui->COMB_Serial->currentText());
    qDebug("BTN_Seriel->Click");
    Protocole.PostComRequest(Protocole.ComIsOpen.load(std::memory_order_acquire)
                                 ? QProtocole::COM_CLOSE
                                 : QProtocole::COM_OPEN);
}

void MainWindow::on_BTN_ComReaderFind_clicked()
{
    PortListFill();
}

void MainWindow::ComStatusShow(QString text)
{
    ui->LINEEDIT_Com->setText(text);
    if (Protocole.ComIsOpen.load(std::memory_order_acquire)) {
        ComStatusColor(Qt::green);
        ui->BTN_Serial->setText(tr("Deconnecter"));
    } else {
        ComStatusColor(Qt::red);
        ui->BTN_Serial->setText(tr("Connecter"));
    }
}

void MainWindow::ComStatusColor(Qt::GlobalColor color)
{
    QPalette palette;
    const QBrush brush{QColor(color), Qt::SolidPattern};
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setBrush(group, QPalette::Text, brush);
    ui->LINEEDIT_Com->setPalette(palette);
}

void MainWindow::DebugShow(QString text)
{
    ui->TXTEDIT_Debug->appendPlainText(text);
}

void MainWindow::on_pushButton_3_clicked()
{
    ui->TXTEDIT_Debug->clear();
}

void MainWindow::ReaderButtonsSetEnabled(bool enabled)
{
    for (const char *name : ReaderButtonNames)
        if (QPushButton *button = findChild<QPushButton *>(name))
            button->setEnabled(enabled);
}

void MainWindow::ReaderButtonsEnable()
{
    ReaderButtonsSetEnabled(true);
}

void MainWindow::ReaderButtonsDisable()
{
    ReaderButtonsSetEnabled(false);
}
