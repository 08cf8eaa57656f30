#pragma once

#include <QString>
#include <QStringList>

// The profile files name codecs the way users know them ("H.264/MPEG-4 AVC",
// "Windows Media Audio V8"); the transcoder wants encoder names. These two
// tables translate, by exact and case-sensitive comparison of the whole text.
namespace CodecTables {

// The elements that follow "-vcodec" for a Vcodec text: the encoder name
// first, then any options that belong with it. Empty for a text the table
// does not hold (the empty text included).
QStringList videoCodecArgs(const QString &codecText);

// The codec whose choice forces the display aspect: choosing it sets the
// aspect of the row being built or edited to kForcedAspectText (item
// kForcedAspectIndex of the aspect choices). Empty for every other codec.
QString forcedAspect(const QString &codecText);
inline const QString kXvidCodecText = QStringLiteral("Xvid");
inline const QString kForcedAspectText = QStringLiteral("4:3");
constexpr int kForcedAspectIndex = 1;

// The encoder name after "-acodec" for an Acodec text; empty when the text
// is not in the table.
QString audioEncoderName(const QString &codecText);

// How the output information shows an audio encoder: "libmp3lame" as "mp3",
// "libfaac" as "AAC", anything else unchanged.
QString audioCodecDisplayName(const QString &encoderName);

// The first element of the H.264 group: the codec slot treats the whole group
// after it as one value.
inline const QString kX264Encoder = QStringLiteral("libx264");

} // namespace CodecTables
