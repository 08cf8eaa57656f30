#include "rowjobbuilder.h"

#include <QTreeWidgetItem>

#include "conversion/avsscript.h"
#include "profiles/argumentlist.h"
#include "profiles/codectables.h"

namespace {

const QString kNoInputMessage = QStringLiteral("The row has no source file to convert.");

QString indexText(int index) {
    return QString::number(index < 0 ? -1 : index);
}

} // namespace

RowJob RowJobBuilder::build(const RowJobInput &input) {
    RowJob job;
    const QString source = input.newInputPath.isEmpty()
                               ? Arguments::inputPath(input.previousArguments)
                               : input.newInputPath;
    if (source.isEmpty()) {
        job.error = kNoInputMessage;
        return job;
    }
    job.valid = true;

    MediaInfo info = input.mediaInfo;
    while (info.size() < FileRow::MediaInfoCount)
        info << QString();

    // Xvid resets the aspect of the row being built to the source's own,
    // whatever the aspect box shows and whichever row is current.
    int aspectIndex = input.vaspect.current;
    QString aspectText = input.vaspect.currentText();
    const QString vcodecText = input.vcodec.currentText();
    if (!CodecTables::forcedAspect(vcodecText).isEmpty() &&
        input.vaspect.items.size() > CodecTables::kForcedAspectIndex) {
        aspectIndex = CodecTables::kForcedAspectIndex;
        aspectText = input.vaspect.items.at(aspectIndex);
    }

    Arguments::OptionTexts texts;
    texts.vcodec = vcodecText;
    texts.vsize = input.vsize.currentText();
    texts.vbitrate = input.vbitrate.currentText();
    texts.vframeRate = input.vframeRate.currentText();
    texts.vaspect = aspectText;
    texts.acodec = input.acodec.currentText();
    texts.asamplerate = input.asamplerate.currentText();
    texts.abitrate = input.abitrate.currentText();
    texts.achannels = input.achannels.currentText();
    job.arguments = Arguments::carryOver(
        input.previousArguments,
        Arguments::build(texts, source, input.outputPath, info[FileRow::InputSize]));

    job.settingsIndexes = QStringList{
        indexText(input.deviceIndex),
        indexText(input.profileIndex),
        indexText(input.vcodec.current),
        indexText(input.vsize.current),
        indexText(input.vbitrate.current),
        indexText(input.vframeRate.current),
        indexText(aspectIndex),
        indexText(input.acodec.current),
        indexText(input.asamplerate.current),
        indexText(input.abitrate.current),
        indexText(input.achannels.current),
    };

    job.optionItems.resize(FileRow::OptionItemsCount);
    job.optionItems[FileRow::VcodecItems] = input.vcodec.items;
    job.optionItems[FileRow::VSizeItems] = input.vsize.items;
    job.optionItems[FileRow::VBitrateItems] = input.vbitrate.items;
    job.optionItems[FileRow::VframeRateItems] = input.vframeRate.items;
    job.optionItems[FileRow::VaspectItems] = input.vaspect.items;
    job.optionItems[FileRow::AcodecItems] = input.acodec.items;
    job.optionItems[FileRow::ASamplerateItems] = input.asamplerate.items;
    job.optionItems[FileRow::ABitrateItems] = input.abitrate.items;
    job.optionItems[FileRow::AChannelsItems] = input.achannels.items;
    job.optionItems[FileRow::ProfileDetailsItems] = input.profileDetails.items;

    // An edited row keeps its effect values, logo and script through every
    // rebuild.
    if (!input.previousEffects.isEmpty()) {
        job.effects = input.previousEffects;
        return job;
    }
    job.seedsEffects = true;
    const int number = input.scriptNumber;
    job.scriptPath = AvsScript::scriptPath(input.scriptFolder, number);
    const QString inputOfList = Arguments::inputPath(job.arguments);
    job.effects = FileRow::kNeutralEffects;
    job.effects << inputOfList << job.scriptPath << AvsScript::logoPath(input.scriptFolder, number);

    AvsScriptInput script;
    script.pluginPath = input.avsPluginPath;
    script.importPath = input.avsImportPath;
    script.headerPath = input.avsHeaderPath;
    script.sourcePath = inputOfList;
    script.sourceSize = info[FileRow::InputSize];
    script.outputSize = Arguments::value(job.arguments, Arguments::kVideoSize);
    script.channelsText = texts.achannels;
    script.sampleRateText = texts.asamplerate;
    script.displayRatio = info[FileRow::DisplayRatio];
    script.exactDuration = info[FileRow::ExactDuration];
    job.scriptText = AvsScript::text(script, &job.error).value_or(QString());
    return job;
}

bool RowJobBuilder::writeScript(const RowJob &job, QString *error) {
    if (!job.seedsEffects || job.scriptText.isEmpty())
        return true;
    return AvsScript::write(job.scriptPath, job.scriptText, error);
}

RowJob RowJobBuilder::buildAndWrite(const RowJobInput &input) {
    RowJob job = build(input);
    if (job.valid && job.error.isEmpty())
        writeScript(job, &job.error);
    return job;
}

void RowJobBuilder::store(QTreeWidgetItem *item, const RowJob &job) {
    if (!item || !job.valid)
        return;
    FileRow::setArguments(item, job.arguments);
    FileRow::setSettingsIndexes(item, job.settingsIndexes);
    for (int i = 0; i < FileRow::OptionItemsCount && i < job.optionItems.size(); ++i)
        FileRow::setOptionItems(item, FileRow::OptionItems(i), job.optionItems.at(i));
    if (job.seedsEffects)
        FileRow::setEffects(item, job.effects);
}
