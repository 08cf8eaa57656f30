#include "partfilename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include "platform/filecalls.h"
#include "platform/writerlock.h"

namespace PartFileName {

namespace {

// The part file keeps this much of the output's name.
constexpr int kNameChars = 48;
const QString kTool = QStringLiteral(".korvex-");
const QString kSuffix = QStringLiteral(".part");
// The machine's id is shortened to this many characters in the name.
constexpr int kMachineChars = 12;

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

QString thisMachine() {
    static const QString machine =
        QString::fromLatin1(QSysInfo::machineUniqueId().left(kMachineChars)).toLower();
    return machine;
}

QString forOutput(const QString &outputPath, qint64 pid) {
    const QFileInfo output(outputPath);
    const QString machine = thisMachine();
    return output.absolutePath() + QLatin1Char('/') + prefixFor(output.fileName()) + thisHost() +
           QStringLiteral("-%1").arg(pid) +
           (machine.isEmpty() ? QString() : QLatin1Char('.') + machine) + kSuffix;
}

QString probeFor(const QString &outputPath, qint64 pid) {
    const QFileInfo output(outputPath);
    return forOutput(output.absolutePath() + QStringLiteral("/~") + output.fileName(), pid);
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
    // "PID" in older names, "PID.MACHINE" in newer ones.
    const QString tail = stem.mid(dash + 1);
    const int dot = tail.indexOf(QLatin1Char('.'));
    bool ok = false;
    const qint64 pid = tail.left(dot).toLongLong(&ok);
    if (!ok || pid <= 0)
        return writer;
    writer.host = stem.mid(tool + kTool.size(), dash - tool - kTool.size());
    writer.pid = pid;
    writer.machine = dot < 0 ? QString() : tail.mid(dot + 1);
    return writer;
}

bool isLeftBehind(const QString &path) {
    const Writer writer = writerOf(QFileInfo(path).fileName());
    if (writer.pid <= 0 || writer.host != thisHost() ||
        (!writer.machine.isEmpty() && writer.machine != thisMachine()))
        return false;
    if (FileCalls::writerState(path) != WriterLock::State::Free)
        return false;
    // Older transcoders held no lock: for their names the process id is all
    // there is to go by.
    return !writer.machine.isEmpty() || !runsHere(writer.pid);
}

int sweep(const QString &folder, const QString &outputName) {
    const QDir dir(folder);
    const QString prefix = outputName.isEmpty() ? QString() : prefixFor(outputName);
    int removed = 0;
    const QStringList names = FileCalls::hiddenFilesEndingWith(folder, kSuffix);
    for (const QString &name : names) {
        if (name.startsWith(prefix) && isLeftBehind(dir.filePath(name)) &&
            FileCalls::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace PartFileName
