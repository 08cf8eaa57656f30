#include "editedscript.h"

#include <QSaveFile>

#include "conversion/avsscript.h"

namespace {

const QString kCropLeft = QStringLiteral("-cropleft");
const QString kCropTop = QStringLiteral("-croptop");
const QString kCropRight = QStringLiteral("-cropright");
const QString kCropBottom = QStringLiteral("-cropbottom");
const QString kTrimStart = QStringLiteral("-ss");
const QString kTrimLength = QStringLiteral("-t");
// A source of this kind is read through DirectShow; the test is case-sensitive.
const QString kDirectShowMarker = QStringLiteral(".dat");

int integerAfter(const QStringList &list, const QString &word) {
    const qsizetype at = list.indexOf(word);
    return at >= 0 && at + 1 < list.size() ? list.at(at + 1).toInt() : 0;
}

QString cropLine(const EditedScriptInput &input) {
    const qsizetype x = input.sourceSize.indexOf(QLatin1Char('x'));
    const int width = input.sourceSize.left(x).toInt();
    const int height = input.sourceSize.mid(x + 1).toInt();
    const int left = integerAfter(input.arguments, kCropLeft);
    const int top = integerAfter(input.arguments, kCropTop);
    const int right = integerAfter(input.arguments, kCropRight);
    const int bottom = integerAfter(input.arguments, kCropBottom);
    if (left == 0 && top == 0 && right == 0 && bottom == 0)
        return QStringLiteral("clip = clip.Crop(0, 0, %1, %2)").arg(width).arg(height);
    // AviSynth wants even offsets, a width divisible by 4 and an even height.
    const int keptWidth = width - left - right;
    const int keptHeight = height - top - bottom;
    return QStringLiteral("clip = clip.Crop(%1, %2, %3, %4)")
        .arg(left / 2 * 2)
        .arg(top / 2 * 2)
        .arg(keptWidth / 4 * 4)
        .arg(keptHeight / 2 * 2);
}

} // namespace

namespace EditedScript {

std::optional<QString> build(const EditedScriptInput &input, QString *error) {
    const QString source = input.effects.value(3);
    // Every path the script names, quoted the one way the transcoder reads.
    const auto plugin = AvsScript::quoted(input.pluginPath, error);
    if (!plugin)
        return std::nullopt;
    const auto import = AvsScript::quoted(input.importPath, error);
    if (!import)
        return std::nullopt;
    const auto header = AvsScript::quoted(input.headerPath, error);
    if (!header)
        return std::nullopt;
    const auto quotedSource = AvsScript::quoted(source, error);
    if (!quotedSource)
        return std::nullopt;
    std::optional<QString> logo;
    if (input.withLogo) {
        logo = AvsScript::quoted(input.effects.value(5), error);
        if (!logo)
            return std::nullopt;
    }

    const bool directShow = source.contains(kDirectShowMarker);
    const qsizetype x = input.sourceSize.indexOf(QLatin1Char('x'));
    const int width = input.sourceSize.left(x).toInt();
    const int height = input.sourceSize.mid(x + 1).toInt();
    const qint64 start = integerAfter(input.arguments, kTrimStart);
    const qint64 length = integerAfter(input.arguments, kTrimLength);
    const qint64 trimFrames =
        static_cast<qint64>(input.trimDuration.toDouble() * double(kFrameRate));

    QStringList lines;
    lines << QStringLiteral("LoadPlugin(%1)").arg(*plugin)
          << QStringLiteral("Import(%1)").arg(*import) << QStringLiteral("Import(%1)").arg(*header)
          << QString() << QStringLiteral("#User parameters")
          << QStringLiteral("OutputWidth = %1/4*4").arg(width)
          << QStringLiteral("OutputHeight = %1/2*2").arg(height)
          << QStringLiteral("OutputFrameRate = %1").arg(kFrameRate)
          << QStringLiteral("OutputChannels = %1").arg(input.channels)
          << QStringLiteral("OutputSamplesPerSec = %1").arg(input.sampleRate)
          << QStringLiteral("OutputBitsPerSample = 16") << QString()
          << QStringLiteral("# Parse the media source")
          << (directShow
                  ? QStringLiteral("clip = DirectShowSource(") + *quotedSource + QStringLiteral(")")
                  : QStringLiteral("clip = FFmpegSource2(") + *quotedSource +
                        QStringLiteral(",atrack = -1, seekmode = 1,colorspace = \"yv12\")"))
          << QStringLiteral("clip = (clip.frameRate/OutputFrameRate >= 1.5) ? "
                            "clip.SWScale(colorspace=\"YUY2\").ConvertFPS(OutputFrameRate, "
                            "zone=80).SWScale(colorspace=\"YV12\") : "
                            "clip.ConvertFPS(OutputFrameRate)")
          << QStringLiteral("clip = clip.DelayAudio(0)")
          << QStringLiteral("clip = clip.DisplayRatio(%1)").arg(input.displayRatio)
          << cropLine(input)
          << QStringLiteral("clip = clip.Tweak(0.0,%1,%2,%3)")
                 .arg(input.effects.value(0), input.effects.value(1), input.effects.value(2))
          << (directShow ? QStringLiteral("audio = DirectShowSource(") + *quotedSource +
                               QStringLiteral(").KillVideo()")
                         : QStringLiteral("audio = FFmpegSource2(") + *quotedSource +
                               QStringLiteral(", atrack = -1).KillVideo()"))
          << QStringLiteral("audio = audio.DelayAudio(0)")
          << QStringLiteral("clip = AudioDubEx(clip, audio).Trim(0, clip.FrameCount)")
          << QStringLiteral("clip = clip.ResizeLetterBox(OutputWidth, OutputHeight)")
          << QStringLiteral("clip = clip.Trim(0, %1)").arg(trimFrames);
    if (input.withLogo)
        lines << QStringLiteral("clip = clip.Logo2(") + *logo + QStringLiteral(")");
    lines << QStringLiteral("clip = clip.Trim(%1, %2)")
                 .arg(kFrameRate * start)
                 .arg(kFrameRate * (start + length))
          << QStringLiteral("return clip");
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool write(const QString &path, const QString &text, QString *error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(text.toUtf8());
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace EditedScript
