// The main window's reading of the editor's answer and the script it writes
// from it: whatever the answer holds, what reaches korvex is something korvex
// takes (or the row is left alone with a message).

#include <QDir>

#include "conversion/editoranswer.h"
#include "conversion/jobpreparation.h"
#include "filelist/tooltext.h"
#include "fuzzcheck.h"
#include "jobrequest.h"
#include "wrapperscript.h"

namespace {

const QString kScriptFolder = QStringLiteral("/home/user/.local/share/Quillora/tmp");
const QString kSource = QStringLiteral("/media/my clip.mp4");

EditorRow row() {
    EditorRow row;
    row.arguments = QStringList{"-i",
                                kSource,
                                "-y",
                                "-s",
                                "320x240",
                                "-b",
                                "768K",
                                "-r",
                                "25",
                                "-vcodec",
                                "libx264",
                                "-fpre",
                                "/opt/quillora/x264/libx264-veryfast.ffpreset",
                                "-acodec",
                                "aac",
                                "-ar",
                                "44100",
                                "-ab",
                                "128k",
                                "-ac",
                                "2",
                                "/out/my clip.mp4"};
    row.effects = QStringList{"1",
                              "0",
                              "1",
                              kSource,
                              kScriptFolder + QStringLiteral("/avsifile0.avs"),
                              kScriptFolder + QStringLiteral("/avsifile0.png")};
    row.sourceSize = QStringLiteral("320x240");
    row.displayRatio = QStringLiteral("1.333");
    row.trimDuration = QStringLiteral("12");
    row.sourceDurationText = QStringLiteral("00:00:12");
    row.pluginPath = QStringLiteral("/opt/quillora/plugins/FFMS2.avsi");
    row.importPath = QStringLiteral("/opt/quillora/plugins/FFMS2.avsi");
    row.headerPath = QStringLiteral("/opt/quillora/HEADER.avs");
    row.channels = QStringLiteral("2");
    row.sampleRate = QStringLiteral("44100");
    return row;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::optional<EditorAnswer> answer =
        EditorAnswer::parse(decodeToolText(fuzzBytes(data, size)));
    if (!answer)
        return 0;
    for (const QString &value :
         {answer->start, answer->length, answer->cropLeft, answer->cropTop, answer->cropRight,
          answer->cropBottom, answer->saturation, answer->brightness, answer->contrast})
        require(!value.isEmpty(), "an accepted answer with an empty value");
    require(!answer->hasWatermark || (answer->watermark.startsWith(QLatin1String("-watermark")) &&
                                      !answer->watermark.contains(QLatin1Char('"'))),
            "a logo tail that is not one", answer->watermark);

    const EditorRow before = row();
    const EditorEdit edit = applyEditorAnswer(*answer, before);
    if (!edit.problem.isEmpty())
        return 0;
    require(edit.scriptPath == before.effects.at(4), "the script goes elsewhere", edit.scriptPath);
    require(edit.effects.mid(3) == before.effects.mid(3), "the paths of the effect list changed");

    WrapperScript script;
    QString error;
    require(WrapperScript::parse(edit.scriptText, kScriptFolder, &script, &error),
            "korvex refuses the edited script", error + QLatin1Char('\n') + edit.scriptText);
    require(script.sourcePath == QDir::cleanPath(kSource), "the script reads another source",
            script.sourcePath);
    require(script.logoPath.isEmpty() != answer->hasWatermark, "the logo line disagrees");

    const JobPreparation::LaunchPlan plan =
        JobPreparation::prepare(edit.arguments, edit.effects, before.displayRatio);
    if (!plan.problem.isEmpty())
        return 0;
    JobRequest request;
    require(JobRequest::parse(plan.arguments, &request, &error), "korvex refuses the edited job",
            error + QLatin1Char('\n') + plan.arguments.join(' '));
    require(request.output == QStringLiteral("/out/my clip.mp4"), "the job writes elsewhere",
            request.output);
    return 0;
}
