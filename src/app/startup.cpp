#include "startup.h"

#include <iterator>

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPalette>
#include <QStyleFactory>
#include <QTextStream>
#include <QThread>

#include "app/startdlg.h"
#include "platform/filecalls.h"
#include "platform/platform.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"

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
        {QStringLiteral("haltwick"), false, true},
        {QStringLiteral("korvex"), false, true},
        {QStringLiteral("parlane"), false, true},
        {QStringLiteral("skelbrin"), false, true},
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

QStringList requiredProfileFiles()
{
    QStringList files;
    for (const ProfileEntry &entry : ProfileCatalogue::entries()) {
        const QString path = QStringLiteral("profile/") + entry.fileName;
        if (!files.contains(path))
            files << path;
    }
    return files;
}

int checkRequiredFiles()
{
    startdlg splash;
    splash.show();

    const auto refuse = [&splash](const QString &problem) {
        splash.close();
        QMessageBox box(QMessageBox::Warning, QObject::tr("Error"),
                        QObject::tr("The software missing file(s),please visit the "
                                    "official website."),
                        QMessageBox::Ok);
        box.setInformativeText(problem);
        box.exec();
        return -1;
    };

    for (const RequiredItem &item : requiredItems()) {
        waitWithEvents(kCheckPaceMs);
        splash.setInitText(item.path);
        // A file entry is satisfied by anything of that name, a folder entry
        // only by a folder.
        const bool present = item.isFolder ? QDir(item.path).exists() : QFile::exists(item.path);
        if (!present)
            return refuse(QObject::tr("Missing: %1").arg(item.path));
        // A tool that is there but cannot be started would otherwise be
        // found out file by file, each one blamed on the user's file.
        const QFileInfo info(item.path);
        if (item.mustRun && !(info.isFile() && info.isExecutable()))
            return refuse(QObject::tr("%1 cannot be run.").arg(item.path));
    }
    // The profiles are not paced: they are many, and quick to read. One that
    // cannot be read would make files without what the profile describes.
    for (const QString &profile : requiredProfileFiles()) {
        if (!ProfileLoader::loadFile(profile).loaded)
            return refuse(QObject::tr("%1 is missing or cannot be read.").arg(profile));
    }
    waitWithEvents(kCheckPaceMs);
    splash.close();
    return 0;
}

void useLightPalette()
{
    // The skin draws light pictures and names almost no text colours: the
    // palette's must stay dark on them, whatever a dark desktop theme says.
    // These are the toolkit's own light colours, as a desktop without a theme
    // palette gives them. Every role of every group is set, so that nothing
    // falls through to the desktop's palette, now or when its theme changes.
    struct RoleColours {
        QPalette::ColorRole role;
        QRgb normal;
        QRgb disabled;
    };
    static const RoleColours kLightColours[] = {
        {QPalette::WindowText, 0xff000000, 0xffbebebe},
        {QPalette::Button, 0xffefefef, 0xffefefef},
        {QPalette::Light, 0xffffffff, 0xffffffff},
        {QPalette::Midlight, 0xffcacaca, 0xffcacaca},
        {QPalette::Dark, 0xff9f9f9f, 0xffbebebe},
        {QPalette::Mid, 0xffb8b8b8, 0xffb8b8b8},
        {QPalette::Text, 0xff000000, 0xffbebebe},
        {QPalette::BrightText, 0xffffffff, 0xffffffff},
        {QPalette::ButtonText, 0xff000000, 0xffbebebe},
        {QPalette::Base, 0xffffffff, 0xffefefef},
        {QPalette::Window, 0xffefefef, 0xffefefef},
        {QPalette::Shadow, 0xff767676, 0xffb1b1b1},
        {QPalette::Highlight, 0xff308cc6, 0xff919191},
        {QPalette::HighlightedText, 0xffffffff, 0xffffffff},
        {QPalette::Link, 0xff0000ff, 0xff0000ff},
        {QPalette::LinkVisited, 0xffff00ff, 0xffff00ff},
        {QPalette::AlternateBase, 0xfff7f7f7, 0xfff7f7f7},
        {QPalette::NoRole, 0xff000000, 0xff000000},
        {QPalette::ToolTipBase, 0xffffffdc, 0xffffffdc},
        {QPalette::ToolTipText, 0xff000000, 0xff000000},
        {QPalette::PlaceholderText, 0x80000000, 0x80000000},
    };
    static_assert(std::size(kLightColours) == QPalette::NColorRoles);

    QPalette palette;
    for (const RoleColours &colours : kLightColours) {
        const QColor normal = QColor::fromRgba(colours.normal);
        palette.setColor(QPalette::Active, colours.role, normal);
        palette.setColor(QPalette::Inactive, colours.role, normal);
        palette.setColor(QPalette::Disabled, colours.role, QColor::fromRgba(colours.disabled));
    }
    QApplication::setPalette(palette);
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
    FileCalls::remove(folder + QStringLiteral("/tessaline"));
    // Only an empty folder goes; anything else the user keeps there stays.
    FileCalls::removeFolder(folder);
}
