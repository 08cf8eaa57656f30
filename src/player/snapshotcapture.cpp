#include "snapshotcapture.h"

#include <memory>

#include "filelist/outputpaths.h"
#include "player/snapshot.h"

SnapshotCapture::SnapshotCapture(QObject *parent) : QObject(parent) {}

void SnapshotCapture::capture(const QString &folder, const QString &suffix, bool mayMake) {
    struct Outcome {
        bool gone = false;
        QString problem;
        QString path;
    };
    const auto outcome = std::make_shared<Outcome>();
    // The quality of the format chosen when the button was clicked.
    const int quality = snapshotQuality.load();
    m_folderWork.run(
        [outcome, folder, suffix, mayMake, quality] {
            if (!mayMake && OutputPaths::isGone(folder)) {
                outcome->gone = true;
                return;
            }
            if (!makeSnapshotFolder(folder, &outcome->problem))
                return;
            // Chosen and queued in one piece: pieces run one after another,
            // so that no two captures get one name.
            outcome->path = snapshotFileName(folder, suffix);
            requestSnapshot(outcome->path, quality);
        },
        this,
        [this, outcome, folder, suffix] {
            if (outcome->gone)
                Q_EMIT folderGone(folder, suffix);
            else if (!outcome->path.isEmpty())
                Q_EMIT requested(outcome->path);
            else
                Q_EMIT problem(outcome->problem);
        });
}
