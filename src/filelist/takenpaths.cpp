#include "takenpaths.h"

#include <QFileInfo>

#include "filelist/filelistrules.h"
#include "filelist/outputpaths.h"

namespace {

constexpr int kMaxTries = 100000;

} // namespace

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
    if (isFree(wanted))
        return wanted;
    const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'));
    const QString folder = wanted.left(slash + 1);
    const QString name = plainName.isEmpty() ? wanted.mid(slash + 1) : plainName;
    for (int tries = 0; tries < kMaxTries; ++tries) {
        const QString candidate =
            folder + FileListRules::withNumberBeforeDot(name, firstNumber + tries);
        if (isFree(candidate))
            return candidate;
    }
    return wanted;
}
