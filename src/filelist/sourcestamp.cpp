#include "sourcestamp.h"

#include "platform/filecalls.h"

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
    SourceStamp stamp;
    if (path.isEmpty())
        return stamp;
    const FileCalls::Look file = FileCalls::look(path);
    if (!file.isFile)
        return stamp;
    stamp.size = file.size;
    stamp.modifiedMs = file.modifiedMs;
    return stamp;
}

SourceStamp SourceStamp::fromLine(const QByteArray &line) {
    const QList<QByteArray> fields = line.trimmed().split(' ');
    SourceStamp stamp;
    bool sizeOk = false;
    bool timeOk = false;
    if (fields.size() == 2) {
        stamp.size = fields.at(0).toLongLong(&sizeOk);
        stamp.modifiedMs = fields.at(1).toLongLong(&timeOk);
    }
    if (!sizeOk || !timeOk)
        return SourceStamp();
    return stamp;
}
