#ifndef MODALANSWERER_H
#define MODALANSWERER_H

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

// Answers the modal dialogs of one file operation like an operator: the
// file dialog gets `path`, an overwrite question gets "Yes", and the final
// message box is closed and kept ("title|text").
class ModalAnswerer : public QObject
{
public:
    void arm(const QString &filePath = QString())
    {
        path = filePath;
        box.clear();
        const int generation = ++armed;
        QTimer::singleShot(0, this, [this, generation] { poll(generation); });
    }
    QString path;
    QString box;

private:
    int armed = 0;

    void poll(int generation)
    {
        if (generation != armed)
            return;  // armed again since: a newer look is under way
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        auto *message = qobject_cast<QMessageBox *>(modal);
        if (message && !message->button(QMessageBox::Yes)) {
            box = message->windowTitle() + "|" + message->text();
            message->accept();
            return;
        }
        // Next look first: answering may open a nested modal loop.
        QTimer::singleShot(20, this, [this, generation] { poll(generation); });
        if (dialog) {
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
        } else if (message) {
            message->button(QMessageBox::Yes)->click();
        }
    }
};

#endif
