#include "takenpaths.h"

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

QString TakenPaths::free(const QString &wanted, int firstNumber) const
{
    if (!contains(wanted))
        return wanted;
    const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'));
    const QString folder = wanted.left(slash + 1);
    const QString name = wanted.mid(slash + 1);
    for (int tries = 0; tries < kMaxTries; ++tries) {
        const QString candidate =
            folder + FileListRules::withNumberBeforeDot(name, firstNumber + tries);
        if (!contains(candidate))
            return candidate;
    }
    return wanted;
}
