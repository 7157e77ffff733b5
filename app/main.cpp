#include <QApplication>

#include "app/mainwindow.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Optional PORT argument: a port name or device path listed first, so
    // that the automatic open at start connects to it.
    const QStringList args = app.arguments();
    const QString port = args.size() > 1 ? args.at(1) : QString();
    int code = 0;
    {
        MainWindow window(port);
        window.show();
        code = app.exec();
    }
    return code;
}
