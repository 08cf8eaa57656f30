#pragma once

#include <QString>
#include <QStringList>

// The three files that every AviSynth script of ours loads first: the
// plug-in folder's first file (by name, case ignored) is imported as a
// script, its second is loaded as a plug-in library, and the installation's
// "HEADER.avs" is imported after them.
struct AvsPlugins {
    QStringList listed;  // every file found, in order, for the log
    QString importPath;  // first file
    QString pluginPath;  // second file; empty when there is only one
    QString headerPath;

    static AvsPlugins discover(const QString &installDir);
};
