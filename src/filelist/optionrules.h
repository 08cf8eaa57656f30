#pragma once

#include <QString>
#include <QStringList>

#include "filelist/filerow.h"

// What the option slots of the main window (and the per-file settings apply
// step, which calls the same slots) do to one row, as plain data. A slot
// reads the row's lists, calls one of these with the combo box's index and
// current text, writes the lists back and does what the returned SlotEffect
// asks of the widgets.
namespace OptionRules {

// The parts of a row that the slots edit.
struct RowState {
    ArgumentList arguments;
    SettingsIndexList settingsIndexes; // padded to eleven entries
    MediaInfo mediaInfo;               // padded to nineteen entries
};

struct SlotEffect {
    bool showOutputInfo = false; // refresh the output information labels
    bool sizeChanged = false;    // sizeText is the new size-column text
    QString sizeText;            // empty: the column keeps its text
    int aspectIndex = -1;        // >= 0: show this Vaspect entry (the Xvid rule)
};

// The aspect choices of every category but "General Audio".
QStringList aspectItems();

// Video codec. "Xvid" first sets the aspect to aspectItems[1] (when the
// aspect box holds that entry), then the codec group replaces the old one.
SlotEffect chooseVideoCodec(RowState &row, int index, const QString &codecText,
                            const QStringList &aspectItems);
SlotEffect chooseVideoSize(RowState &row, int index, const QString &sizeText);
SlotEffect chooseVideoBitrate(RowState &row, int index, const QString &bitrateText);
SlotEffect chooseFrameRate(RowState &row, int index, const QString &frameRateText);
SlotEffect chooseAspect(RowState &row, int index, const QString &aspectText);

SlotEffect chooseAudioCodec(RowState &row, int index, const QString &codecText);
SlotEffect chooseSampleRate(RowState &row, int index, const QString &sampleRateText);
SlotEffect chooseAudioBitrate(RowState &row, int index, const QString &bitrateText);
SlotEffect chooseChannels(RowState &row, int index, const QString &channelsText);

// The current texts of the combo boxes that a profile or category choice
// records in the row's output entries.
struct OutputTexts {
    QString formatLabel;
    QString vcodec;
    QString acodec;
    QString vframeRate;
    QString vsize;
    QString vbitrate;
};

// MediaInfo entries 7 to 13 after a profile or device category choice;
// returns the new size-column text (empty: keep the old one).
QString recordOutput(MediaInfo &info, const OutputTexts &texts);

// The text of a bitrate up to its first "K", a frame rate up to its first
// "fps": how the output entries store them.
QString kilobits(const QString &bitrateText);
QString framesPerSecond(const QString &frameRateText);

// What a value typed into an editable option box becomes.
struct TypedValue {
    bool accepted = false;
    QString text;    // the value to take, written the way the lists write it
    QString message; // why the text was refused
};

// A frame size typed as width "x" height: refused unless both lie between
// kMinFrameSide and kMaxFrameSide; otherwise the size that the codec's
// encoder makes of it (even sides for most), which is what the output gets.
// "Auto" stays "Auto".
TypedValue typedVideoSize(const QString &typed, const QString &codecText);
// A bitrate in kilobits per second, with or without its "K": refused unless
// it lies between 1 and kMaxKilobits; written as the lists write it ("1200K").
TypedValue typedVideoBitrate(const QString &typed);
constexpr int kMinFrameSide = 2;
constexpr int kMaxFrameSide = 8192;
constexpr int kMaxKilobits = 100000;

// The six output information labels for a row.
struct OutputLabels {
    QString format;
    QString audioCodec;
    QString frameRate;
    QString videoCodec;
    QString videoSize;
    QString videoBitrate;
};
OutputLabels outputLabels(const MediaInfo &info, bool audioOnlyCategory);

} // namespace OptionRules
