// The profile loader: one XML profile file, the eight option boxes it fills,
// and the job a row gets from their current texts.

#include "argumenttranslator.h"
#include "commandcheck.h"
#include "profiles/argumentlist.h"
#include "fuzzcheck.h"
#include "jobrequest.h"
#include "profiles/profileloader.h"

namespace {

const QString kSource = QStringLiteral("/media/clip.mp4");
const QString kOutput = QStringLiteral("/out/clip.mp4");
const QString kTemporary = QStringLiteral("/out/.clip.mp4.korvex-4242.part");

void checkBox(const ComboFill &box, const char *name) {
    require(box.items.isEmpty() ? box.current == -1
                                : box.current >= 0 && box.current < box.items.size(),
            "a current entry outside the box", QString::fromLatin1(name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::optional<ProfileDocument> document = ProfileLoader::parse(fuzzBytes(data, size));
    if (!document)
        return 0;
    const ProfileSelection s = ProfileLoader::select(*document);
    require(s.loaded, "a parsed profile that is not loaded");
    checkBox(s.vcodec, "Vcodec");
    checkBox(s.vsize, "VSize");
    checkBox(s.vbitrate, "VBitrate");
    checkBox(s.vframeRate, "VframeRate");
    checkBox(s.acodec, "Acodec");
    checkBox(s.asamplerate, "ASamplerate");
    checkBox(s.abitrate, "ABitrate");
    checkBox(s.achannels, "AChannels");
    require(!s.vcodec.items.isEmpty() && !s.acodec.items.isEmpty(),
            "a codec box without its preset entry");

    // Values korvex cannot take never enter a row's list.
    Arguments::OptionTexts texts;
    texts.vcodec = s.vcodec.currentText();
    texts.vsize = s.vsize.currentText();
    texts.vbitrate = s.vbitrate.currentText();
    texts.vframeRate = s.vframeRate.currentText();
    texts.vaspect = Arguments::kDefaultAspectText;
    texts.acodec = s.acodec.currentText();
    texts.asamplerate = s.asamplerate.currentText();
    texts.abitrate = s.abitrate.currentText();
    texts.achannels = s.achannels.currentText();
    const ArgumentList arguments =
        Arguments::build(texts, kSource, kOutput, QStringLiteral("320x240"));
    JobRequest request;
    QString error;
    require(JobRequest::parse(arguments, &request, &error), "korvex refuses a profile's job",
            error + QLatin1Char('\n') + arguments.join(QLatin1Char(' ')));

    const SourceFacts source = twelveSecondClip();
    FfmpegCommand command;
    if (ArgumentTranslator(request, source).translate(kSource, kTemporary, &command, &error))
        checkFfmpegCommand(command, kSource, kTemporary);
    return 0;
}
