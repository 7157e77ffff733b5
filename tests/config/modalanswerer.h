#ifndef MODALANSWERER_H
#define MODALANSWERER_H

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

// Answers the modal dialogs of one file operation as an operator would:
// the file dialog gets `path`, an overwrite question "Yes", and the final
// message box is closed and kept in `box` as "title|text".
class ModalAnswerer : public QObject
{
public:
    QString path;
    QString box;

    void arm(const QString &filePath = QString())
    {
        path = filePath;
        box.clear();
        const int generation = ++armed;
        QTimer::singleShot(0, this, [this, generation] { poll(generation); });
    }

private:
    int armed = 0;

    void poll(int generation)
    {
        auto *message = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (generation != armed || (message && !message->button(QMessageBox::Yes))) {
            if (generation == armed) {
                box = message->windowTitle() + "|" + message->text();
                message->accept();
            }
            return;
        }
        // Look again first: answering may run a nested modal loop.
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
