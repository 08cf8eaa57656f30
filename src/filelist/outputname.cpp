#include "outputname.h"

#include <QList>
#include <QPair>

namespace OutputName {

namespace {

const QString kSavedAs =
    QStringLiteral("korvex: the name was taken while converting; the output is saved as: ");

// Line breaks would cut the line apart; "%" is coded so that the coding can
// be undone. Everything else stays readable in the log.
const QList<QPair<QString, QString>> kCoded = {
    {QStringLiteral("%"), QStringLiteral("%25")},
    {QStringLiteral("\r"), QStringLiteral("%0D")},
    {QStringLiteral("\n"), QStringLiteral("%0A")},
};

qsizetype extensionDot(const QString &name) {
    return name.lastIndexOf(QLatin1Char('.'));
}

QString fileName(const QString &path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString withExtension(const QString &name, const QString &extension) {
    const qsizetype dot = extensionDot(name);
    return (dot >= 0 ? name.left(dot) : name) + QLatin1Char('.') + extension.toLower();
}

} // namespace

QString cutToBytes(const QString &text, int maxBytes) {
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const char32_t code = text.at(end).unicode();
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        const int width = pair ? 4 : code < 0x80 ? 1 : code < 0x800 ? 2 : 3;
        if (bytes + width > maxBytes)
            break;
        bytes += width;
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

QString numbered(const QString &name, int number) {
    const qsizetype dot = extensionDot(name);
    const QString stem = dot >= 0 ? name.left(dot) : name;
    const QString tail = QString::number(number) + (dot >= 0 ? name.mid(dot) : QString());
    const qsizetype room = kMaxNameBytes - tail.toUtf8().size();
    if (room < 0)
        return stem + tail; // nothing in front of the number could make it fit
    return cutToBytes(stem, int(room)) + tail;
}

QString nameToTry(const QString &wanted, int firstNumber, const QString &plainName, int index) {
    const QString own = fileName(wanted);
    if (index == 0)
        return own;
    return numbered(plainName.isEmpty() ? own : plainName, firstNumber + index - 1);
}

QString firstFree(const QString &wanted, int firstNumber,
                  const std::function<bool(const QString &)> &isFree, const QString &plainName) {
    const QString folder = wanted.left(wanted.lastIndexOf(QLatin1Char('/')) + 1);
    for (int index = 0; index < kTries; ++index) {
        const QString candidate =
            index == 0 ? wanted : folder + nameToTry(wanted, firstNumber, plainName, index);
        if (isFree(candidate))
            return candidate;
    }
    return QString();
}

QString plainName(const QString &sourcePath, const QString &outputPath) {
    const QString output = fileName(outputPath);
    const qsizetype dot = extensionDot(output);
    if (dot < 0 || fileName(sourcePath).isEmpty())
        return output;
    return withExtension(fileName(sourcePath), output.mid(dot + 1));
}

QString savedAsLine(const QString &fileName) {
    QString coded = fileName;
    for (const auto &[plain, code] : kCoded)
        coded.replace(plain, code);
    return kSavedAs + coded;
}

QString savedAsName(const QString &line) {
    if (!line.startsWith(kSavedAs))
        return QString();
    QString name = line.mid(kSavedAs.size());
    // The other way round, "%25" last: "%250A" stands for "%0A".
    for (auto code = kCoded.crbegin(); code != kCoded.crend(); ++code)
        name.replace(code->second, code->first);
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return QString();
    return name;
}

} // namespace OutputName
