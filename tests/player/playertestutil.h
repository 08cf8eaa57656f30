#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QThread>
#include <QtTest>

#include "player/previewplayer.h"
#include "player/snapshot.h"
#include "../support/testtime.h"

// Helpers shared by the tests that play the generated clips.
namespace PlayerTest {

inline const QSize kPreviewSize(297, 237);
// How long a test waits for something the player does: a busy machine may
// take long, and a test that passes does not wait for the bound.
inline const int kEventTimeoutMs = TestTime::bound(30000);

inline QString mediaPath(const QString &name) {
    return QDir(qEnvironmentVariable("QUILLORA_TEST_MEDIA")).filePath(name);
}

// True when the picture holds more than a black background.
inline bool showsSomething(const QImage &image) {
    if (image.isNull())
        return false;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            const QRgb pixel = image.pixel(x, y);
            if (qRed(pixel) + qGreen(pixel) + qBlue(pixel) > 60)
                return true;
        }
    }
    return false;
}

inline bool waitForPicture(int timeoutMs = kEventTimeoutMs) {
    return QTest::qWaitFor([] { return showsSomething(previewFrame.image()); }, timeoutMs);
}

// Pictures keep coming: one other than `earlier` is shown.
inline bool waitForNewPicture(const QImage &earlier, int timeoutMs = kEventTimeoutMs) {
    return QTest::qWaitFor([&earlier] { return previewFrame.image() != earlier; }, timeoutMs);
}

inline bool waitForPosition(double atLeast, int timeoutMs = kEventTimeoutMs) {
    return QTest::qWaitFor([atLeast] { return playPosition >= atLeast; }, timeoutMs);
}

// The video thread takes a snapshot request, then converts and writes the
// picture. Once the queue is empty, one more request (into `scratchFolder`),
// served after the last one on the same thread, tells when that one is whole:
// a save is reported after the extra request was made.
inline bool waitForSnapshotsSaved(const QString &scratchFolder, int timeoutMs = kEventTimeoutMs) {
    if (!QTest::qWaitFor([] { return pendingSnapshotCount() == 0; }, timeoutMs))
        return false;
    captureSaved = false;
    requestSnapshot(snapshotFileName(scratchFolder, QStringLiteral(".bmp")));
    return QTest::qWaitFor([] { return captureSaved.load(); }, timeoutMs);
}

// Waits for what the player's own threads do without handling an event
// meanwhile: the window's timers must not act on it first.
template <typename Condition>
bool waitWithoutEvents(Condition done, int timeoutMs = kEventTimeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::yieldCurrentThread();
    }
    return true;
}

// Lets the player run without a test condition (the refreshes need the
// event loop).
inline void runFor(int ms) {
    QTest::qWait(ms);
}

} // namespace PlayerTest
