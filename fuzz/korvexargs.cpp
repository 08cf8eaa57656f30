// korvex's reading of the argument list the main program sends, and its
// translation into an ffmpeg command. One argument a line.

#include <QStringList>

#include "argumenttranslator.h"
#include "commandcheck.h"
#include "fuzzcheck.h"
#include "jobrequest.h"

namespace {

const QString kSource = QStringLiteral("/media/clip one.mp4");
const QString kTemporary = QStringLiteral("/out/.clip one.mp4.korvex-4242.part");

// The sound a little shorter than the picture, as in most real files.
SourceFacts pictureAndSound() {
    SourceFacts s = twelveSecondClip();
    s.audioDuration = 11.98;
    return s;
}

SourceFacts soundOnly() {
    SourceFacts s;
    s.hasAudio = true;
    s.audioIndex = 0;
    s.sampleRate = 48000;
    s.channels = 6;
    s.duration = 2;
    s.audioDuration = 2;
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QStringList arguments = QString::fromUtf8(fuzzBytes(data, size)).split(QLatin1Char('\n'));
    JobRequest request;
    QString error;
    if (!JobRequest::parse(arguments, &request, &error)) {
        require(!error.isEmpty(), "a refused request without a reason");
        return 0;
    }
    require(!request.input.isEmpty() && !request.output.isEmpty(),
            "a request without input or output");
    require(request.output == arguments.last(), "the output is not the list's last element");

    for (const SourceFacts &source : {pictureAndSound(), soundOnly()}) {
        ArgumentTranslator translator(request, source);
        FfmpegCommand command;
        QString why;
        if (translator.translate(kSource, kTemporary, &command, &why))
            checkFfmpegCommand(command, kSource, kTemporary);
        else
            require(!why.isEmpty(), "a refused translation without a reason");
    }
    return 0;
}
