#pragma once

#include <QString>
#include <QStringList>

class QApplication;

// The items that must stand in the installation folder before the program
// runs, in the order they are checked and shown. The first ones are folders;
// the programs the window starts must also be files it can run.
struct RequiredItem {
    QString path;
    bool isFolder;
    bool mustRun = false;
};
QList<RequiredItem> requiredItems();

// Every profile file the catalogue names, relative to the installation
// folder ("profile/avi.format.xml"), once each.
QStringList requiredProfileFiles();

// Shows the splash while every required item is checked against the working
// directory, then every profile file, which must read as a profile. Returns 0
// when all pass, -1 at the first that fails (after the "Error" message, which
// names it).
int checkRequiredFiles();

// Waits at least ms milliseconds while the interface stays alive.
void waitWithEvents(int ms);

// Gives the application the toolkit's light palette, every colour of it, so
// that the skin's light pictures carry dark text whatever the desktop's
// theme. Comes before any window.
void useLightPalette();

// Applies a style sheet file; line breaks are dropped, as the skins expect.
bool setSkin(QApplication *app, const QString &fileName);

// Removes what the update tool may have left in its hand-off folder; its
// calls go through FileCalls, for the program's own-files worker.
void removeUpdateLeftovers();
