#include "startup.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTextStream>
#include <QThread>

#include "app/startdlg.h"
#include "platform/platform.h"

namespace {

constexpr int kCheckPaceMs = 20;

} // namespace

QList<RequiredItem> requiredItems()
{
    return {
        {QStringLiteral("skins"), true},
        {QStringLiteral("plugins"), true},
        {QStringLiteral("profile"), true},
        {QStringLiteral("x264"), true},
        {QStringLiteral("images"), true},
        {QStringLiteral("haltwick"), false},
        {QStringLiteral("korvex"), false},
        {QStringLiteral("parlane"), false},
        {QStringLiteral("skelbrin"), false},
        {QStringLiteral("HEADER.avs"), false},
        {QStringLiteral("skin.qss"), false},
        {QStringLiteral("skin2.qss"), false},
        {QStringLiteral("vorsk"), false},
        {QStringLiteral("quillora"), false},
    };
}

void waitWithEvents(int ms)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
        QThread::msleep(ms);
    } while (clock.elapsed() < ms);
}

int checkRequiredFiles()
{
    startdlg splash;
    splash.show();

    for (const RequiredItem &item : requiredItems()) {
        waitWithEvents(kCheckPaceMs);
        splash.setInitText(item.path);
        // A file entry is satisfied by anything of that name, a folder entry
        // only by a folder.
        const bool present = item.isFolder ? QDir(item.path).exists() : QFile::exists(item.path);
        if (!present) {
            splash.close();
            QMessageBox::warning(nullptr, QObject::tr("Error"),
                                 QObject::tr("The software missing file(s),please visit the "
                                             "official website."),
                                 QMessageBox::Ok, QMessageBox::NoButton);
            return -1;
        }
    }
    waitWithEvents(kCheckPaceMs);
    splash.close();
    return 0;
}

bool setSkin(QApplication *app, const QString &fileName)
{
    QFile file(fileName);
    if (!QFile::exists(fileName) || !file.open(QIODevice::ReadOnly)) {
        qDebug("%s: %s: File does not exist or failed to open %s", __FILE__, "setSkin",
               fileName.toLocal8Bit().constData());
        return false;
    }
    app->setStyle(QStyleFactory::create(QStringLiteral("Windows")));

    QTextStream in(&file);
    QString styleSheet;
    while (!in.atEnd())
        styleSheet += in.readLine();
    file.close();
    app->setStyleSheet(styleSheet);
    return true;
}

void removeUpdateLeftovers()
{
    const QString folder = Platform::handoffDir();
    QFile::remove(folder + QStringLiteral("/tessaline"));
    // Only an empty folder goes; anything else the user keeps there stays.
    QDir().rmdir(folder);
}
