#include "editedscript.h"

#include <QFileInfo>

#include "conversion/avsscript.h"
#include "conversion/avsscriptbody.h"
#include "conversion/scriptfile.h"
#include "conversion/scriptlines.h"
#include "conversion/scriptpicture.h"
#include "platform/filecalls.h"
#include "profiles/argumentlist.h"

namespace {

// The EffectList's entries the script names.
constexpr int kSourceEntry = 3;
constexpr int kLogoEntry = 5;

int integerAfter(const QStringList &list, const QString &word) {
    return Arguments::value(list, word).toInt(); // not a whole number: 0
}

// The crop of the body, by the rule the editor shows its picture by.
void setCrop(AvsScriptBody &body, const QStringList &arguments) {
    // The crop words come left, top, right, bottom.
    const QRect kept = ScriptPicture::kept(QSize(body.width, body.height),
                                           integerAfter(arguments, Arguments::kCropWords.at(0)),
                                           integerAfter(arguments, Arguments::kCropWords.at(1)),
                                           integerAfter(arguments, Arguments::kCropWords.at(2)),
                                           integerAfter(arguments, Arguments::kCropWords.at(3)));
    body.cropLeft = kept.x();
    body.cropTop = kept.y();
    body.cropWidth = kept.width();
    body.cropHeight = kept.height();
}

} // namespace

namespace EditedScript {

std::optional<QString> build(const EditedScriptInput &input, QString *error) {
    const QString source = input.effects.value(kSourceEntry);
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
        logo = AvsScript::quoted(input.effects.value(kLogoEntry), error);
        if (!logo)
            return std::nullopt;
    }

    AvsScriptBody body;
    body.plugin = *plugin;
    body.import = *import;
    body.header = *header;
    body.source = *quotedSource;
    body.directShow = AvsScriptBody::readsThroughDirectShow(source);
    const qsizetype x = input.sourceSize.indexOf(QLatin1Char('x'));
    body.width = AvsScript::sizePart(input.sourceSize.left(x));
    body.height = AvsScript::sizePart(input.sourceSize.mid(x + 1));
    body.channels = input.channels;
    body.sampleRate = input.sampleRate;
    body.displayRatio = input.displayRatio;
    setCrop(body, input.arguments);
    body.tweak = QStringLiteral("0.0,%1,%2,%3")
                     .arg(input.effects.value(0), input.effects.value(1), input.effects.value(2));
    body.trimFrames = AvsScript::frameCount(input.trimDuration);

    QStringList lines = body.lines();
    if (input.withLogo)
        lines << ScriptLines::write(ScriptLines::Line::Logo, {*logo});
    const qint64 start = integerAfter(input.arguments, Arguments::kTrimStart);
    const qint64 length = integerAfter(input.arguments, Arguments::kTrimLength);
    lines << ScriptLines::write(ScriptLines::Line::LastTrim,
                                {QString::number(AvsScript::kFrameRate * start),
                                 QString::number(AvsScript::kFrameRate * (start + length))})
          << ScriptLines::write(ScriptLines::Line::Return);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool write(const QString &path, const QString &text, QString *error) {
    return ScriptFile::replace(path, text, error);
}

QString restore(EditedScriptInput input, const QString &path, bool sourceChanged) {
    if (!sourceChanged && FileCalls::look(path).exists)
        return QString();
    input.withLogo = input.withLogo && FileCalls::look(input.effects.value(kLogoEntry)).size > 0;
    QString problem;
    const std::optional<QString> text = build(input, &problem);
    if (text && FileCalls::makePath(QFileInfo(path).absolutePath()) && write(path, *text, &problem))
        return QString();
    return QStringLiteral("The file's edit script %1 is missing and could not be written again: %2")
        .arg(path, problem);
}

} // namespace EditedScript
