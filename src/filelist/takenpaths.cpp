#include "takenpaths.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>

#include "filelist/outputname.h"
#include "filelist/outputpaths.h"
#include "platform/filecalls.h"

void TakenPaths::setRow(RowKey row, const QString &source, const QString &output)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto known = m_rows.constFind(row);
        if (known != m_rows.cend() && known->source == source && known->output == output)
            return;
    }
    // Resolved without the lock: a look on disk may take as long as its folder.
    QString sourceKey;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto known = m_rows.constFind(row);
        if (known != m_rows.cend() && known->source == source)
            sourceKey = known->sourceKey;
    }
    if (sourceKey.isEmpty())
        sourceKey = OutputPaths::resolved(source);
    Row paths{source, output, sourceKey, OutputPaths::resolved(output)};
    std::lock_guard<std::mutex> lock(m_mutex);
    const Row before = m_rows.value(row);
    release(before.sourceKey);
    release(before.outputKey);
    take(paths.sourceKey);
    take(paths.outputKey);
    m_rows.insert(row, paths);
}

void TakenPaths::removeRow(RowKey row)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Row before = m_rows.take(row);
    release(before.sourceKey);
    release(before.outputKey);
}

void TakenPaths::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_taken.clear();
    m_rows.clear();
}

bool TakenPaths::isFree(const QString &path, RowKey row) const
{
    return !firstFree(path, 1, QString(), row, 1).path.isEmpty();
}

QString TakenPaths::free(const QString &wanted, int firstNumber, const QString &plainName,
                         RowKey row) const
{
    return firstFree(wanted, firstNumber, plainName, row, OutputName::kTries).path;
}

QString TakenPaths::claim(RowKey row, const QString &wanted, const QString &numberedFrom,
                          int firstNumber, const QString &plainName)
{
    // wanted itself first; the numbered names then from numberedFrom, or from
    // wanted in the same search.
    const bool elsewhere = !numberedFrom.isEmpty();
    Found found =
        firstFree(wanted, firstNumber, plainName, row, elsewhere ? 1 : OutputName::kTries);
    if (elsewhere && found.answered && found.path.isEmpty())
        found = firstFree(numberedFrom, firstNumber, plainName, row, OutputName::kTries);
    if (found.path.isEmpty())
        return QString();
    // As setRow() would, with the key the search has found.
    std::lock_guard<std::mutex> lock(m_mutex);
    Row paths = m_rows.value(row);
    release(paths.outputKey);
    take(found.key);
    paths.output = found.path;
    paths.outputKey = found.key;
    m_rows.insert(row, paths);
    return found.path;
}

TakenPaths::Found TakenPaths::firstFree(const QString &wanted, int firstNumber,
                                        const QString &plainName, RowKey row, int tries) const
{
    const QString folder = wanted.left(wanted.lastIndexOf(QLatin1Char('/')) + 1);
    // The folder is resolved with the first look, and a listed path is then
    // known by its name: no round trip asks about it.
    bool folderKnown = false;
    QString resolvedFolder;
    const auto keyOf = [&](const QString &name) {
        // As OutputPaths::resolved() resolves a path that is not on disk.
        return resolvedFolder.isEmpty()
                   ? QDir::cleanPath(QFileInfo(folder + name).absoluteFilePath())
                   : resolvedFolder + QLatin1Char('/') + name;
    };
    Found found;
    int batch = 1;
    int next = 0;
    while (next < tries) {
        QStringList names;
        QList<int> indexes;
        {
            // A batch's worth of names at a time under the lock, listed or not.
            std::lock_guard<std::mutex> lock(m_mutex);
            for (const int end = std::min(tries, next + kMaxBatch);
                 next < end && names.size() < batch; ++next) {
                const QString name = OutputName::nameToTry(wanted, firstNumber, plainName, next);
                if (folderKnown && takenCount(keyOf(name), row) > 0)
                    continue;
                names << name;
                indexes << next;
            }
        }
        if (names.isEmpty())
            continue;
        const FileCalls::Absent absent = FileCalls::firstAbsent(folder, names, !folderKnown);
        // Once the disk gives no answer no name is known to be free, and the
        // search ends there rather than go on through every number.
        if (!absent.answered) {
            found.answered = false;
            return found;
        }
        if (!folderKnown) {
            folderKnown = true;
            resolvedFolder = absent.resolvedFolder;
        }
        batch = std::min(batch * kBatchGrowth, kMaxBatch);
        if (absent.index < 0)
            continue;
        const QString name = names.at(absent.index);
        const QString key = keyOf(name);
        bool listed = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            listed = takenCount(key, row) > 0;
        }
        if (!listed) {
            found.path = indexes.at(absent.index) == 0 ? wanted : folder + name;
            found.key = key;
            return found;
        }
        // The names after it in the batch are asked about again.
        next = indexes.at(absent.index) + 1;
    }
    return found;
}

void TakenPaths::take(const QString &key)
{
    if (!key.isEmpty())
        ++m_taken[key];
}

void TakenPaths::release(const QString &key)
{
    const auto found = m_taken.find(key);
    if (found == m_taken.end())
        return;
    if (--*found <= 0)
        m_taken.erase(found);
}

int TakenPaths::takenCount(const QString &key, RowKey row) const
{
    int count = m_taken.value(key);
    // The row's own output is no other path's.
    const auto own = row == kNoRow ? m_rows.cend() : m_rows.constFind(row);
    if (count > 0 && own != m_rows.cend() && own->outputKey == key)
        --count;
    return count;
}
