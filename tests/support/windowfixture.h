#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/mainwindow.h"
#include "app/qtfrench.h"
#include "tests/support/agreeingoperator.h"
#include "sim/readersim.h"

// The window tests see Qt's standard buttons as the operator does.
inline void WindowTestsInFrench()
{
    QtFrenchInstall();
}
Q_COREAPP_STARTUP_FUNCTION(WindowTestsInFrench)

// The window on one side of a pseudo-terminal, the simulator on the other.
struct WindowWithReader {
    ReaderSim sim;
    std::unique_ptr<MainWindow> window;
    AgreeingOperator operatorAgrees;

    bool start()
    {
        if (!sim.start())
            return false;
        window = std::make_unique<MainWindow>(sim.slavePath());
        window->show();
        return true;
    }

    template <typename T = QLineEdit>
    T *field(const char *name) const { return window->findChild<T *>(name); }

    QString text(const char *name) const { return field(name)->text(); }
};

// Each row of a table as its cell texts joined by "|".
inline QStringList TableRowTexts(const QTableWidget *table)
{
    QStringList all;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << table->item(row, column)->text();
        all << cells.join('|');
    }
    return all;
}

// Every text a line edit has shown since the recorder was made: status
// lines are overwritten by the polling texts, so a wait on the current text
// could miss a result shown between two polls.
class TextHistory : public QObject
{
public:
    explicit TextHistory(QLineEdit *edit) : QObject(edit)
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &t) { texts << t; });
    }
    bool contains(const QString &text) const { return texts.contains(text); }
    void clear() { texts.clear(); }
    QStringList texts;
};

// Closes the next modal message box and keeps its title and text.
struct MessageBoxCatcher {
    QString title;
    QString text;
    void arm()
    {
        QTimer::singleShot(0, [this] { poll(); });
    }
    void poll()
    {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            box->accept();
            return;
        }
        QTimer::singleShot(20, [this] { poll(); });
    }
};

#endif
