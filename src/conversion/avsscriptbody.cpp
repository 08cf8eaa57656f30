#include "avsscriptbody.h"

#include "conversion/avsscript.h"
#include "conversion/scriptlines.h"

namespace {

constexpr int kBitsPerSample = 16;

} // namespace

bool AvsScriptBody::readsThroughDirectShow(const QString &sourcePath) {
    return sourcePath.contains(QLatin1String(".dat"));
}

QStringList AvsScriptBody::lines() const {
    using ScriptLines::Line;
    using ScriptLines::write;
    const int sourceForm = directShow ? ScriptLines::kDirectShowSource : ScriptLines::kFfmpegSource;
    QStringList lines;
    lines << write(Line::Plugin, {plugin}) << write(Line::Import, {import})
          << write(Line::Header, {header}) << QString() << ScriptLines::kUserParameters
          << write(Line::Width, {QString::number(width)})
          << write(Line::Height, {QString::number(height)})
          << write(Line::FrameRate, {QString::number(AvsScript::kFrameRate)})
          << write(Line::Channels, {channels}) << write(Line::SampleRate, {sampleRate})
          << write(Line::BitsPerSample, {QString::number(kBitsPerSample)}) << QString()
          << ScriptLines::kSourceComment << write(Line::Source, {source}, sourceForm)
          << write(Line::ConvertFps) << write(Line::ClipDelay, {QStringLiteral("0")})
          << write(Line::DisplayRatio, {displayRatio})
          << write(Line::Crop, {QString::number(cropLeft), QString::number(cropTop),
                                QString::number(cropWidth), QString::number(cropHeight)})
          << write(Line::Tweak, {tweak}) << write(Line::AudioSource, {source}, sourceForm)
          << write(Line::AudioDelay, {QStringLiteral("0")}) << write(Line::AudioDub)
          << write(Line::Letterbox)
          << write(Line::FirstTrim, {QStringLiteral("0"), QString::number(trimFrames)});
    return lines;
}
