#include "sourcestamp.h"

#include <QDateTime>
#include <QFileInfo>

bool SourceStamp::isKnown() const {
    return size >= 0 && modifiedMs >= 0;
}

bool SourceStamp::operator==(const SourceStamp &other) const {
    return size == other.size && modifiedMs == other.modifiedMs;
}

bool SourceStamp::operator!=(const SourceStamp &other) const {
    return !(*this == other);
}

SourceStamp SourceStamp::of(const QString &path) {
    const QFileInfo file(path);
    SourceStamp stamp;
    if (path.isEmpty() || !file.isFile())
        return stamp;
    stamp.size = file.size();
    stamp.modifiedMs = file.lastModified().toMSecsSinceEpoch();
    return stamp;
}
