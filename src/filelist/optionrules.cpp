#include "optionrules.h"

#include <QRegularExpression>
#include <QSize>

#include "profiles/argumentlist.h"
#include "profiles/codectables.h"
#include "profiles/encoderframesize.h"

namespace OptionRules {

namespace {

using Arguments::Place;

// A row whose audio bitrate is "Auto" is estimated at this rate.
const QString kAutoAudioKbps = QStringLiteral("64");

void pad(RowState &row) {
    while (row.settingsIndexes.size() < FileRow::SettingsIndexCount)
        row.settingsIndexes << QStringLiteral("-1");
    while (row.mediaInfo.size() < FileRow::MediaInfoCount)
        row.mediaInfo << QString();
}

void setIndex(RowState &row, FileRow::SettingsIndex which, int index) {
    pad(row);
    row.settingsIndexes[which] = QString::number(index);
}

SlotEffect estimated(RowState &row, SlotEffect effect) {
    effect.sizeText = FileRow::updateSizeEstimate(row.mediaInfo);
    effect.sizeChanged = !effect.sizeText.isEmpty();
    return effect;
}

} // namespace

QStringList aspectItems() {
    return {Arguments::kDefaultAspectText, QStringLiteral("4:3"), QStringLiteral("16:9")};
}

QString kilobits(const QString &bitrateText) {
    const int unit = bitrateText.indexOf(QLatin1Char('K'));
    return unit >= 0 ? bitrateText.left(unit) : bitrateText;
}

QString framesPerSecond(const QString &frameRateText) {
    const int unit = frameRateText.indexOf(QLatin1String("fps"));
    return unit >= 0 ? frameRateText.left(unit) : frameRateText;
}

SlotEffect chooseVideoCodec(RowState &row, int index, const QString &codecText,
                            const QStringList &aspectItems) {
    SlotEffect effect;
    pad(row);
    if (!CodecTables::forcedAspect(codecText).isEmpty() &&
        aspectItems.size() > CodecTables::kForcedAspectIndex) {
        chooseAspect(row, CodecTables::kForcedAspectIndex,
                     aspectItems.at(CodecTables::kForcedAspectIndex));
        effect.aspectIndex = CodecTables::kForcedAspectIndex;
    }
    setIndex(row, FileRow::VcodecIndex, index);
    // An audio-only list ("-vn") keeps its shape: the codec has nothing to act on.
    if (Arguments::find(row.arguments, Arguments::kNoVideo) >= 0)
        return effect;
    Arguments::replaceVideoCodec(row.arguments, CodecTables::videoCodecArgs(codecText));
    row.mediaInfo[FileRow::OutputVideoCodec] = codecText;
    effect.showOutputInfo = true;
    return effect;
}

SlotEffect chooseVideoSize(RowState &row, int index, const QString &sizeText) {
    setIndex(row, FileRow::VSizeIndex, index);
    const QString source = row.mediaInfo[FileRow::InputSize];
    const bool automatic = sizeText == Arguments::kAutoText;
    const QString value = Arguments::sizeValue(sizeText, source);
    // "Auto" on a list without "-s" already keeps the source size.
    if (!(automatic && Arguments::find(row.arguments, Arguments::kVideoSize) < 0))
        Arguments::setOption(row.arguments, Arguments::kVideoSize, value, Place::AfterOverwrite);
    row.mediaInfo[FileRow::OutputSize] = automatic ? source : sizeText;
    SlotEffect effect;
    effect.showOutputInfo = true;
    return effect;
}

SlotEffect chooseVideoBitrate(RowState &row, int index, const QString &bitrateText) {
    setIndex(row, FileRow::VBitrateIndex, index);
    if (!bitrateText.isEmpty())
        Arguments::setOption(row.arguments, Arguments::kVideoBitrate,
                             Arguments::bitrateValue(bitrateText), Place::AfterOverwrite);
    row.mediaInfo[FileRow::OutputVideoBitrate] = bitrateText == Arguments::kAutoText
                                                     ? row.mediaInfo[FileRow::InputBitrate]
                                                     : kilobits(bitrateText);
    SlotEffect effect;
    effect.showOutputInfo = true;
    return estimated(row, effect);
}

SlotEffect chooseFrameRate(RowState &row, int index, const QString &frameRateText) {
    setIndex(row, FileRow::VframeRateIndex, index);
    const QString rate = frameRateText == Arguments::kAutoText
                             ? row.mediaInfo[FileRow::InputFrameRate]
                             : framesPerSecond(frameRateText);
    Arguments::setOption(row.arguments, Arguments::kFrameRate, Arguments::frameRateValue(rate),
                         Place::AfterOverwrite);
    row.mediaInfo[FileRow::OutputFrameRate] = rate;
    SlotEffect effect;
    effect.showOutputInfo = true;
    return effect;
}

SlotEffect chooseAspect(RowState &row, int index, const QString &aspectText) {
    setIndex(row, FileRow::VaspectIndex, index);
    // "default" takes a set aspect out again, as building the row leaves it out.
    const QString value = index > 0 ? Arguments::aspectValue(aspectText) : QString();
    Arguments::setOption(row.arguments, Arguments::kAspect, value, Place::AfterOverwrite);
    return SlotEffect();
}

SlotEffect chooseAudioCodec(RowState &row, int index, const QString &codecText) {
    setIndex(row, FileRow::AcodecIndex, index);
    const QString encoder = CodecTables::audioEncoderName(codecText);
    const int word = Arguments::find(row.arguments, Arguments::kAudioCodec);
    if (word >= 0 && word + 1 < row.arguments.size() - 1)
        row.arguments[word + 1] = encoder;
    row.mediaInfo[FileRow::OutputAudioCodec] = encoder;
    SlotEffect effect;
    effect.showOutputInfo = true;
    return effect;
}

SlotEffect chooseSampleRate(RowState &row, int index, const QString &sampleRateText) {
    setIndex(row, FileRow::ASamplerateIndex, index);
    Arguments::setOption(row.arguments, Arguments::kSampleRate,
                         Arguments::sampleRateValue(sampleRateText), Place::AfterOverwrite);
    return SlotEffect();
}

SlotEffect chooseAudioBitrate(RowState &row, int index, const QString &bitrateText) {
    setIndex(row, FileRow::ABitrateIndex, index);
    Arguments::setOption(row.arguments, Arguments::kAudioBitrate,
                         Arguments::bitrateValue(bitrateText), Place::AfterAudioCodec);
    row.mediaInfo[FileRow::OutputAudioBitrate] =
        bitrateText == Arguments::kAutoText ? kAutoAudioKbps : kilobits(bitrateText);
    SlotEffect effect;
    effect.showOutputInfo = true;
    return estimated(row, effect);
}

SlotEffect chooseChannels(RowState &row, int index, const QString &channelsText) {
    setIndex(row, FileRow::AChannelsIndex, index);
    Arguments::setOption(row.arguments, Arguments::kChannels,
                         Arguments::channelsValue(channelsText), Place::AfterOverwrite);
    return SlotEffect();
}

QString recordOutput(MediaInfo &info, const OutputTexts &texts) {
    while (info.size() < FileRow::MediaInfoCount)
        info << QString();
    const bool autoRate = texts.vframeRate == Arguments::kAutoText;
    const bool autoSize = texts.vsize == Arguments::kAutoText;
    const bool autoBitrate = texts.vbitrate == Arguments::kAutoText;
    info[FileRow::OutputFormat] = texts.formatLabel;
    info[FileRow::OutputVideoCodec] = texts.vcodec;
    info[FileRow::OutputAudioCodec] = texts.acodec;
    info[FileRow::OutputFrameRate] =
        autoRate ? info[FileRow::InputFrameRate] : framesPerSecond(texts.vframeRate);
    info[FileRow::OutputSize] = autoSize ? info[FileRow::InputSize] : texts.vsize;
    info[FileRow::OutputVideoBitrate] =
        autoBitrate ? info[FileRow::InputBitrate] : kilobits(texts.vbitrate);
    return FileRow::updateSizeEstimate(info);
}

TypedValue typedVideoSize(const QString &typed, const QString &codecText) {
    const QString text = typed.trimmed();
    if (text.compare(Arguments::kAutoText, Qt::CaseInsensitive) == 0)
        return TypedValue{true, Arguments::kAutoText, {}};
    static const QRegularExpression pattern(QStringLiteral(R"(^(\d{1,6})\s*[xX*]\s*(\d{1,6})$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    const int width = match.hasMatch() ? match.captured(1).toInt() : 0;
    const int height = match.hasMatch() ? match.captured(2).toInt() : 0;
    if (width < kMinFrameSide || height < kMinFrameSide || width > kMaxFrameSide ||
        height > kMaxFrameSide) {
        return TypedValue{
            false,
            {},
            QStringLiteral("\"%1\" is not a video size. Type a width and a height "
                           "between %2 and %3 pixels, such as 640x480.")
                .arg(typed, QString::number(kMinFrameSide), QString::number(kMaxFrameSide))};
    }
    // The transcoder's own rule, so that the size shown is the size made.
    const QString encoder = CodecTables::videoCodecArgs(codecText).value(0);
    const QSize made = EncoderFrameSize::legal(encoder, QSize(width, height));
    return TypedValue{true, QStringLiteral("%1x%2").arg(made.width()).arg(made.height()), {}};
}

TypedValue typedVideoBitrate(const QString &typed) {
    const QString text = typed.trimmed();
    if (text.compare(Arguments::kAutoText, Qt::CaseInsensitive) == 0)
        return TypedValue{true, Arguments::kAutoText, {}};
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d{1,7})\s*(?:[kK](?:b/s|bps)?)?$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    const int kilobits = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (kilobits < 1 || kilobits > kMaxKilobits) {
        return TypedValue{false,
                          {},
                          QStringLiteral("\"%1\" is not a bitrate. Type kilobits per second "
                                         "between 1 and %2, such as 1200K.")
                              .arg(typed, QString::number(kMaxKilobits))};
    }
    return TypedValue{true, QStringLiteral("%1K").arg(kilobits), {}};
}

OutputLabels outputLabels(const MediaInfo &info, bool audioOnlyCategory) {
    const auto entry = [&info](int k) { return info.value(k); };
    OutputLabels labels;
    labels.format = entry(FileRow::OutputFormat);
    labels.audioCodec = CodecTables::audioCodecDisplayName(entry(FileRow::OutputAudioCodec));
    if (audioOnlyCategory)
        return labels;
    // A unit without its number says nothing: a value the file does not have
    // is shown empty.
    const auto withUnit = [&entry](int k, const QString &unit) {
        const QString value = entry(k);
        return value.isEmpty() ? QString() : value + unit;
    };
    labels.frameRate = withUnit(FileRow::OutputFrameRate, QStringLiteral("fps"));
    labels.videoCodec = entry(FileRow::OutputVideoCodec);
    labels.videoSize = entry(FileRow::OutputSize);
    labels.videoBitrate = withUnit(FileRow::OutputVideoBitrate, QStringLiteral("kbps"));
    return labels;
}

} // namespace OptionRules
