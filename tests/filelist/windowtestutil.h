#pragma once

// Helpers for the tests that drive the real main window over its file list.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include "app/version.h"
#include "filelist/filerow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/errfiledialog.h"
#include "mainwindow/settingsfile.h"
#include "mainwindow/openprogress.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"
#include "ui_mainwindow.h"
#include "../support/testtime.h"

namespace WindowTest {

// A wait for what the probe or the editor does: it ends as soon as that
// happens, and a busy machine may take many seconds to get there.
inline const int kEventTimeoutMs = TestTime::bound(30000);
// How often a test looks for a dialog or menu that opens in a nested loop.
constexpr int kPollMs = 20;

inline QString media(const QString &name)
{
    return qEnvironmentVariable("QUILLORA_TEST_MEDIA") + QLatin1Char('/') + name;
}

inline QString stage()
{
    return qEnvironmentVariable("QUILLORA_STAGE_DIR");
}

// The program runs from its installation folder: the staged one.
inline void useStagedInstallation()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));
    Platform::setInstallDir(stage());
    QDir::setCurrent(stage());
    // What the last test wrote reaches the file before the file goes.
    SettingsFile::flush();
    QFile::remove(Platform::settingsFile());
    SettingsFile::load();
}

// The real main window on the staged installation, shown, its outputs going
// to a folder of the test's own. open() in init(), close() in cleanup().
class MainWindowFixture
{
public:
    bool open()
    {
        useStagedInstallation();
        files = new QTemporaryDir;
        window = new MainWindow;
        window->show();
        if (!files->isValid() || !QTest::qWaitForWindowExposed(window))
            return false;
        QDir().mkpath(outFolder());
        ui()->PathLine->setText(outFolder());
        return true;
    }

    void close()
    {
        delete window;
        window = nullptr;
        delete files;
        files = nullptr;
        Platform::setInstallDir(QString());
    }

    QString outFolder() const { return files->filePath(QStringLiteral("out")); }
    Ui::MainWindow *ui() const { return window->form(); }
    QTreeWidget *list() const { return ui()->treeWidget; }
    QTreeWidgetItem *row(int index) const { return list()->topLevelItem(index); }
    QString outputPath(int index) const
    {
        return Arguments::outputPath(FileRow::arguments(row(index)));
    }
    QStringList names() const
    {
        QStringList result;
        for (int index = 0; index < list()->topLevelItemCount(); ++index)
            result << row(index)->text(FileRow::NameColumn);
        return result;
    }

    // A copy of a test clip under another name, below the test's own folder.
    QString copyOf(const QString &clip, const QString &relativePath) const
    {
        const QString path = files->filePath(relativePath);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        if (!QFile::copy(media(clip), path))
            qWarning("cannot copy %s", qPrintable(clip));
        return path;
    }

    // Whether the window's timer of that name runs.
    bool timerActive(const char *name) const
    {
        const auto *timer = window->findChild<QTimer *>(QLatin1String(name));
        return timer && timer->isActive();
    }

    // The window's own dialog of that type (created with it, without parent).
    template <class Dialog>
    Dialog *dialog() const
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<Dialog *>(widget))
                return found;
        }
        return nullptr;
    }

    // Whether rows built again from the option boxes keep their own source
    // (one has none yet): false while the file of an add that has ended
    // still stands in for them.
    bool addLeftNoFileBehind() const
    {
        const QString own = files->filePath(QStringLiteral("own/source.mp4"));
        const QString output = files->filePath(QStringLiteral("out/own.avi"));
        const QList<ArgumentList> rows = {
            {QStringLiteral("-i"), own, QStringLiteral("-y"), output},
            {QStringLiteral("-y"), output},
        };
        bool kept = true;
        for (const ArgumentList &arguments : rows) {
            auto *scratch = new QTreeWidgetItem(list());
            FileRow::setArguments(scratch, arguments);
            window->buildItemArguments(list()->indexOfTopLevelItem(scratch));
            const QString source = Arguments::inputPath(FileRow::arguments(scratch));
            kept = kept && source == Arguments::inputPath(arguments);
            delete scratch;
        }
        return kept;
    }

    // A drag that enters the window; whether the window wants it.
    bool dragEnter(const QMimeData &data) const
    {
        QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setAccepted(false);
        QCoreApplication::sendEvent(window, &enter);
        return enter.isAccepted();
    }

    // As a drag of these addresses ends over the window: it enters, then
    // drops; whether both were accepted.
    bool drop(const QList<QUrl> &urls) const
    {
        QMimeData data;
        data.setUrls(urls);
        if (!dragEnter(data))
            return false;
        QDropEvent event(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &event);
        return event.isAccepted();
    }

    MainWindow *window = nullptr;
    QTemporaryDir *files = nullptr;
};

// Answers every modal dialog that opens while it lives, so that no test can
// hang on one, and remembers what the add-result dialog said.
class ModalAnswerer : public QObject
{
public:
    ModalAnswerer()
    {
        connect(&poll, &QTimer::timeout, this, [this] { answer(); });
        poll.start(20);
    }

    int answered = 0;
    QString addedLine;
    QString failedLine;
    QStringList failedFiles;
    QStringList otherDialogs;

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<QDialog *>(modal);
        if (!dialog || !dialog->isVisible())
            return;
        ++answered;
        if (dialog->objectName() == QLatin1String("errFiledialog")) {
            addedLine = dialog->findChild<QLabel *>(QStringLiteral("successLabel"))->text();
            failedLine = dialog->findChild<QLabel *>(QStringLiteral("errorLabel"))->text();
            failedFiles = dialog->findChild<QTextBrowser *>(QStringLiteral("errortextBrowser"))
                              ->toPlainText()
                              .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
            return;
        }
        otherDialogs << dialog->metaObject()->className();
        dialog->reject();
    }

    QTimer poll;
};

} // namespace WindowTest
