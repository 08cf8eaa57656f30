#include "takenpaths.h"

#include <QFileInfo>

#include "filelist/outputname.h"
#include "filelist/outputpaths.h"
#include "platform/filecalls.h"

void TakenPaths::add(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString key = OutputPaths::resolved(path);
    std::lock_guard<std::mutex> lock(m_mutex);
    take(key);
}

void TakenPaths::setRow(RowKey row, const QString &source, const QString &output)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto known = m_rows.constFind(row);
        if (known != m_rows.cend() && known->source == source && known->output == output)
            return;
    }
    // Resolved without the lock: a look on disk may take as long as its folder.
    Row paths{source, output, OutputPaths::resolved(source), OutputPaths::resolved(output)};
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

bool TakenPaths::contains(const QString &path) const
{
    const QString key = OutputPaths::resolved(path);
    std::lock_guard<std::mutex> lock(m_mutex);
    return takenCount(key, kNoRow) > 0;
}

TakenPaths::Freeness TakenPaths::freeness(const QString &path, RowKey row) const
{
    const QString key = OutputPaths::resolved(path);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (takenCount(key, row) > 0)
            return Freeness::Taken;
    }
    const FileCalls::Look onDisk = FileCalls::look(path);
    if (!onDisk.answered)
        return Freeness::Unknown;
    return !onDisk.exists && !onDisk.isLink ? Freeness::Free : Freeness::Taken;
}

bool TakenPaths::isFree(const QString &path, RowKey row) const
{
    return freeness(path, row) == Freeness::Free;
}

QString TakenPaths::free(const QString &wanted, int firstNumber, const QString &plainName,
                         RowKey row) const
{
    // Once the disk gives no answer no name is known to be free, and the
    // search ends there rather than go on through every number.
    bool unknown = false;
    const QString found = OutputName::firstFree(
        wanted, firstNumber,
        [this, row, &unknown](const QString &path) {
            const Freeness answer = freeness(path, row);
            unknown = answer == Freeness::Unknown;
            return answer != Freeness::Taken;
        },
        plainName);
    return unknown ? QString() : found;
}

QString TakenPaths::claim(RowKey row, const QString &wanted, const QString &numberedFrom,
                          int firstNumber, const QString &plainName)
{
    QString answer = isFree(wanted, row) ? wanted : QString();
    if (answer.isEmpty())
        answer = free(numberedFrom.isEmpty() ? wanted : numberedFrom, firstNumber, plainName, row);
    if (!answer.isEmpty()) {
        QString source;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            source = m_rows.value(row).source;
        }
        setRow(row, source, answer);
    }
    return answer;
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
