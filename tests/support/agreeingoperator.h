#ifndef AGREEINGOPERATOR_H
#define AGREEINGOPERATOR_H

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

// An operator who agrees to every write: the configuration preview is
// answered "Ecrire", the questions before a blacklist write and a badge
// format "Oui". Other dialogs are left to the test.
class AgreeingOperator : public QObject
{
public:
    int previews = 0;
    int questions = 0;
    bool on = true;  // off: the test answers itself

    AgreeingOperator()
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, &AgreeingOperator::look);
        m_timer.start();
    }

private:
    void look()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !on)
            return;
        if (modal->objectName() == QLatin1String("DLG_WritePreview") && modal->isVisible()) {
            ++previews;
            modal->findChild<QPushButton *>("BTN_WritePreviewWrite")->click();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (box->text().startsWith(QLatin1String("Remplacer la liste noire du lecteur"))
                || box->text().startsWith(QLatin1String("Formater le badge"))) {
                ++questions;
                box->button(QMessageBox::Yes)->click();
            }
        }
    }

    QTimer m_timer;
};

#endif
