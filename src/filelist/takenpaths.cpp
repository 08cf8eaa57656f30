#include "takenpaths.h"

#include <QFileInfo>

#include "filelist/outputname.h"
#include "filelist/outputpaths.h"

void TakenPaths::add(const QString &path)
{
    if (!path.isEmpty())
        resolvedPaths.insert(OutputPaths::resolved(path));
}

bool TakenPaths::contains(const QString &path) const
{
    return resolvedPaths.contains(OutputPaths::resolved(path));
}

bool TakenPaths::isFree(const QString &path) const
{
    const QFileInfo onDisk(path);
    return !onDisk.exists() && !onDisk.isSymLink() && !contains(path);
}

QString TakenPaths::free(const QString &wanted, int firstNumber, const QString &plainName) const
{
    return OutputName::firstFree(
        wanted, firstNumber, [this](const QString &path) { return isFree(path); }, plainName);
}
