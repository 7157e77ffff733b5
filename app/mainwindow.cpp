#include "app/mainwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>

#include "link/commands.h"

#include "core/appsettings.h"
#include "core/journal.h"
#include "app/keyboard.h"
#include "core/portlist.h"
#include "badge/badgepage.h"
#include "blacklist/blacklistpage.h"
#include "config/configpage.h"
#include "ledger/historypage.h"
#include "tools/toolspage.h"
#include "ui_mainwindow.h"

namespace {
constexpr int TabTest = 6;
constexpr int TabExpert = 7;
// The debug pane keeps the latest lines only: a chatty reader must not
// grow it without end.
constexpr int DebugPaneLines = 5000;

// A toolbar action standing for a button: it clicks the button, and is
// enabled when the button is, whatever enables it.
class ButtonAction : public QObject
{
public:
    ButtonAction(QAction *action, QAbstractButton *button)
        : QObject(action), m_action(action), m_button(button)
    {
        connect(action, &QAction::triggered, button, &QAbstractButton::click);
        button->installEventFilter(this);
        follow();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            follow();
        return false;
    }

private:
    void follow() { m_action->setEnabled(m_button->isEnabled()); }

    QAction *m_action;
    QAbstractButton *m_button;
};

// The desktop's icon, or the style's where the desktop has no theme.
QIcon ThemeIcon(const QWidget *widget, const char *name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QLatin1String(name), widget->style()->standardIcon(fallback));
}

QString StartFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\local\\apps\\qtcreator");
#else
    // The fixed Windows folder has no meaning here: the operator finds the
    // files in a folder of his documents.
    const QString folder = OperatorFolder();
    QDir().mkpath(folder);
    return folder;
#endif
}
}

MainWindow::MainWindow(const QString &preferredPort, bool expert, QWidget *parent)
    : QMainWindow(parent), PreferredPort(preferredPort), ExpertMode(expert)
{
    Q_INIT_RESOURCE(kovrim);
    ConfigStartFolder = StartFolder();
    ui = new Ui::MainWindow;
    ui->setupUi(this);
    ui->TXTEDIT_Debug->setMaximumBlockCount(DebugPaneLines);
    ChainProgressPrepare();
    ToolBarPrepare();

    ui->SAI_Grp->setInputMask("0000000000");
    ui->SAI_Usr->setInputMask("0000000000");
    PagesPrepare();
    AppsConfigPrepare();
    BadgePagePrepare();

    connect(&Protocole, &QProtocole::SIG_Debug, this, &MainWindow::DebugShow);
    connect(&Protocole, &QProtocole::SIG_ComStatus, this, &MainWindow::ComStatusShow);
    connect(&Session, &ReaderSession::statusText, this,
            [this](const QString &text) { ComDataProcess(EVT_STATUS_TEXT, 0, text); });
    connect(&Session, &ReaderSession::pollEvent, this,
            [this](const QString &text) { ComDataProcess(EVT_DATA, ARG_POLLING_EVENT, text); });
    connect(&Session, &ReaderSession::noSupport, this,
            [this] { ComDataProcess(EVT_DATA, ARG_POLLING_NO_SUPPORT, QString()); });
    connect(&Session, &ReaderSession::pollTimedOut, this,
            [this] { ComDataProcess(EVT_DATA, ARG_STATUS_TIMEOUT, QString()); });
    connect(&Session, &ReaderSession::portStateChanged, this,
            [this] { ComDataProcess(EVT_DATA, ARG_PORT_STATE, QString()); });
    connect(&Session, &ReaderSession::answered, this, &MainWindow::AnswerProcess);
    connect(&Chain, &CommandChain::progress, this, &MainWindow::ChainProgressShow);
    connect(&Chain, &CommandChain::finished, this, &MainWindow::ChainFinished);
    JournalPrepare();
    SettingsRestore();
    SettingsWatch();
    HistoryPrepare();

    ui->ONG_Main->setCurrentIndex(0);
    // Nothing that needs the reader works before the port is open.
    ReaderButtonsUpdate();
    PortListFill();
    connect(new SerialPortWatch(this), &SerialPortWatch::maybeChanged, this, &MainWindow::PortListFill);
    qDebug("MainWindwo->Constructor");
    Protocole.start();
    if (SavedPortAbsent.isEmpty()) {
        on_BTN_Serial_clicked();
    } else {
        ui->COMB_Serial->insertItem(0, SavedPortAbsent);
        ui->COMB_Serial->setCurrentIndex(0);
        ui->LINEEDIT_Com->setText(tr("Port enregistré absent : %1").arg(SavedPortAbsent));
    }

    ui->ONG_Main->setTabEnabled(TabTest, ExpertMode);
    ui->ONG_Main->setTabEnabled(TabExpert, ExpertMode);
    ui->LAB_Version->setText("Version:1.12");
    // Last: every page and its controls are built.
    KeyboardPrepare(this);
}

MainWindow::~MainWindow()
{
    SettingsGeometryWrite();
    // Cooperative stop: the port is closed and the thread has ended before
    // the pages and the form go.
    Protocole.Stop();
    delete Config;
    delete BlackList;
    delete Tools;
    delete History;
    delete ui;
    ui = nullptr;
}

// What a technician uses most, one click away from any page.
void MainWindow::ToolBarPrepare()
{
    ui->actionConnect->setIcon(ThemeIcon(this, "network-wired", QStyle::SP_DriveNetIcon));
    ui->actionConfigRead->setIcon(ThemeIcon(this, "go-down", QStyle::SP_ArrowDown));
    ui->actionConfigWrite->setIcon(ThemeIcon(this, "go-up", QStyle::SP_ArrowUp));
    new ButtonAction(ui->actionConnect, ui->BTN_Serial);
    new ButtonAction(ui->actionConfigRead, ui->BTN_ReaderConfigLoad);
    new ButtonAction(ui->actionConfigWrite, ui->BTN_ReaderConfigSave);
}

void MainWindow::PagesPrepare()
{
    Config = new ConfigPage(this, ui, Session, ConfigStartFolder);
    BlackList = new BlackListPage(this, ui, Session, ConfigStartFolder);
    Tools = new ToolsPage(this, ui, Session, ConfigStartFolder);
    connect(Config, &ConfigPage::busyChanged, this, &MainWindow::ReaderButtonsUpdate);
    connect(Config, &ConfigPage::journal, this, &MainWindow::JournalAdd);
    connect(BlackList, &BlackListPage::journal, this, &MainWindow::JournalAdd);
    connect(Tools, &ToolsPage::journal, this, &MainWindow::JournalAdd);
    connect(Config, &ConfigPage::stepLine, this, &MainWindow::DebugStepShow);
    connect(BlackList, &BlackListPage::stepLine, this, &MainWindow::DebugStepShow);
    connect(Tools, &ToolsPage::stepLine, this, &MainWindow::DebugStepShow);
    connect(Tools, &ToolsPage::badgeFormatted, this, &MainWindow::BadgeFormClear);
}

// The system's ports, the preferred one first, and the operator's choice
// where it stood even when its port is gone: the list follows the system
// without moving the choice, and never touches the open port.
void MainWindow::PortListFill()
{
    QComboBox *combo = ui->COMB_Serial;
    QStringList enumerated;
    QHash<QString, QString> tips;
    for (const SerialPortEntry &entry : SerialPortEntries()) {
        enumerated << entry.name;
        tips.insert(entry.name, PortToolTip(entry.description, entry.manufacturer));
    }
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    const QString selected = combo->currentText();
    QStringList names = PortListMerge(PreferredPort, enumerated);
    if (!selected.isEmpty() && !names.contains(selected))
        names.insert(qBound(0, shown.indexOf(selected), names.size()), selected);
    if (names != shown) {
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItems(names);
        combo->setCurrentIndex(qMax(0, names.indexOf(selected)));
    }
    for (int i = 0; i < combo->count(); ++i)
        combo->setItemData(i, tips.value(combo->itemText(i)), Qt::ToolTipRole);
    // The list closed shows the tooltip of the port chosen.
    combo->setToolTip(tips.value(combo->currentText()));
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
        SettingsPortOpened();
        LedgerContextUpdate();
        ComStatusColor(Qt::green);
        ui->BTN_Serial->setText(tr("Deconnecter"));
    } else {
        ComStatusColor(Qt::red);
        ui->BTN_Serial->setText(tr("Connecter"));
    }
    ui->actionConnect->setText(ui->BTN_Serial->text());
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

// A job's steps, dated as the journal's results they make up.
void MainWindow::DebugStepShow(const QString &text)
{
    ui->TXTEDIT_Debug->appendPlainText(JournalLine(QDateTime::currentDateTime(), text));
}

void MainWindow::on_pushButton_3_clicked()
{
    ui->TXTEDIT_Debug->clear();
}

void MainWindow::ReaderButtonsEnable()
{
    ReaderButtonsOn = true;
    ReaderButtonsUpdate();
}

void MainWindow::ReaderButtonsDisable()
{
    ReaderButtonsOn = false;
    ReaderButtonsUpdate();
}

// The six reader buttons and every button that sends a command follow the
// link; those that start a chain also wait for the running one to end, and
// a save needs a configuration. The configuration's file buttons wait for
// its load or save.
void MainWindow::ReaderButtonsUpdate()
{
    if (!Config || !Badge)
        return;
    const bool idle = !Chain.isRunning();
    const bool link = ReaderButtonsOn;
    const bool configIdle = !Config->isBusy();
    const bool configuration = Config->model().hasConfiguration();
    ui->BTN_BlackListReadFromSupport->setEnabled(link && idle);
    ui->BTN_BlackListReadFromReader->setEnabled(link);
    ui->BTN_BlackListWriteToReader->setEnabled(link);
    ui->BTN_BlackListWriteToSupport->setEnabled(link && idle);
    ui->BTN_ReaderConfigLoad->setEnabled(link && idle);
    ui->BTN_ReaderConfigSave->setEnabled(link && idle && configuration);
    ui->BTN_ReaderFileLoad->setEnabled(idle && configIdle);
    ui->BTN_ReaderFileSave->setEnabled(configIdle && configuration);
    ui->BTN_DateHeureMAJ->setEnabled(link && idle);
    for (QPushButton *button : {ui->BTN_TestC1, ui->BTN_TestC2, ui->BTN_ReaderRead,
                                ui->BTN_ReaderWrite, ui->BTN_ReaderIncrement,
                                ui->BTN_ReaderDecrement, ui->BTN_TraillerRead,
                                ui->BTN_TraillerWrite, ui->BTN_BadgeFormat})
        button->setEnabled(link);
    Badge->readerChanged(link, !idle);
}

void MainWindow::ChainProgressPrepare()
{
    ChainProgress = new QProgressBar(this);
    ChainProgress->setObjectName(QStringLiteral("PROGRESS_Chain"));
    ChainProgress->setMaximumWidth(260);
    ChainProgress->setTextVisible(true);
    ChainProgress->hide();
    statusBar()->addPermanentWidget(ChainProgress);
}

void MainWindow::ChainProgressShow(const QString &name, int done, int total)
{
    ChainProgress->setRange(0, qMax(total, 1));
    ChainProgress->setValue(qBound(0, done, qMax(total, 1)));
    ChainProgress->setFormat(QStringLiteral("%1 %2 / %3").arg(name).arg(done).arg(total));
    if (ChainProgress->isHidden()) {
        ChainProgress->show();
        ReaderButtonsUpdate();
    }
}

void MainWindow::ChainFinished()
{
    ChainProgress->hide();
    ReaderButtonsUpdate();
}
