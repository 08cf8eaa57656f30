#pragma once

#include <QString>
#include <QStringList>

class QApplication;

// The items that must stand in the installation folder before the program
// runs, in the order they are checked and shown. The first ones are folders.
struct RequiredItem {
    QString path;
    bool isFolder;
};
QList<RequiredItem> requiredItems();

// Shows the splash while every required item is checked against the working
// directory. Returns 0 when all exist, -1 at the first missing one (after the
// "Error" message).
int checkRequiredFiles();

// Waits at least ms milliseconds while the interface stays alive.
void waitWithEvents(int ms);

// Applies a style sheet file; line breaks are dropped, as the skins expect.
bool setSkin(QApplication *app, const QString &fileName);

// Removes what the update tool may have left in its hand-off folder.
void removeUpdateLeftovers();
