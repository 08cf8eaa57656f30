// korvex's reading of the AviSynth scripts the main program writes, and the
// ffmpeg command it makes of an accepted one.

#include <QDir>
#include <QStringDecoder>
#include <QStringList>

#include "argumenttranslator.h"
#include "commandcheck.h"
#include "fuzzcheck.h"
#include "jobrequest.h"
#include "wrapperscript.h"

namespace {

const QString kScriptFolder = QStringLiteral("/home/user/.local/share/Quillora/tmp");
const QString kTemporary = QStringLiteral("/out/.clip.mp4.korvex-4242.part");

// How every line of our scripts begins once its blanks are gone.
const QStringList kLineStarts = {"LoadPlugin(",
                                 "Import(",
                                 "OutputWidth=",
                                 "OutputHeight=",
                                 "OutputFrameRate=",
                                 "OutputChannels=",
                                 "OutputSamplesPerSec=",
                                 "OutputBitsPerSample=",
                                 "clip=FFmpegSource2(",
                                 "clip=DirectShowSource(",
                                 "clip=(clip.frameRate/OutputFrameRate>=1.5)?",
                                 "clip=clip.DelayAudio(",
                                 "clip=clip.DisplayRatio(",
                                 "clip=clip.Crop(",
                                 "clip=clip.Tweak(",
                                 "audio=FFmpegSource2(",
                                 "audio=DirectShowSource(",
                                 "audio=audio.DelayAudio(",
                                 "clip=AudioDubEx(clip,audio).Trim(",
                                 "clip=clip.ResizeLetterBox(",
                                 "clip=clip.Trim(",
                                 "clip=clip.Logo2(",
                                 "returnclip"};

// The lines of an accepted script, outside their quoted paths, are ours.
void checkLines(const QString &text) {
    for (QString line : text.split(QLatin1Char('\n'))) {
        line.remove(QLatin1Char('\r'));
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        QString compact;
        for (const QChar c : trimmed) {
            if (!c.isSpace())
                compact += c;
        }
        bool ours = false;
        for (const QString &start : kLineStarts)
            ours = ours || compact.startsWith(start, Qt::CaseInsensitive);
        require(ours, "an accepted line that no script of ours has", line);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // As korvex reads a script file: UTF-8 or nothing.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(fuzzBytes(data, size));
    if (decoder.hasError())
        return 0;

    WrapperScript script;
    QString error;
    if (!WrapperScript::parse(text, kScriptFolder, &script, &error)) {
        require(!error.isEmpty(), "a refused script without a reason");
        return 0;
    }
    checkLines(text);
    require(QDir::isAbsolutePath(script.sourcePath) &&
                script.sourcePath == QDir::cleanPath(script.sourcePath),
            "a source that is not a clean absolute path", script.sourcePath);
    require(script.logoPath.isEmpty() || QDir::isAbsolutePath(script.logoPath),
            "a logo that is not an absolute path", script.logoPath);
    require(script.frameRate > 0 && script.frameRate <= 1000, "a frame rate out of range");
    require(script.outputWidth >= 0 && script.outputHeight >= 0, "a negative output size");
    qint64 first = 0;
    qint64 last = 0;
    require(script.keptFrames(&first, &last) && first >= 0 && (last == -1 || last >= first),
            "an accepted script that keeps no frames");

    const QStringList arguments = {"-i",      kScriptFolder + "/avsifile0.avs",
                                   "-y",      "-vcodec",
                                   "libx264", "-acodec",
                                   "aac",     "/out/clip.mp4"};
    JobRequest request;
    require(JobRequest::parse(arguments, &request, &error), "the fixed request is refused", error);
    const SourceFacts source = twelveSecondClip();
    ArgumentTranslator translator(request, source);
    translator.setScript(script);
    FfmpegCommand command;
    error.clear();
    if (translator.translate(script.sourcePath, kTemporary, &command, &error))
        checkFfmpegCommand(command, script.sourcePath, kTemporary);
    return 0;
}
