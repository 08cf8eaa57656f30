// The main window's reading of korvex's description of an added file, and
// the first script the row gets from what it read.

#include <cmath>

#include <QRegularExpression>

#include "conversion/avsscript.h"
#include "filelist/probeparser.h"
#include "fuzzcheck.h"
#include "wrapperscript.h"

namespace {

const QString kScriptFolder = QStringLiteral("/home/user/.local/share/Quillora/tmp");

bool isOneLine(const QString &text) {
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

void checkFields(const ProbeResult &probe) {
    require(!(probe.hasVideo && probe.audioOnly), "a file with a picture taken for sound only");
    const QStringList fields = {probe.probedDuration,     probe.probedSeconds,
                                probe.probedSecondsExact, probe.probedBitrate,
                                probe.probedVideoCodec,   probe.probedFrameSize,
                                probe.probedFrameRate,    probe.probedDisplayRatio,
                                probe.probedAudioCodec,   probe.probedAudioBitrate};
    for (const QString &field : fields)
        require(isOneLine(field), "a field of one cell over several lines", field);

    if (!probe.probedSeconds.isEmpty()) {
        bool ok = false;
        const qint64 seconds = probe.probedSeconds.toLongLong(&ok);
        require(ok && seconds >= 0, "a duration that is not a count of seconds",
                probe.probedSeconds);
        const double exact = probe.probedSecondsExact.toDouble(&ok);
        // Six significant digits: past 99999 s the tenths round away.
        require(ok && std::isfinite(exact) && std::fabs(exact - double(seconds)) <= 1.0,
                "the exact duration disagrees with the whole seconds", probe.probedSecondsExact);
    }
    // The ratio goes into the script's DisplayRatio() as it stands.
    static const QRegularExpression number(QStringLiteral("^(-?[0-9]+\\.[0-9]{3}|-?inf|nan)$"));
    require(probe.probedDisplayRatio.isEmpty() || number.match(probe.probedDisplayRatio).hasMatch(),
            "a display ratio that is not a number", probe.probedDisplayRatio);
}

// Whatever the probe said, the row's first script is one korvex reads.
void checkFirstScript(const ProbeResult &probe) {
    AvsScriptInput input;
    input.pluginPath = QStringLiteral("/opt/quillora/plugins/FFMS2.avsi");
    input.importPath = QStringLiteral("/opt/quillora/plugins/FFMS2.avsi");
    input.headerPath = QStringLiteral("/opt/quillora/HEADER.avs");
    input.sourcePath = QStringLiteral("/media/clip.mp4");
    input.sourceSize = probe.probedFrameSize;
    input.outputSize = probe.probedFrameSize;
    input.channelsText = QStringLiteral("Stereo");
    input.sampleRateText = QStringLiteral("44100");
    input.displayRatio = probe.probedDisplayRatio;
    input.exactDuration = probe.probedSecondsExact;
    QString error;
    const std::optional<QString> text = AvsScript::text(input, &error);
    require(text.has_value(), "the first script cannot be written", error);
    WrapperScript script;
    require(WrapperScript::parse(*text, kScriptFolder, &script, &error),
            "korvex refuses the first script", error + QLatin1Char('\n') + *text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The pipe hands the text over in chunks; the first byte says where the
    // first cut falls.
    const QByteArray bytes = fuzzBytes(data, size);
    const qsizetype cut = bytes.isEmpty() ? 0 : qsizetype(quint8(bytes.at(0))) % bytes.size();
    ProbeParser parser;
    parser.append(bytes.left(cut));
    parser.append(bytes.mid(cut));
    const ProbeResult probe = parser.result();
    checkFields(probe);
    if (probe.isMedia())
        checkFirstScript(probe);
    return 0;
}
