#pragma once

// Files that would have a reader open other files in their place, made with
// the real ffmpeg in a folder of the test's:
//   public/holiday.mp4   a text HLS playlist naming ../secret/private.ts
//   public/holiday.m3u8  the same, naming the absolute path
//   public/list.mp4      a concat list naming its neighbour.ts
//   pictures/pic%d.png   a 640x480 red picture, beside pic1.png ... pic3.png,
//                        32x32 and blue, which its name as a pattern names
// The other files hold a 320x240 clip with sound.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

#include "mediaprograms.h"

namespace HostileMedia {

inline const QString kRelativePlaylist = QStringLiteral("public/holiday.mp4");
inline const QString kAbsolutePlaylist = QStringLiteral("public/holiday.m3u8");
inline const QString kConcatList = QStringLiteral("public/list.mp4");
inline const QString kPattern = QStringLiteral("pictures/pic%d.png");
inline const QSize kPatternPictureSize(640, 480);

inline bool ffmpeg(const QStringList &arguments) {
    QProcess p;
    p.start(MediaPrograms::ffmpeg(), QStringList{"-v", "error", "-nostdin", "-y"} + arguments);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline bool writeText(const QString &path, const QByteArray &text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

inline QByteArray playlist(const QString &target) {
    return "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" + target.toUtf8() +
           "\n#EXT-X-ENDLIST\n";
}

inline bool picture(const QString &path, const QString &color, const QString &size) {
    // Written under a plain name: ffmpeg would take the pattern for one too.
    const QString plain = QFileInfo(path).absolutePath() + "/plain.png";
    return ffmpeg({"-f", "lavfi", "-i", "color=" + color + ":size=" + size, "-frames:v", "1",
                   "file:" + plain}) &&
           QFile::rename(plain, path);
}

inline bool make(const QDir &folder) {
    const QString secret = folder.filePath("secret/private.ts");
    if (!folder.mkpath("secret") || !folder.mkpath("public") || !folder.mkpath("pictures") ||
        !ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=2", "-f", "lavfi",
                 "-i", "sine=duration=2", "-c:v", "mpeg2video", "-c:a", "mp2", "file:" + secret}) ||
        !QFile::copy(secret, folder.filePath("public/neighbour.ts")))
        return false;
    if (!writeText(folder.filePath(kRelativePlaylist), playlist("../secret/private.ts")) ||
        !writeText(folder.filePath(kAbsolutePlaylist), playlist(secret)) ||
        !writeText(folder.filePath(kConcatList), "ffconcat version 1.0\nfile neighbour.ts\n"))
        return false;
    if (!picture(folder.filePath(kPattern), "red", "640x480"))
        return false;
    for (int n = 1; n <= 3; ++n) {
        if (!picture(folder.filePath(QString("pictures/pic%1.png").arg(n)), "blue", "32x32"))
            return false;
    }
    return true;
}

} // namespace HostileMedia
