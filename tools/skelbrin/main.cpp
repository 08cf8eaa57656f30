// skelbrin -p1 CHECK-ADDRESS -p2 INSTALLER-ADDRESS -p3 HAND-OFF-FOLDER -v VERSION [--batch]
//          [--time-limit SECONDS]
//
// Started detached by the main window. While it runs a progress window offers
// Cancel, and the outcome is shown in a message box; without a display (or
// with --batch) it is printed instead, and the exit code tells the outcomes
// apart.

#include <cstdio>
#include <cstring>
#include <memory>

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include "updatearguments.h"
#include "updatecheck.h"
#include "updateprogressdialog.h"

namespace {

enum ExitCode {
    kExitUpToDate = 0,
    kExitUsage = 2,
    kExitCheckFailed = 3,
    kExitBadAnswer = 4,
    kExitDownloadFailed = 5,
    kExitWriteFailed = 6,
    kExitCanceled = 7,
    kExitDownloaded = 10,
};

const char *const kTitle = "Quillora update";

// Qt's default platform aborts the process when there is no display, so the
// choice between a message box and the terminal is made before any
// application object exists.
bool canShowWindows(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--batch") == 0)
            return false;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return false;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

int exitCodeFor(skelbrin::UpdateCheck::Outcome outcome) {
    using Outcome = skelbrin::UpdateCheck::Outcome;
    switch (outcome) {
    case Outcome::UpToDate:
        return kExitUpToDate;
    case Outcome::Downloaded:
        return kExitDownloaded;
    case Outcome::CheckFailed:
        return kExitCheckFailed;
    case Outcome::BadAnswer:
        return kExitBadAnswer;
    case Outcome::DownloadFailed:
        return kExitDownloadFailed;
    case Outcome::WriteFailed:
        return kExitWriteFailed;
    case Outcome::Canceled:
        return kExitCanceled;
    }
    return kExitCheckFailed;
}

void report(bool windows, bool failure, const QString &text) {
    if (windows) {
        if (failure)
            QMessageBox::warning(nullptr, kTitle, text);
        else
            QMessageBox::information(nullptr, kTitle, text);
        return;
    }
    std::FILE *stream = failure ? stderr : stdout;
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[]) {
    const bool windows = canShowWindows(argc, argv);
    std::unique_ptr<QCoreApplication> app;
    if (windows)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("skelbrin");

    skelbrin::UpdateArguments arguments;
    QString error;
    if (!skelbrin::parseUpdateArguments(QCoreApplication::arguments().mid(1), &arguments, &error)) {
        report(windows, true, error + "\n" + skelbrin::usageText());
        return kExitUsage;
    }

    skelbrin::UpdateCheck check(arguments);
    QObject::connect(&check, &skelbrin::UpdateCheck::finished, app.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    std::unique_ptr<skelbrin::UpdateProgressDialog> progress;
    if (windows)
        progress = std::make_unique<skelbrin::UpdateProgressDialog>(&check);
    check.start();
    app->exec();
    progress.reset();

    using Outcome = skelbrin::UpdateCheck::Outcome;
    const Outcome outcome = check.outcome();
    // The user who pressed Cancel needs no message to say so.
    if (windows && outcome == Outcome::Canceled)
        return kExitCanceled;
    const bool failure = outcome != Outcome::UpToDate && outcome != Outcome::Downloaded &&
                         outcome != Outcome::Canceled;
    report(windows, failure, check.message());
    return exitCodeFor(outcome);
}
