#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "core/appsettings.h"
#include "app/mainwindow.h"
#include "app/qtfrench.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kovrim"));
    QCoreApplication::setApplicationName(QStringLiteral("KovrimManager"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.12"));
    QtFrenchInstall();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Maintenance d'un lecteur de badges sans contact."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption expertOption(
        QStringLiteral("expert"),
        QStringLiteral("Active les pages \"Tests\" et \"Expert\" (accès direct aux blocs des cartes)."));
    parser.addOption(expertOption);
    // A port name or device path listed first, so that the automatic open at
    // start connects to it.
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("Port série à ouvrir au démarrage (facultatif)."),
                                 QStringLiteral("[port]"));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    const QString port = args.isEmpty() ? QString() : args.first();
    // The operator's choices live in the platform's usual place for them.
    SettingsStoreUse(SettingsStore::Native);
    int code = 0;
    {
        MainWindow window(port, parser.isSet(expertOption));
        window.show();
        // For the start-up benchmark: say when the window is up, then leave.
        if (qEnvironmentVariableIsSet("KOVRIM_QUIT_WHEN_SHOWN"))
            QTimer::singleShot(0, &app, [&app] {
                std::puts("shown");
                std::fflush(stdout);
                app.quit();
            });
        code = app.exec();
    }
    return code;
}
