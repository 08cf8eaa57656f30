#include "folderpath.h"

namespace FolderPath {

namespace {

const QChar kSeparator = QLatin1Char('/');

QString withoutTrailingSeparators(QString path)
{
    while (path.size() > 1 && path.endsWith(kSeparator))
        path.chop(1);
    return path;
}

QString withoutLeadingSeparators(QString path)
{
    while (path.startsWith(kSeparator))
        path.remove(0, 1);
    return path;
}

} // namespace

QString join(const QString &folder, const QString &name)
{
    const QString tail = withoutTrailingSeparators(withoutLeadingSeparators(name));
    if (folder.isEmpty())
        return tail;
    const QString head = withoutTrailingSeparators(folder);
    if (tail.isEmpty())
        return head;
    if (head == kSeparator)
        return head + tail;
    return head + kSeparator + tail;
}

QString withTrailingSeparator(const QString &folder)
{
    if (!folder.contains(kSeparator) || folder.endsWith(kSeparator))
        return folder;
    return folder + kSeparator;
}

} // namespace FolderPath
