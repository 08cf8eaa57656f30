#pragma once

#include <QString>
#include <QStringList>

#include "profiles/argumentlist.h"

// The profile files name codecs the way users know them ("H.264/MPEG-4 AVC",
// "Windows Media Audio V8"); the transcoder wants encoder names. These two
// tables translate, by exact and case-sensitive comparison of the whole text.
namespace CodecTables {

// The elements that follow "-vcodec" for a Vcodec text: the encoder name
// first, then any options that belong with it. Empty for a text the table
// does not hold (the empty text included).
QStringList videoCodecArgs(const QString &codecText);

// The codec whose choice resets the display aspect: choosing it sets the
// aspect of the row being built or edited to kForcedAspectText (item
// kForcedAspectIndex of the aspect choices), which writes no "-aspect" pair.
// Empty for every other codec. The job itself gives an Xvid job without an
// aspect of its own the source's display ratio, so a 16:9 source stays 16:9,
// and an "-aspect" pair in a stored list is always the user's own choice.
QString forcedAspect(const QString &codecText);
inline const QString kXvidCodecText = QStringLiteral("Xvid");
inline const QString kForcedAspectText = Arguments::kDefaultAspectText;
constexpr int kForcedAspectIndex = 0;

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
