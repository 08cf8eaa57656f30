#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A source file's size and modification time as they were when it was last
// probed: a file that differs from its stamp is no longer the file the row
// describes (it was still being written, or replaced).
struct SourceStamp {
    qint64 size = -1;
    qint64 modifiedMs = -1; // since the epoch, UTC

    bool isKnown() const;
    bool operator==(const SourceStamp &other) const;
    bool operator!=(const SourceStamp &other) const;

    // One look at the file; unknown when it cannot be read.
    static SourceStamp of(const QString &path);
    // The stamp a probe's process tells: "SIZE MS" (Platform::prepareProbe).
    static SourceStamp fromLine(const QByteArray &line);
};
