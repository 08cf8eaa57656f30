#pragma once

#include <Qt>
#include <QString>
#include <QStringList>

#include "filelist/sourcestamp.h"
#include "profiles/argumentlist.h"

class QTreeWidgetItem;

// Per-file job data as the file list keeps it: string lists with fixed
// lengths, stored as item data of one top-level row. ArgumentList, the
// transcoder arguments, comes with the rules that build it.
using SettingsIndexList = QStringList; // eleven combo indexes, "-1" = not set
using EffectList = QStringList;        // six strings, see EffectEntry
using MediaInfo = QStringList;         // nineteen strings, see MediaInfoEntry

// One top-level item of the main window's file list is one source file and
// its whole conversion job. There is no separate job object: the columns
// show what the user sees, the item-data roles below hold everything else.
// The same role number means different things in different columns.
namespace FileRow {

enum Column {
    CheckColumn = 0,
    NameColumn = 1,
    StatusColumn = 2,
    SourceDurationColumn = 3,
    OutputDurationColumn = 4,
    SizeColumn = 5,
    OutputFileColumn = 6,
    ColumnCount = 9,
};

// The job's roles are numbered from 32 as the rows have always been laid
// out. Qt 6 moved Qt::UserRole to 256; Qt's own roles end at 31, so 32..51
// stay free for us.
constexpr int kFirstJobRole = 32;

// Column 1 (NameColumn).
enum JobRole {
    ArgumentListRole = kFirstJobRole,      // 32
    SettingsIndexRole = kFirstJobRole + 1, // 33
    OptionItemsRole = kFirstJobRole + 2,   // 34..43, see OptionItems
    EffectListRole = kFirstJobRole + 18,   // 50
    WatermarkRole = kFirstJobRole + 19,    // 51
};

// Column 2 (StatusColumn).
constexpr int StatusWordRole = kFirstJobRole + 1; // 33
// What the cell showed before a run queued the row, for a row the run then
// skips: its text and, when a picture was shown, that picture's status word.
constexpr int PreRunStatusRole = kFirstJobRole + 2; // 34

// Column 3 (SourceDurationColumn): MediaInfo entry k lives at role 33 + k.
constexpr int MediaInfoRole = kFirstJobRole + 1;
// Column 3: the source's SourceStamp when it was probed.
constexpr int SourceStampRole = kFirstJobRole; // 32

// Offsets from OptionItemsRole: the per-row copies of the option combo boxes'
// item texts, in this order.
enum OptionItems {
    VcodecItems = 0,
    VSizeItems,
    VBitrateItems,
    VframeRateItems,
    VaspectItems,
    AcodecItems,
    ASamplerateItems,
    ABitrateItems,
    AChannelsItems,
    ProfileDetailsItems,
    OptionItemsCount,
};

// Positions in the SettingsIndexList.
enum SettingsIndex {
    DeviceIndex = 0,
    ProfileIndex,
    VcodecIndex,
    VSizeIndex,
    VBitrateIndex,
    VframeRateIndex,
    VaspectIndex,
    AcodecIndex,
    ASamplerateIndex,
    ABitrateIndex,
    AChannelsIndex,
    SettingsIndexCount,
};

// Positions in the EffectList.
enum EffectEntry {
    SaturationEntry = 0,
    BrightnessEntry,
    ContrastEntry,
    SourcePathEntry,
    ScriptPathEntry,
    LogoPathEntry,
    EffectEntryCount,
};

// Positions in the MediaInfo. Entries 0..16 feed the media-information dialog.
enum MediaInfoEntry {
    InputFormat = 0,
    InputSize, // "720x576"
    InputVideoCodec,
    InputAudioCodec,
    InputFrameRate, // "25", "29.97"
    InputBitrate,   // kb/s, digits only
    InputFileMB,    // "12.346"
    OutputFormat,   // format label, "AVI"
    OutputSize,
    OutputVideoCodec,
    OutputAudioCodec,
    OutputFrameRate,
    OutputVideoBitrate, // kb/s
    EstimatedMB,        // "12.346"
    DurationSeconds,    // whole seconds
    InputAudioBitrate,
    OutputAudioBitrate, // kb/s
    DisplayRatio,       // "1.778"
    ExactDuration,      // seconds with one decimal, "83.4"
    MediaInfoCount,
    DialogEntryCount = OutputAudioBitrate + 1,
};

// Job status words and the pictures shown over the status column.
inline const QString kStatusReady = QStringLiteral("Ready");
inline const QString kStatusWaiting = QStringLiteral("waiting");
inline const QString kStatusFinished = QStringLiteral("finished");
inline const QString kStatusError = QStringLiteral("error");
inline const QString kStatusStopped = QStringLiteral("stopped");
inline const QString kPictureFinished = QStringLiteral("skins/default/status_finished.png");
inline const QString kPictureError = QStringLiteral("skins/default/status_err.png");
inline const QString kPictureStopped = QStringLiteral("skins/default/status_stoped.png");

// The picture for a job's end: finished, stopped, or else error.
QString statusPicture(const QString &statusWord);

// The neutral Tweak values a row starts with: saturation, brightness, contrast.
inline const QStringList kNeutralEffects = {QStringLiteral("1"), QStringLiteral("0"),
                                            QStringLiteral("1")};

// A SettingsIndexList with every element unset.
SettingsIndexList emptySettingsIndexList();
// A MediaInfo with nineteen empty entries.
MediaInfo emptyMediaInfo();

// The size estimate: MediaInfo entry 13 and the text of the size column.
struct SizeEstimate {
    QString estimatedMB; // fixed notation, three decimals: "12.346"
    QString text;        // "12.3MB", "999.9MB", "0.9GB"
};

// duration in whole seconds, the two bitrates in kb/s; each a text that reads
// as 0 when it is not a number, except an empty duration: a file of unknown
// length gets no estimate (both texts empty), not one of 0 MB.
SizeEstimate estimateSize(const QString &durationSeconds, const QString &videoKbps,
                          const QString &audioKbps);
// The shown text for an estimate in MB ("12.346" gives "12.3MB"); an empty
// string when the text is not a number, so that the column keeps its text.
QString sizeText(const QString &estimatedMB);
// Recomputes entry 13 from entries 14, 12 and 16; returns the column text
// (empty when it should stay as it is).
QString updateSizeEstimate(MediaInfo &info);

// Item-data access. A missing role reads as an empty list; a MediaInfo is
// always read with nineteen entries.
ArgumentList arguments(const QTreeWidgetItem *item);
void setArguments(QTreeWidgetItem *item, const ArgumentList &arguments);
SettingsIndexList settingsIndexes(const QTreeWidgetItem *item);
void setSettingsIndexes(QTreeWidgetItem *item, const SettingsIndexList &indexes);
QStringList optionItems(const QTreeWidgetItem *item, OptionItems which);
void setOptionItems(QTreeWidgetItem *item, OptionItems which, const QStringList &items);
EffectList effects(const QTreeWidgetItem *item);
void setEffects(QTreeWidgetItem *item, const EffectList &effects);
MediaInfo mediaInfo(const QTreeWidgetItem *item);
void setMediaInfo(QTreeWidgetItem *item, const MediaInfo &info);
SourceStamp sourceStamp(const QTreeWidgetItem *item);
void setSourceStamp(QTreeWidgetItem *item, const SourceStamp &stamp);

// The output path in the row's arguments, and its file name in the output
// file column.
void setOutputPath(QTreeWidgetItem *item, const QString &path);

} // namespace FileRow
