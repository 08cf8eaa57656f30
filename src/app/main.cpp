#include <QDir>

#include "app/singleapplication.h"
#include "app/startup.h"
#include "app/version.h"
#include "mainwindow/mainwindow.h"
#include "platform/platform.h"

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));

    SingleApplication app(argc, argv, QStringLiteral("some unique key string"));
    if (app.isRunning()) {
        app.sendMessage(QStringLiteral("message from other instance."));
        return 0;
    }

    removeUpdateLeftovers();

    // Every relative path of the program (skins, profiles, tools) is meant
    // against the installation folder, wherever the program was started from.
    QDir::setCurrent(Platform::installDir());
    if (checkRequiredFiles() != 0)
        return 0;

    setSkin(&app, QStringLiteral("skin.qss"));

    // Ends before the application does, so that whatever the window still
    // runs (an editor, the probes of files being added) ends with it.
    MainWindow window;
    QObject::connect(&app, &SingleApplication::messageAvailable, &window,
                     &MainWindow::receiveMessage);
    window.show();
    return app.exec();
}
