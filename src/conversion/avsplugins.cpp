#include "avsplugins.h"

#include <QDir>

AvsPlugins AvsPlugins::discover(const QString &installDir)
{
    AvsPlugins plugins;
    const QString folder = installDir + QStringLiteral("/plugins");
    const QStringList names =
        QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names)
        plugins.listed << folder + QLatin1Char('/') + name;
    if (!plugins.listed.isEmpty())
        plugins.importPath = plugins.listed.at(0);
    if (plugins.listed.size() > 1)
        plugins.pluginPath = plugins.listed.at(1);
    plugins.headerPath = installDir + QStringLiteral("/HEADER.avs");
    return plugins;
}
