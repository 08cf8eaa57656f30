#include "avsscriptbody.h"

#include "conversion/avsscript.h"

bool AvsScriptBody::readsThroughDirectShow(const QString &sourcePath) {
    return sourcePath.contains(QLatin1String(".dat"));
}

QStringList AvsScriptBody::lines() const {
    QStringList lines;
    lines << QStringLiteral("LoadPlugin(%1)").arg(plugin)
          << QStringLiteral("Import(%1)").arg(import) << QStringLiteral("Import(%1)").arg(header)
          << QString() << QStringLiteral("#User parameters")
          << QStringLiteral("OutputWidth = %1/4*4").arg(width)
          << QStringLiteral("OutputHeight = %1/2*2").arg(height)
          << QStringLiteral("OutputFrameRate = %1").arg(AvsScript::kFrameRate)
          << QStringLiteral("OutputChannels = %1").arg(channels)
          << QStringLiteral("OutputSamplesPerSec = %1").arg(sampleRate)
          << QStringLiteral("OutputBitsPerSample = 16") << QString()
          << QStringLiteral("# Parse the media source")
          << (directShow ? QStringLiteral("clip = DirectShowSource(") + source + QStringLiteral(")")
                         : QStringLiteral("clip = FFmpegSource2(") + source +
                               QStringLiteral(",atrack = -1, seekmode = 1,colorspace = \"yv12\")"))
          << QStringLiteral("clip = (clip.frameRate/OutputFrameRate >= 1.5) ? "
                            "clip.SWScale(colorspace=\"YUY2\").ConvertFPS(OutputFrameRate, "
                            "zone=80).SWScale(colorspace=\"YV12\") : "
                            "clip.ConvertFPS(OutputFrameRate)")
          << QStringLiteral("clip = clip.DelayAudio(0)")
          << QStringLiteral("clip = clip.DisplayRatio(%1)").arg(displayRatio)
          << QStringLiteral("clip = clip.Crop(%1, %2, %3, %4)")
                 .arg(cropLeft)
                 .arg(cropTop)
                 .arg(cropWidth)
                 .arg(cropHeight)
          << QStringLiteral("clip = clip.Tweak(%1)").arg(tweak)
          << (directShow ? QStringLiteral("audio = DirectShowSource(") + source +
                               QStringLiteral(").KillVideo()")
                         : QStringLiteral("audio = FFmpegSource2(") + source +
                               QStringLiteral(", atrack = -1).KillVideo()"))
          << QStringLiteral("audio = audio.DelayAudio(0)")
          << QStringLiteral("clip = AudioDubEx(clip, audio).Trim(0, clip.FrameCount)")
          << QStringLiteral("clip = clip.ResizeLetterBox(OutputWidth, OutputHeight)")
          << QStringLiteral("clip = clip.Trim(0, %1)").arg(trimFrames);
    return lines;
}
