#include "player/snapshot.h"

#include <deque>
#include <mutex>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QStringList>

#include "filelist/folderpath.h"
#include "filelist/outputpaths.h"
#include "platform/filecalls.h"

std::atomic<int> captureRequested{0};
std::atomic<int> snapshotQuality{-1};
std::atomic<bool> captureSaved{false};

namespace {

std::mutex requestMutex;
std::deque<SnapshotRequest> requests; // requestMutex
// Taken off the queue by the video thread and not yet written.
QStringList inFlight; // requestMutex
QString lastPath;     // requestMutex

void finishInFlight(const QString &path) {
    std::lock_guard<std::mutex> lock(requestMutex);
    inFlight.removeOne(path);
}

} // namespace

void requestSnapshot(const QString &path, int quality) {
    std::lock_guard<std::mutex> lock(requestMutex);
    requests.push_back({path, quality});
    lastPath = path;
    captureRequested = 1;
}

QString capturePath() {
    std::lock_guard<std::mutex> lock(requestMutex);
    return lastPath;
}

int pendingSnapshotCount() {
    std::lock_guard<std::mutex> lock(requestMutex);
    return int(requests.size());
}

void clearSnapshotRequests() {
    std::lock_guard<std::mutex> lock(requestMutex);
    requests.clear();
    captureRequested = 0;
}

bool takeSnapshotRequest(SnapshotRequest *request) {
    std::lock_guard<std::mutex> lock(requestMutex);
    if (requests.empty())
        return false;
    *request = requests.front();
    requests.pop_front();
    inFlight.append(request->path);
    captureRequested = requests.empty() ? 0 : 1;
    return true;
}

bool saveSnapshot(const QImage &image, const SnapshotRequest &request) {
    // Made whole in memory, then written beside its name and named: a full
    // drive leaves no cut picture under the name.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImageWriter writer(&buffer, QFileInfo(request.path).suffix().toLower().toLatin1());
    writer.setQuality(snapshotSaveQuality(request.path, request.quality));
    const bool saved = !image.isNull() && buffer.open(QIODevice::WriteOnly) &&
                       writer.write(image) && FileCalls::writeNew(request.path, bytes) == 0;
    captureSaved = saved;
    finishInFlight(request.path);
    return saved;
}

int snapshotSaveQuality(const QString &path, int quality) {
    return path.right(3) == QLatin1String("jpg") ? quality : -1;
}

bool makeSnapshotFolder(const QString &folder, QString *problem) {
    if (folder.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("Please choose a folder for the snapshots.");
        return false;
    }
    return OutputPaths::makeWritableFolder(folder, problem);
}

QString snapshotFileName(const QString &folder, const QString &suffix) {
    // On Linux a "\\" is part of a folder's name, never a separator.
    const QString base = FolderPath::withTrailingSeparator(folder);

    // A name already promised to a request that is not saved yet, queued or
    // being written, is taken too, or two quick snapshots would land in one
    // file. The folder is looked at without the lock, which the video thread
    // takes: a folder that hangs holds up no picture.
    QStringList promised;
    {
        std::lock_guard<std::mutex> lock(requestMutex);
        promised = inFlight;
        for (const SnapshotRequest &request : requests)
            promised << request.path;
    }
    for (qint64 n = 0;; ++n) {
        const QString candidate = base + QStringLiteral("pic%1").arg(n) + suffix;
        if (promised.contains(candidate))
            continue;
        const FileCalls::Look onDisk = FileCalls::look(candidate);
        // No answer: the look was ended, and no name is known to be free.
        if (!onDisk.answered)
            return QString();
        if (!onDisk.exists)
            return candidate;
    }
}
