#include "avsscript.h"

#include <cerrno>
#include <cmath>
#include <limits>

#include <QFile>
#include <QFileInfo>

#include "conversion/avsscriptbody.h"
#include "conversion/scriptfile.h"
#include "platform/filecalls.h"
#include "conversion/scriptlines.h"
#include "platform/safefile.h"
#include "profiles/argumentlist.h"

namespace {

const QString kDoubleQuote = QStringLiteral("\"");
const QString kTripleQuote = QStringLiteral("\"\"\"");
const QString kDefaultSampleRate = QStringLiteral("44100");
const QString kDefaultChannels = QStringLiteral("2");
const QString kFallbackRatio = QStringLiteral("1.333");
const QString kScriptStem = QStringLiteral("avsifile");

bool hasControlCharacter(const QString &text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

QString displayRatioValue(const QString &ratio, const QString &sourceSize) {
    bool ok = false;
    const double value = ratio.toDouble(&ok);
    if (ok && std::isfinite(value) && value > 0)
        return ratio;
    const int width = AvsScript::sizePart(sourceSize.section(QLatin1Char('x'), 0, 0));
    const int height = AvsScript::sizePart(sourceSize.section(QLatin1Char('x'), 1));
    if (width > 0 && height > 0)
        return QString::number(double(width) / height, 'f', 3);
    return kFallbackRatio;
}

} // namespace

std::optional<QString> AvsScript::quoted(const QString &path, QString *error) {
    const bool unquotable = hasControlCharacter(path) || path.contains(kTripleQuote) ||
                            (path.contains(kDoubleQuote) && path.endsWith(kDoubleQuote));
    if (unquotable) {
        if (error) {
            *error = QStringLiteral("The name \"%1\" cannot be written into a conversion script: "
                                    "it holds a line break or another control character, three "
                                    "double quotes in a row, or ends with a double quote. "
                                    "Please rename the file.")
                         .arg(path);
        }
        return std::nullopt;
    }
    if (path.contains(kDoubleQuote))
        return kTripleQuote + path + kTripleQuote;
    return kDoubleQuote + path + kDoubleQuote;
}

QString AvsScript::channelCount(const QString &channelsText) {
    // The transcoder's own table; a script needs a count even where the
    // transcoder is left to choose.
    const QString count = Arguments::channelsValue(channelsText);
    return count.isEmpty() ? kDefaultChannels : count;
}

QString AvsScript::sampleRate(const QString &sampleRateText) {
    bool ok = false;
    const int rate = sampleRateText.toInt(&ok);
    return ok && rate > 0 ? QString::number(rate) : kDefaultSampleRate;
}

int AvsScript::sizePart(const QString &text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value <= kMaxPictureSide ? value : 0;
}

qint64 AvsScript::frameCount(const QString &seconds) {
    bool ok = false;
    const double value = seconds.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    // Past what a script's frame number holds, the length is the whole file,
    // which a count of 0 says as well.
    const double frames = std::trunc(value * double(kFrameRate));
    return frames >= 0 && frames <= double(std::numeric_limits<int>::max()) ? qint64(frames) : 0;
}

std::optional<QString> AvsScript::text(const AvsScriptInput &input, QString *error) {
    const auto plugin = quoted(input.pluginPath, error);
    if (!plugin)
        return std::nullopt;
    const auto import = quoted(input.importPath, error);
    if (!import)
        return std::nullopt;
    const auto header = quoted(input.headerPath, error);
    if (!header)
        return std::nullopt;
    const auto source = quoted(input.sourcePath, error);
    if (!source)
        return std::nullopt;

    // A size without "x" gives its whole text to both width and height.
    const int x = input.sourceSize.indexOf(QLatin1Char('x'));
    const int width = sizePart(x >= 0 ? input.sourceSize.left(x) : input.sourceSize);
    const int height = sizePart(x >= 0 ? input.sourceSize.mid(x + 1) : input.sourceSize);
    const int ox = input.outputSize.indexOf(QLatin1Char('x'));
    const int cropWidth = ox >= 0 ? sizePart(input.outputSize.left(ox)) / 4 * 4 : 0;
    const int cropHeight = ox >= 0 ? sizePart(input.outputSize.mid(ox + 1)) / 2 * 2 : 0;

    AvsScriptBody body;
    body.plugin = *plugin;
    body.import = *import;
    body.header = *header;
    body.source = *source;
    body.directShow = AvsScriptBody::readsThroughDirectShow(input.sourcePath);
    body.width = width;
    body.height = height;
    body.channels = channelCount(input.channelsText);
    body.sampleRate = sampleRate(input.sampleRateText);
    body.displayRatio = displayRatioValue(input.displayRatio, input.sourceSize);
    body.cropWidth = cropWidth;
    body.cropHeight = cropHeight;
    body.tweak = QStringLiteral("0,1,0,1");
    body.trimFrames = frameCount(input.exactDuration);
    return (body.lines() << ScriptLines::write(ScriptLines::Line::Return)).join(QLatin1Char('\n')) +
           QLatin1Char('\n');
}

QString AvsScript::scriptPath(const QString &folder, int n) {
    return folder + QLatin1Char('/') + kScriptStem + QString::number(n) + QStringLiteral(".avs");
}

QString AvsScript::logoPath(const QString &folder, int n) {
    return folder + QLatin1Char('/') + kScriptStem + QString::number(n) + QStringLiteral(".png");
}

bool AvsScript::write(const QString &path, const QString &text, QString *error) {
    const QFileInfo info(path);
    if (!FileCalls::makePath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("Cannot create the folder %1.").arg(info.absolutePath());
        return false;
    }
    QString reason;
    if (!ScriptFile::replace(path, text, &reason)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, reason);
        return false;
    }
    return true;
}

int AvsScript::writeNew(const QString &path, const QString &text, QString *error) {
    const QFileInfo info(path);
    if (!FileCalls::makePath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("Cannot create the folder %1.").arg(info.absolutePath());
        return ENOENT;
    }
    const int failure = ScriptFile::writeNew(path, text);
    if (failure != 0 && failure != EEXIST && error)
        *error = QStringLiteral("Cannot write %1: %2").arg(path, SafeFile::reasonText(failure));
    return failure;
}
