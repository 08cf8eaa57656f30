#include <QDir>
#include <QMessageBox>

#include "app/singleapplication.h"
#include "app/startup.h"
#include "app/version.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/ownfilesworker.h"
#include "mainwindow/temppurge.h"
#include "platform/endsignals.h"
#include "platform/platform.h"

namespace {

// What the end of the program gives the work on its own files (the last
// settings written, the folder of edit scripts emptied): a home that does not
// answer by then keeps the rest, and the program ends all the same, well
// within what a logout waits for.
constexpr int kEndWaitMs = 1500;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));

    SingleApplication app(argc, argv, QStringLiteral("some unique key string"));
    // Before the first window, the message box of a second start included.
    useLightPalette();
    if (app.isRunning()) {
        // The copy that runs comes forward when it hears of this start;
        // when it cannot hear, the user is told why nothing else happens.
        if (!app.sendMessage(QStringLiteral("message from other instance.")))
            QMessageBox::information(nullptr, QLatin1String(kProductName),
                                     QObject::tr("%1 is already running on this computer.")
                                         .arg(QLatin1String(kProductName)));
        return 0;
    }
    // A logout's SIGTERM or SIGHUP that comes during the start is kept for
    // the window.
    EndSignals ending;

    // This copy's folder of edit scripts is its own while it runs.
    const QString scripts = Platform::tempDir();
    OwnFilesWorker &ownFiles = OwnFilesWorker::instance();
    ownFiles.post([scripts] { TempPurge::claimFolder(scripts); });

    // Every relative path of the program (skins, profiles, tools) is meant
    // against the installation folder, wherever the program was started from.
    QDir::setCurrent(Platform::installDir());
    if (checkRequiredFiles() != 0) {
        OwnFilesWorker::finish(kEndWaitMs);
        return 0;
    }

    setSkin(&app, QStringLiteral("skin.qss"));

    int code = 0;
    {
        // Ends before the application does, so that whatever the window
        // still runs (an editor, the probes of files being added) ends with it.
        MainWindow window;
        // After the window's settings: those of copies that ended without
        // their close path go now, and what the update tool left.
        ownFiles.post([scripts] {
            TempPurge::removeLeftovers(scripts);
            removeUpdateLeftovers();
        });
        QObject::connect(&app, &SingleApplication::messageAvailable, &window,
                         &MainWindow::receiveMessage);
        const auto endSession = [&window] {
            // As the session ends: the window's close path runs, and no
            // question waits for an answer, nor does any dialog that is open.
            window.close();
            QCoreApplication::exit(0);
        };
        QObject::connect(&ending, &EndSignals::endRequested, &window, endSession);
        if (ending.isRequested())
            QMetaObject::invokeMethod(&window, endSession, Qt::QueuedConnection);
        window.show();
        code = app.exec();
    }
    OwnFilesWorker::finish(kEndWaitMs);
    return code;
}
