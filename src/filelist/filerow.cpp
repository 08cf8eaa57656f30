#include "filerow.h"

#include <cmath>

#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QVariant>

#include "filelist/takenpaths.h"
#include "profiles/argumentlist.h"

namespace FileRow {

namespace {

constexpr double kKilobitsPerMegabyte = 8192.0; // kb/s × s ÷ 8192 = MB of 1048576 bytes
constexpr double kMegabytesPerGigabyte = 1024.0;
constexpr double kShowAsGigabytes = 1000.0;
// Estimates are cut to one decimal; the guard keeps 8.2 × 10 from landing on
// 81.999... and losing a tenth to binary rounding.
constexpr double kRoundingGuard = 1e-7;

double numberOrZero(const QString &text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

double truncatedToTenths(double value) {
    return std::trunc(value * 10.0 + std::copysign(kRoundingGuard, value)) / 10.0;
}

} // namespace

QString statusPicture(const QString &statusWord) {
    if (statusWord == kStatusFinished)
        return kPictureFinished;
    if (statusWord == kStatusStopped)
        return kPictureStopped;
    return kPictureError;
}

SettingsIndexList emptySettingsIndexList() {
    SettingsIndexList list;
    for (int i = 0; i < SettingsIndexCount; ++i)
        list << QStringLiteral("-1");
    return list;
}

MediaInfo emptyMediaInfo() {
    MediaInfo info;
    for (int i = 0; i < MediaInfoCount; ++i)
        info << QString();
    return info;
}

QString sizeText(const QString &estimatedMB) {
    bool ok = false;
    const double mb = estimatedMB.toDouble(&ok);
    if (!ok || !std::isfinite(mb))
        return QString();
    const double shown = truncatedToTenths(mb);
    if (shown < kShowAsGigabytes)
        return QString::number(shown, 'g', 6) + QStringLiteral("MB");
    return QString::number(truncatedToTenths(shown / kMegabytesPerGigabyte), 'g', 6) +
           QStringLiteral("GB");
}

SizeEstimate estimateSize(const QString &durationSeconds, const QString &videoKbps,
                          const QString &audioKbps) {
    if (durationSeconds.trimmed().isEmpty())
        return SizeEstimate();
    const double mb = numberOrZero(durationSeconds) *
                      (numberOrZero(videoKbps) + numberOrZero(audioKbps)) / kKilobitsPerMegabyte;
    SizeEstimate estimate;
    estimate.estimatedMB = QString::number(mb, 'f', 3);
    estimate.text = sizeText(estimate.estimatedMB);
    return estimate;
}

QString updateSizeEstimate(MediaInfo &info) {
    while (info.size() < MediaInfoCount)
        info << QString();
    const SizeEstimate estimate =
        estimateSize(info[DurationSeconds], info[OutputVideoBitrate], info[OutputAudioBitrate]);
    info[EstimatedMB] = estimate.estimatedMB;
    return estimate.text;
}

ArgumentList arguments(const QTreeWidgetItem *item) {
    return item ? item->data(NameColumn, ArgumentListRole).toStringList() : ArgumentList();
}

void setArguments(QTreeWidgetItem *item, const ArgumentList &arguments) {
    if (item)
        item->setData(NameColumn, ArgumentListRole, arguments);
}

SettingsIndexList settingsIndexes(const QTreeWidgetItem *item) {
    return item ? item->data(NameColumn, SettingsIndexRole).toStringList() : SettingsIndexList();
}

void setSettingsIndexes(QTreeWidgetItem *item, const SettingsIndexList &indexes) {
    if (item)
        item->setData(NameColumn, SettingsIndexRole, indexes);
}

QStringList optionItems(const QTreeWidgetItem *item, OptionItems which) {
    return item ? item->data(NameColumn, OptionItemsRole + which).toStringList() : QStringList();
}

void setOptionItems(QTreeWidgetItem *item, OptionItems which, const QStringList &items) {
    if (item)
        item->setData(NameColumn, OptionItemsRole + which, items);
}

EffectList effects(const QTreeWidgetItem *item) {
    return item ? item->data(NameColumn, EffectListRole).toStringList() : EffectList();
}

void setEffects(QTreeWidgetItem *item, const EffectList &effects) {
    if (item)
        item->setData(NameColumn, EffectListRole, effects);
}

MediaInfo mediaInfo(const QTreeWidgetItem *item) {
    MediaInfo info = emptyMediaInfo();
    if (!item)
        return info;
    for (int k = 0; k < MediaInfoCount; ++k)
        info[k] = item->data(SourceDurationColumn, MediaInfoRole + k).toString();
    return info;
}

void setMediaInfo(QTreeWidgetItem *item, const MediaInfo &info) {
    if (!item)
        return;
    for (int k = 0; k < MediaInfoCount && k < info.size(); ++k)
        item->setData(SourceDurationColumn, MediaInfoRole + k, info[k]);
}

void setOutputPath(QTreeWidgetItem *item, const QString &path) {
    ArgumentList list = arguments(item);
    if (list.isEmpty() || Arguments::outputPath(list) == path)
        return;
    Arguments::setOutputPath(list, path);
    setArguments(item, list);
    item->setText(OutputFileColumn, path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

SourceStamp sourceStamp(const QTreeWidgetItem *item) {
    const QVariantList pair = item->data(SourceDurationColumn, SourceStampRole).toList();
    SourceStamp stamp;
    if (pair.size() == 2) {
        stamp.size = pair.at(0).toLongLong();
        stamp.modifiedMs = pair.at(1).toLongLong();
    }
    return stamp;
}

void setSourceStamp(QTreeWidgetItem *item, const SourceStamp &stamp) {
    item->setData(SourceDurationColumn, SourceStampRole,
                  QVariantList{stamp.size, stamp.modifiedMs});
}

} // namespace FileRow
