#include "editoranswer.h"

#include <array>
#include <cmath>

#include "conversion/avsscript.h"
#include "conversion/editedscript.h"
#include "conversion/timetext.h"
#include "filelist/effectscale.h"
#include "profiles/argumentlist.h"

namespace {

const QString kWatermark = QStringLiteral("-watermark");

// The answer's keys in the order the tool writes them.
enum Key {
    Start,
    Length,
    CropLeft,
    CropTop,
    CropRight,
    CropBottom,
    Saturation,
    Brightness,
    Contrast,
    Drop,
    KeyCount,
};
const std::array<QString, KeyCount> kKeys = {
    QStringLiteral("-ss"),         QStringLiteral("-t"),          QStringLiteral("-cropleft"),
    QStringLiteral("-croptop"),    QStringLiteral("-cropright"),  QStringLiteral("-cropbottom"),
    QStringLiteral("-saturation"), QStringLiteral("-brightness"), QStringLiteral("-contrast"),
    QStringLiteral("-drop")};

constexpr int kEffectEntries = 6;
constexpr int kScriptEntry = 4;
const QStringList kNeutralEffects = {QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1")};

// Replaces the value after word, or puts the pair in at `at`.
void setPair(QStringList &list, const QString &word, const QString &value, qsizetype at) {
    const qsizetype found = list.indexOf(word);
    if (found >= 0) {
        if (found + 1 < list.size())
            list[found + 1] = value;
        else
            list.append(value);
        return;
    }
    at = qBound<qsizetype>(0, at, list.size());
    list.insert(at, word);
    list.insert(at + 1, value);
}

// Far beyond any picture's pixels or file's seconds, and small enough that
// the script's frame numbers and crop sums stay within the 32-bit integers
// that AviSynth and korvex read.
constexpr int kMaxCount = 10000000;

bool isCount(const QString &value) {
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok && number >= 0 && number <= kMaxCount;
}

bool isFiniteNumber(const QString &value) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && std::isfinite(number);
}

// Why the answer's values cannot go into the row's job: the script and the
// transcoder read trim and crop as whole numbers and the effects as numbers,
// and a trim that starts past the end of the file leaves nothing to convert.
QString valueProblem(const EditorAnswer &answer, const EditorRow &row) {
    for (const QString *count : {&answer.start, &answer.length, &answer.cropLeft, &answer.cropTop,
                                 &answer.cropRight, &answer.cropBottom}) {
        if (!isCount(*count))
            return QStringLiteral("The editor answered a trim or crop of \"%1\", which is not a "
                                  "whole number of seconds or pixels.")
                .arg(*count);
    }
    for (const QString *effect : {&answer.saturation, &answer.brightness, &answer.contrast}) {
        if (!isFiniteNumber(*effect))
            return QStringLiteral("The editor answered an effect of \"%1\", which is not a "
                                  "number.")
                .arg(*effect);
    }
    // The script keeps the frames up to the file's end, then the trim's.
    const qint64 fileFrames = AvsScript::frameCount(row.trimDuration);
    if (fileFrames > 0 && AvsScript::kFrameRate * qint64(answer.start.toInt()) > fileFrames)
        return QStringLiteral("The trim starts after the end of the file.");
    return QString();
}

} // namespace

std::optional<EditorAnswer> EditorAnswer::parse(const QString &text) {
    // The answer may also start right at "-ss".
    const qsizetype begin = text.indexOf(kKeys[Start]);
    if (begin < 0)
        return std::nullopt;

    EditorAnswer answer;
    answer.logText = text.mid(begin);
    const QString normalized = answer.logText.simplified();

    // Each value lies between "key " and " nextkey": all ten keys must stand
    // in their order, or the values would be cut from the wrong places.
    std::array<qsizetype, KeyCount> at{};
    for (int key = 0; key < KeyCount; ++key) {
        at[key] = normalized.indexOf(kKeys[key]);
        if (at[key] < 0 || (key > 0 && at[key] <= at[key - 1]))
            return std::nullopt;
    }
    std::array<QString, KeyCount> values;
    for (int key = 0; key < Drop; ++key) {
        const qsizetype from = at[key] + kKeys[key].size() + 1;
        const qsizetype length = at[key + 1] - from - 1;
        values[key] = length > 0 ? normalized.mid(from, length) : QString();
        if (values[key].isEmpty())
            return std::nullopt;
    }

    answer.start = values[Start];
    answer.length = values[Length];
    answer.cropLeft = values[CropLeft];
    answer.cropTop = values[CropTop];
    answer.cropRight = values[CropRight];
    answer.cropBottom = values[CropBottom];
    answer.saturation = values[Saturation];
    answer.brightness = values[Brightness];
    answer.contrast = values[Contrast];

    const qsizetype logo = normalized.indexOf(kWatermark);
    if (logo >= 0) {
        answer.hasWatermark = true;
        answer.watermark = normalized.mid(logo).remove(QLatin1Char('"'));
    }
    return answer;
}

QStringList withEditorArguments(QStringList arguments, const EditorAnswer &answer) {
    const std::array<std::pair<Key, const QString *>, 4> crops = {
        std::pair{CropLeft, &answer.cropLeft}, std::pair{CropTop, &answer.cropTop},
        std::pair{CropRight, &answer.cropRight}, std::pair{CropBottom, &answer.cropBottom}};
    for (const auto &[key, value] : crops) {
        // In front of "-y"; a list without it keeps its output path last.
        qsizetype at = arguments.indexOf(Arguments::kOverwrite);
        if (at < 0)
            at = arguments.isEmpty() ? 0 : arguments.size() - 1;
        setPair(arguments, kKeys[key], *value, at);
    }

    const qsizetype input = arguments.indexOf(Arguments::kInput);
    setPair(arguments, Arguments::kTrimStart, answer.start, input < 0 ? 0 : input);
    // The trim pairs stay together: "-t" right after the "-ss" pair.
    setPair(arguments, Arguments::kTrimLength, answer.length,
            arguments.indexOf(Arguments::kTrimStart) + 2);
    return arguments;
}

QStringList withEditorEffects(QStringList effects, const EditorAnswer &answer) {
    while (effects.size() < kNeutralEffects.size())
        effects.append(kNeutralEffects.at(effects.size()));
    effects[0] = EffectScale::percentToGain(answer.saturation);
    effects[1] = EffectScale::percentToLevel(answer.brightness);
    effects[2] = EffectScale::percentToGain(answer.contrast);
    return effects;
}

EditorEdit applyEditorAnswer(const EditorAnswer &answer, const EditorRow &row) {
    EditorEdit edit;
    if (row.effects.size() < kEffectEntries || row.effects.at(kScriptEntry).isEmpty()) {
        edit.problem = QStringLiteral("The file has no edit script to write the changes into.");
        return edit;
    }
    edit.problem = valueProblem(answer, row);
    if (!edit.problem.isEmpty())
        return edit;

    edit.arguments = withEditorArguments(row.arguments, answer);
    edit.effects = withEditorEffects(row.effects, answer);
    // A length of 0 keeps the whole file (the script's Trim(0, 0) runs to
    // the end), so the output lasts as long as the source.
    const int length = answer.length.toInt();
    edit.outputDurationText = length > 0 ? formatDuration(length) : row.sourceDurationText;
    edit.hasWatermark = answer.hasWatermark;
    edit.watermark = answer.watermark;
    edit.scriptPath = edit.effects.at(kScriptEntry);

    EditorRow edited = row;
    edited.arguments = edit.arguments;
    edited.effects = edit.effects;
    const EditedScriptInput script = editedScriptInput(edited, answer.hasWatermark);
    QString error;
    const std::optional<QString> text = EditedScript::build(script, &error);
    if (!text) {
        edit.problem = error;
        return edit;
    }
    edit.scriptText = *text;
    return edit;
}

EditedScriptInput editedScriptInput(const EditorRow &row, bool withLogo) {
    EditedScriptInput script;
    script.pluginPath = row.pluginPath;
    script.importPath = row.importPath;
    script.headerPath = row.headerPath;
    script.sourceSize = row.sourceSize;
    script.channels = row.channels;
    script.sampleRate = row.sampleRate;
    script.displayRatio = row.displayRatio;
    script.trimDuration = row.trimDuration;
    script.arguments = row.arguments;
    script.effects = row.effects;
    script.withLogo = withLogo;
    return script;
}
