#include "partfilename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace PartFileName {

namespace {

// The part file keeps this much of the output's name.
constexpr int kNameChars = 48;
const QString kTool = QStringLiteral(".korvex-");
const QString kSuffix = QStringLiteral(".part");

QString prefixFor(const QString &outputName) {
    return QStringLiteral(".") + outputName.left(kNameChars) + kTool;
}

bool runsHere(qint64 pid) {
    return QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

} // namespace

QString thisHost() {
    // Dots would blur where the tool's word begins; other odd characters
    // have no place in a file name.
    QString host = QSysInfo::machineHostName();
    for (QChar &c : host) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    return host.isEmpty() ? QStringLiteral("localhost") : host;
}

QString forOutput(const QString &outputPath, qint64 pid) {
    const QFileInfo output(outputPath);
    return output.absolutePath() + QLatin1Char('/') + prefixFor(output.fileName()) + thisHost() +
           QStringLiteral("-%1").arg(pid) + kSuffix;
}

Writer writerOf(const QString &fileName) {
    Writer writer;
    if (!fileName.startsWith(QLatin1Char('.')) || !fileName.endsWith(kSuffix))
        return writer;
    const QString stem = fileName.left(fileName.size() - kSuffix.size());
    const int tool = stem.lastIndexOf(kTool);
    const int dash = stem.lastIndexOf(QLatin1Char('-'));
    if (tool < 0 || dash <= tool + kTool.size())
        return writer;
    bool ok = false;
    const qint64 pid = stem.mid(dash + 1).toLongLong(&ok);
    if (!ok || pid <= 0)
        return writer;
    writer.host = stem.mid(tool + kTool.size(), dash - tool - kTool.size());
    writer.pid = pid;
    return writer;
}

bool isLeftBehind(const QString &fileName) {
    const Writer writer = writerOf(fileName);
    return writer.pid > 0 && writer.host == thisHost() && !runsHere(writer.pid);
}

int sweep(const QString &folder, const QString &outputName) {
    const QDir dir(folder);
    const QString prefix = outputName.isEmpty() ? QString() : prefixFor(outputName);
    int removed = 0;
    const QStringList names =
        dir.entryList({QStringLiteral(".*") + kSuffix}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (name.startsWith(prefix) && isLeftBehind(name) && QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace PartFileName
