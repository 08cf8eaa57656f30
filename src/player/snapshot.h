#pragma once

#include <atomic>

#include <QImage>
#include <QString>

// Snapshot requests raised by the main window and served by the video thread
// with the next picture it converts. Requests queue up, so a second capture
// made before the first is saved is not lost.

struct SnapshotRequest {
    QString path;
    int quality = -1;
};

// 1 while at least one request waits.
extern std::atomic<int> captureRequested;
// Quality for JPEG snapshots: -1 (the writer's default), 60, 90 or 100.
extern std::atomic<int> snapshotQuality;
// Outcome of the last snapshot save.
extern std::atomic<bool> captureSaved;

// Queues a snapshot of the next picture into `path`, with the quality that
// snapshotQuality holds now unless another is given.
void requestSnapshot(const QString &path, int quality = snapshotQuality.load());
// The path of the last request raised.
QString capturePath();
int pendingSnapshotCount();
void clearSnapshotRequests();

// The video thread's side: takes the oldest request, if any.
bool takeSnapshotRequest(SnapshotRequest *request);
// Saves `image` for `request`, whole under its name or not at all and never
// over a file that has come under the name, and records the outcome in
// captureSaved.
bool saveSnapshot(const QImage &image, const SnapshotRequest &request);

// The quality handed to the writer: `quality` for names ending in "jpg"
// (case-sensitive), else -1.
int snapshotSaveQuality(const QString &path, int quality);
// Makes the snapshot folder when it is missing and tries a file in it. False
// and a message for the user when it cannot be made or written.
bool makeSnapshotFolder(const QString &folder, QString *problem);
// The first free name "pic<n><suffix>" in `folder`, counting from 0, in
// native separators; names of requests not yet saved are not free.
QString snapshotFileName(const QString &folder, const QString &suffix);
