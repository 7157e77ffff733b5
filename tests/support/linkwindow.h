#ifndef LINKWINDOW_H
#define LINKWINDOW_H

#include <QAbstractButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/mainwindow.h"
#include "config/configpage.h"
#include "tests/support/windowfixture.h"

// The window opens the simulator through a link path, as the operator's
// port name: unplugged and replugged, the simulator gets a new
// pseudo-terminal behind the same path, and "Connecter" finds it again.
struct WindowOnLink {
    QTemporaryDir dir;
    ReaderSim sim;
    std::unique_ptr<MainWindow> window;
    AgreeingOperator operatorAgrees;

    bool start(bool expert = false)
    {
        if (!dir.isValid() || !sim.start() || !sim.createLink(dir.filePath("lecteur")))
            return false;
        window = std::make_unique<MainWindow>(sim.linkPath(), expert);
        window->ConfigStartFolder = dir.path();
        window->show();
        return QTest::qWaitFor([this] { return isOpen() && button("BTN_ReaderConfigLoad")->isEnabled(); },
                               5000);
    }

    template <typename T = QLineEdit>
    T *field(const char *name) const { return window->findChild<T *>(name); }
    QAbstractButton *button(const char *name) const { return field<QAbstractButton>(name); }
    QString text(const char *name) const { return field(name)->text(); }

    bool isOpen() const { return window->Protocole.ComIsOpen.load(); }
    bool slotFree() const { return window->Protocole.Cmd.IsFree.load(); }
    bool idle() const
    {
        return slotFree() && !window->Chain.isRunning() && !window->Config->isBusy();
    }

    // The operator plugs the adapter back and clicks "Connecter".
    bool reconnect()
    {
        if (!sim.isPlugged() && !sim.replug())
            return false;
        if (!QTest::qWaitFor([this] { return !isOpen(); }, 5000)
            || button("BTN_Serial")->text() != QLatin1String("Connecter"))
            return false;
        button("BTN_Serial")->click();
        return QTest::qWaitFor([this] { return isOpen() && button("BTN_ReaderConfigLoad")->isEnabled(); },
                               5000);
    }
};

#endif
