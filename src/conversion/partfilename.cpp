#include "partfilename.h"

#include <utility>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QSysInfo>

#include "filelist/outputname.h"
#include "platform/filecalls.h"
#include "platform/filepublish.h"
#include "platform/processcheck.h"
#include "platform/writerlock.h"

namespace PartFileName {

namespace {

// The part file keeps this much of the output's name, and no more bytes than
// this, so that the writer's fields after it always fit a file name.
constexpr int kNameChars = 48;
constexpr int kNameBytes = 96;
const QString kTool = QStringLiteral(".korvex-");
const QString kSuffix = QStringLiteral(".part");
const QString kWhole = QStringLiteral("whole");
// The machine's id is shortened to this many characters in the name.
constexpr int kMachineChars = 12;
constexpr int kClaimDigits = 12;
// The fields after the process id: none or the machine in older names; the
// machine, boot, PID namespace and start; and a whole part's claim.
constexpr int kOlderFields = 2;
constexpr int kWriterFields = 5;
constexpr int kWholeFields = 7;
// A part file whose writer cannot be told has surely gone once it has not
// changed for this long.
constexpr qint64 kAbandonedMs = qint64(7) * 24 * 60 * 60 * 1000;

QString keptName(const QString &outputName) {
    return OutputName::cutToBytes(outputName.left(kNameChars), kNameBytes);
}

QString prefixFor(const QString &outputName) {
    return QStringLiteral(".") + keptName(outputName) + kTool;
}

// As older transcoders cut the name.
QString olderPrefixFor(const QString &outputName) {
    return QStringLiteral(".") + outputName.left(kNameChars) + kTool;
}

QString claimHash(const QString &fileName) {
    return QString::fromLatin1(QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha1)
                                   .toHex()
                                   .left(kClaimDigits));
}

Writer thisWriter(qint64 pid) {
    Writer writer;
    writer.host = thisHost();
    writer.pid = pid;
    writer.machine = thisMachine();
    writer.boot = ProcessCheck::thisBoot();
    writer.pidSpace = ProcessCheck::thisPidSpace();
    writer.started = ProcessCheck::startOf(pid);
    return writer;
}

// Whether writer's process is of this boot and PID namespace, where its id
// says whether it runs.
bool isOfThisSystem(const Writer &writer) {
    return writer.host == thisHost() && writer.machine == thisMachine() && !writer.boot.isEmpty() &&
           writer.boot == ProcessCheck::thisBoot() && !writer.pidSpace.isEmpty() &&
           writer.pidSpace == ProcessCheck::thisPidSpace();
}

bool isLeftBehind(const QString &path, const Writer &writer) {
    if (writer.pid <= 0)
        return false;
    const bool known = isOfThisSystem(writer);
    if (known && ProcessCheck::of(writer.pid, writer.started) == ProcessCheck::State::Runs)
        return false;
    const WriterLock::Facts facts = FileCalls::writerState(path);
    if (!facts.ours || facts.lock == WriterLock::State::Held)
        return false;
    if (known)
        return true;
    return facts.modifiedMs >= 0 &&
           QDateTime::currentMSecsSinceEpoch() - facts.modifiedMs > kAbandonedMs;
}

// The whole part file wholeName of a writer that has gone takes the name it
// claimed, an empty file of ours; without one, it never got so far, and
// what it wrote is no output.
bool finishOrRemove(const QDir &dir, const QString &wholeName, const QString &hash,
                    QStringList *names) {
    if (names->isEmpty())
        *names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    const QString kept = wholeName.mid(1, wholeName.lastIndexOf(kTool) - 1);
    for (const QString &name : std::as_const(*names)) {
        if (name.startsWith(kept) && name != wholeName && claimHash(name) == hash)
            return FilePublish::finishClaim(dir.filePath(wholeName), dir.filePath(name)) == 0;
    }
    return FileCalls::remove(dir.filePath(wholeName));
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

QString nameFor(const QString &outputName, const Writer &writer) {
    QString name = prefixFor(outputName) + writer.host + QStringLiteral("-%1.").arg(writer.pid) +
                   writer.machine + QLatin1Char('.') + writer.boot + QLatin1Char('.') +
                   writer.pidSpace + QLatin1Char('.') + QString::number(writer.started, 16);
    if (!writer.claim.isEmpty())
        name += QLatin1Char('.') + writer.claim + QLatin1Char('.') + kWhole;
    return name + kSuffix;
}

QString forOutput(const QString &outputPath, qint64 pid) {
    const QFileInfo output(outputPath);
    return output.absolutePath() + QLatin1Char('/') + nameFor(output.fileName(), thisWriter(pid));
}

QString probeFor(const QString &outputPath, qint64 pid) {
    const QFileInfo output(outputPath);
    return forOutput(output.absolutePath() + QStringLiteral("/~") + output.fileName(), pid);
}

QString wholeFor(const QString &partPath, const QString &claimName) {
    const QFileInfo part(partPath);
    Writer writer = writerOf(part.fileName());
    if (writer.pid <= 0)
        return partPath;
    writer.claim = claimHash(claimName);
    return part.absolutePath() + QLatin1Char('/') + nameFor(claimName, writer);
}

Writer writerOf(const QString &fileName) {
    Writer writer;
    if (!fileName.startsWith(QLatin1Char('.')) || !fileName.endsWith(kSuffix))
        return writer;
    const QString stem = fileName.left(fileName.size() - kSuffix.size());
    const qsizetype tool = stem.lastIndexOf(kTool);
    const qsizetype dash = stem.lastIndexOf(QLatin1Char('-'));
    if (tool < 0 || dash <= tool + kTool.size())
        return writer;
    const QStringList fields = stem.mid(dash + 1).split(QLatin1Char('.'));
    const qsizetype count = fields.size();
    if (count > kOlderFields && count != kWriterFields && count != kWholeFields)
        return writer;
    if (count == kWholeFields && fields.last() != kWhole)
        return writer;
    bool ok = false;
    const qint64 pid = fields.first().toLongLong(&ok);
    if (!ok || pid <= 0)
        return writer;
    if (count >= kWriterFields) {
        writer.started = fields.at(kWriterFields - 1).toLongLong(&ok, 16);
        if (!ok)
            return writer;
        writer.boot = fields.at(2);
        writer.pidSpace = fields.at(3);
    }
    if (count == kWholeFields)
        writer.claim = fields.at(kWriterFields);
    writer.host = stem.mid(tool + kTool.size(), dash - tool - kTool.size());
    writer.pid = pid;
    writer.machine = fields.value(1);
    return writer;
}

bool isLeftBehind(const QString &path) {
    return isLeftBehind(path, writerOf(QFileInfo(path).fileName()));
}

int sweep(const QString &folder, const QString &outputName, WholeParts whole) {
    const QDir dir(folder);
    const QString prefix = outputName.isEmpty() ? QString() : prefixFor(outputName);
    const QString olderPrefix = outputName.isEmpty() ? QString() : olderPrefixFor(outputName);
    QStringList folderNames; // listed once a whole part file needs its claim
    int removed = 0;
    const QStringList names = FileCalls::hiddenFilesEndingWith(folder, kSuffix);
    for (const QString &name : names) {
        const Writer writer = writerOf(name);
        const QString path = dir.filePath(name);
        if (!writer.claim.isEmpty()) {
            if (whole == WholeParts::Finish && isLeftBehind(path, writer) &&
                finishOrRemove(dir, name, writer.claim, &folderNames))
                ++removed;
        } else if ((name.startsWith(prefix) || name.startsWith(olderPrefix)) &&
                   isLeftBehind(path, writer) && FileCalls::remove(path)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace PartFileName
