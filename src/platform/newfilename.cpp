#include "newfilename.h"

#include <atomic>
#include <climits>
#include <cstring>

#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "platform/processcheck.h"

namespace NewFileName {

namespace {

constexpr char kSuffixText[] = ".new";
const QString kSuffix = QLatin1String(kSuffixText);
constexpr int kHashDigits = 12;
// The fields after the name: the writer's (process id and count, boot, PID
// namespace, start) and the size; a cut name's hash after them.
constexpr int kFields = 5;
constexpr int kCutFields = kFields + 1;
constexpr int kOlderFields = 1;

QString hashOf(const QString &fileName) {
    return QString::fromLatin1(QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha1)
                                   .toHex()
                                   .left(kHashDigits));
}

qsizetype bytesOf(const QString &text) {
    return QFile::encodeName(text).size();
}

// The longest start of text that takes at most bytes, never half a letter.
QString cutToBytes(QString text, qsizetype bytes) {
    while (!text.isEmpty() && bytesOf(text) > bytes)
        text.chop(text.size() > 1 && text.back().isLowSurrogate() ? 2 : 1);
    return text;
}

bool isNumber(const QString &text, int base, qint64 *value) {
    bool ok = false;
    *value = text.toLongLong(&ok, base);
    return ok && *value >= 0 && !text.startsWith(QLatin1Char('+')) &&
           !text.startsWith(QLatin1Char('-'));
}

// Lower-case hex digits or nothing, as ProcessCheck gives a boot and a
// namespace.
bool isHexOrEmpty(const QString &text) {
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

// "PID-N": the process id, or 0 when the field is no such thing.
qint64 pidOf(const QString &field) {
    const qsizetype dash = field.indexOf(QLatin1Char('-'));
    qint64 pid = 0;
    qint64 count = 0;
    return dash > 0 && isNumber(field.left(dash), 10, &pid) &&
                   isNumber(field.mid(dash + 1), 10, &count) && pid > 0
               ? pid
               : 0;
}

// The writer's fields, from fields[at] on: "PID-N", boot, namespace, start
// and size.
bool readFields(const QStringList &fields, qsizetype at, Writer *writer) {
    writer->pid = pidOf(fields.at(at));
    writer->boot = fields.at(at + 1);
    writer->pidSpace = fields.at(at + 2);
    return writer->pid > 0 && isHexOrEmpty(writer->boot) && isHexOrEmpty(writer->pidSpace) &&
           isNumber(fields.at(at + 3), 16, &writer->started) &&
           isNumber(fields.at(at + 4), 10, &writer->size);
}

} // namespace

QString forWrite(const QString &path, qint64 size) {
    static std::atomic<int> counter{0};
    const QFileInfo target(path);
    const QString name = target.fileName();
    const qint64 pid = ::getpid();
    const QString fields =
        QStringLiteral(".%1-%2.").arg(pid).arg(++counter) + ProcessCheck::thisBoot() +
        QLatin1Char('.') + ProcessCheck::thisPidSpace() + QLatin1Char('.') +
        QString::number(ProcessCheck::startOf(pid), 16) + QLatin1Char('.') + QString::number(size);
    QString hidden = QLatin1Char('.') + name + fields + kSuffix;
    if (bytesOf(hidden) > NAME_MAX) {
        const QString tail = fields + QLatin1Char('.') + hashOf(name) + kSuffix;
        hidden = QLatin1Char('.') + cutToBytes(name, NAME_MAX - 1 - bytesOf(tail)) + tail;
    }
    return target.absolutePath() + QLatin1Char('/') + hidden;
}

bool mayBeOne(const char *fileName) {
    const std::size_t length = std::strlen(fileName);
    const std::size_t suffix = sizeof kSuffixText - 1;
    return fileName[0] == '.' && length > suffix &&
           std::strcmp(fileName + length - suffix, kSuffixText) == 0;
}

Writer writerOf(const QString &fileName) {
    Writer writer;
    if (!fileName.startsWith(QLatin1Char('.')) || !fileName.endsWith(kSuffix))
        return writer;
    const QStringList fields =
        fileName.mid(1, fileName.size() - 1 - kSuffix.size()).split(QLatin1Char('.'));
    const qsizetype count = fields.size();
    const auto nameBefore = [&fields](qsizetype end) {
        return QStringList(fields.mid(0, end)).join(QLatin1Char('.'));
    };
    if (count > kFields && readFields(fields, count - kFields, &writer)) {
        writer.name = nameBefore(count - kFields);
        return writer;
    }
    writer = Writer();
    if (count > kCutFields && readFields(fields, count - kCutFields, &writer) &&
        fields.last().size() == kHashDigits && isHexOrEmpty(fields.last())) {
        writer.cut = nameBefore(count - kCutFields);
        writer.hash = fields.last();
        return writer;
    }
    writer = Writer();
    if (count > kOlderFields) {
        writer.pid = pidOf(fields.last());
        writer.name = nameBefore(count - kOlderFields);
        if (writer.pid <= 0 || writer.name.isEmpty())
            writer = Writer();
    }
    return writer;
}

bool isCutFor(const Writer &writer, const QString &fileName) {
    return !writer.hash.isEmpty() && fileName.startsWith(writer.cut) &&
           hashOf(fileName) == writer.hash;
}

} // namespace NewFileName
