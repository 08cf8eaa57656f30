#pragma once

// Set-up shared by the tests that build the program's windows: the staged
// installation, a private copy of it, modal-dialog answerers, the desktop's
// stand-in and combo-box picks as a user makes them.

#include <functional>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "app/version.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "../support/testtime.h"

namespace WindowTestSupport {

inline QString stageDir()
{
    return qEnvironmentVariable("QUILLORA_STAGE_DIR");
}

inline QString clip(const QString &name)
{
    return qEnvironmentVariable("QUILLORA_TEST_MEDIA") + QLatin1Char('/') + name;
}

// The names the program runs under, so that its record and folders land in
// the test's private locations.
inline void actAsTheProgram()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));
}

// A private installation that a test may damage: the staged skins,
// pictures, profiles and plug-ins. Read and written whole: QFile::copy goes
// through a temporary file of its own for each, ten times the cost of these
// few hundred small files.
inline void copyInstallation(const QString &path)
{
    for (const QString &sub : {QStringLiteral("skins/default"), QStringLiteral("images"),
                               QStringLiteral("profile"), QStringLiteral("plugins")}) {
        QDir(path).mkpath(sub);
        const QDir from(stageDir() + QLatin1Char('/') + sub);
        const QDir to(path + QLatin1Char('/') + sub);
        for (const QString &name : from.entryList(QDir::Files)) {
            QFile source(from.filePath(name));
            QFile copy(to.filePath(name));
            if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::NewOnly) ||
                copy.write(source.readAll()) != source.size())
                qWarning("cannot copy %s", qPrintable(source.fileName()));
        }
    }
}

// The program runs from its installation folder with no settings file yet.
inline void useInstallation(const QString &path)
{
    Platform::setInstallDir(path);
    QDir::setCurrent(path);
    // What the last test wrote reaches the file before the file goes.
    SettingsFile::flush();
    QFile::remove(Platform::settingsFile());
    SettingsFile::load();
}

inline void leaveInstallation()
{
    QDir::setCurrent(QDir::rootPath());
    Platform::setInstallDir(QString());
}

// Acts on a modal window once it has opened: the modal run blocks the test,
// so the act is queued before the run starts. The poll ends after
// `timeoutMs`, so a window that never opens does not leave a timer behind.
template <typename Window>
void whenModalOpens(std::function<void(Window *)> act, int timeoutMs = TestTime::bound(10000))
{
    auto *poll = new QTimer;
    auto *waited = new int(0);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, waited, act, timeoutMs] {
        auto *window = qobject_cast<Window *>(QApplication::activeModalWidget());
        *waited += poll->interval();
        if (!window && *waited < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        delete waited;
        if (window)
            act(window);
    });
    poll->start();
}

// Answers a folder dialog the way a user who types the path does. Typing
// does not wait for the dialog's view of the disk, which fills in later.
inline void typeFolder(QFileDialog *dialog, const QString &folder)
{
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(folder);
    static_cast<QDialog *>(dialog)->accept();
}

// One of the window's timers, by its name; null when it has none of that name.
inline QTimer *windowTimer(const QObject *window, const char *name)
{
    return window->findChild<QTimer *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

// The actions of the snapshot menu's format list, in the menu's order.
inline QList<QAction *> snapshotFormatActions(const QToolButton *snapshotButton)
{
    for (QAction *entry : snapshotButton->menu()->actions()) {
        if (QMenu *formats = entry->menu())
            return formats->actions();
    }
    return {};
}

// What a combo box emits when the user picks an entry.
inline void pick(QComboBox *box, int index)
{
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
    Q_EMIT box->textActivated(box->itemText(index));
}

inline void pick(QComboBox *box, const QString &text)
{
    const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        qFatal("no entry %s in %s", qPrintable(text), qPrintable(box->objectName()));
    pick(box, index);
}

inline QStringList comboItems(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// Stands in for the desktop's browser or file manager (install it with
// QDesktopServices::setUrlHandler) and records what it was asked to open.
class DesktopRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};

} // namespace WindowTestSupport
