#pragma once

#include <QString>
#include <QStringList>

// A row's transcoder arguments, without the program name.
using ArgumentList = QStringList;

// The rules by which a row's transcoder argument list is built, read and
// edited in place. Layout of a built list:
//   ["-ss" start "-t" length] "-i" input [crop pairs] "-y"
//   ["-s" size] ["-b" rate] ["-r" fps] ["-aspect" ratio]
//   ("-vcodec" group... | "-vn" | nothing)
//   "-acodec" encoder ["-ar" rate] ["-ab" rate] ["-ac" count] output
// Options are pairs of a word and one value, found by the first element equal
// to the word; "-y" and "-vn" stand alone and "-vcodec" is followed by a whole
// codec group. The output path is always the last element.
//
// Values the transcoder cannot take never enter a list: "Auto", "default",
// empty and malformed texts leave their pair out (an existing pair is
// removed), so the transcoder keeps the source's value or its own default.
// The one exception is the "-acodec" pair, which stays even with an empty
// encoder name because the audio options and the codec group are placed
// relative to it; the transcoder drops an empty value after "-acodec".
namespace Arguments {

inline const QString kInput = QStringLiteral("-i");
inline const QString kOverwrite = QStringLiteral("-y");
inline const QString kTrimStart = QStringLiteral("-ss");
inline const QString kTrimLength = QStringLiteral("-t");
inline const QString kVideoSize = QStringLiteral("-s");
inline const QString kVideoBitrate = QStringLiteral("-b");
inline const QString kFrameRate = QStringLiteral("-r");
inline const QString kAspect = QStringLiteral("-aspect");
inline const QString kNoVideo = QStringLiteral("-vn");
inline const QString kVideoCodec = QStringLiteral("-vcodec");
inline const QString kAudioCodec = QStringLiteral("-acodec");
inline const QString kSampleRate = QStringLiteral("-ar");
inline const QString kAudioBitrate = QStringLiteral("-ab");
inline const QString kChannels = QStringLiteral("-ac");
// In the order the editor writes them and rows keep them.
inline const QStringList kCropWords = {QStringLiteral("-cropleft"), QStringLiteral("-croptop"),
                                       QStringLiteral("-cropright"), QStringLiteral("-cropbottom")};

// The combo texts that stand for "keep the source's value".
inline const QString kAutoText = QStringLiteral("Auto");
inline const QString kDefaultAspectText = QStringLiteral("default");

// Index of the first element equal to word; -1 when there is none.
int find(const ArgumentList &list, const QString &word);
// The element after word; empty when word is missing or last.
QString value(const ArgumentList &list, const QString &word);
QString inputPath(const ArgumentList &list);
QString outputPath(const ArgumentList &list);
void setOutputPath(ArgumentList &list, const QString &path);

// Where a missing pair goes.
enum class Place {
    AfterOverwrite,  // directly after the first "-y"
    AfterAudioCodec, // directly after the "-acodec" pair
    BeforeOverwrite, // directly in front of "-y" (crop pairs)
    Nowhere,         // only replaced, never inserted
};

// Replaces the value after word in place, or inserts the pair at place. An
// empty value removes the pair instead. Returns whether the list changed.
bool setOption(ArgumentList &list, const QString &word, const QString &value, Place place);
// Removes word and the element after it. Returns whether it was there.
bool removeOption(ArgumentList &list, const QString &word);

// Replaces the codec after "-vcodec" by the codec slot's rule: a libx264 value
// takes its whole group (up to "-acodec") with it; a new libx264 group goes in
// whole, any other group only with its encoder name. An empty group (a codec
// text no table holds) removes the pair, as building leaves it out. A list
// without "-vcodec" gets the whole group in front of "-acodec", unless it is
// an audio-only list ("-vn"), which stays as it is. Returns whether the list
// changed.
bool replaceVideoCodec(ArgumentList &list, const QStringList &group);

// Trimming: "-ss" start "-t" length in front of "-i".
bool isTrimmed(const ArgumentList &list);
void setTrim(ArgumentList &list, const QString &start, const QString &length);

// Puts the trim pairs and crop pairs of a row's previous list into its newly
// built list: the trim pairs in front, each crop pair in front of "-y".
ArgumentList carryOver(const ArgumentList &previous, ArgumentList fresh);

// Transcoder-ready values of the option combo texts; an empty result means
// "leave the pair out".
QString sizeValue(const QString &sizeText, const QString &sourceSize); // "Auto": the source size
QString bitrateValue(const QString &bitrateText);                      // "768K", "128k", "1M"
QString frameRateValue(const QString &frameRateText);                  // "25fps" gives "25"
QString aspectValue(const QString &aspectText);                        // "4:3", "1.778"
QString sampleRateValue(const QString &sampleRateText);                // "44100"
QString channelsValue(const QString &channelsText); // "Mono" "Stereo" "5.1": 1 2 6

// The current texts of the option combo boxes.
struct OptionTexts {
    QString vcodec;
    QString vsize;
    QString vbitrate;
    QString vframeRate;
    QString vaspect;
    QString acodec;
    QString asamplerate;
    QString abitrate;
    QString achannels;
};

// A new list from the option texts (without carrying anything over).
ArgumentList build(const OptionTexts &options, const QString &input, const QString &output,
                   const QString &sourceSize);

} // namespace Arguments
