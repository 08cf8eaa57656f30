#include "fielddetector.h"

#include <algorithm>
#include <cmath>

#include <QSet>

#include "fieldcounter.h"

namespace {

constexpr int kSampleFrames = 120;
// Fewer woven frames than this, or than one in kWovenShareOf of those judged,
// are idet's odd mistakes, or motion too slight to show the fields apart.
constexpr int kMinWovenFrames = 4;
constexpr int kWovenShareOf = 20;
// Woven frames hold one field order; this many times the other at least.
constexpr int kOrderDominance = 4;
// The lines of one PAL field: a picture no taller was taken from one field
// or scaled down, which leaves no two fields to tell apart.
constexpr int kFieldLines = 288;

// Codecs that have no way to code fields and whose sources are whole frames:
// web and phone video, and pictures made as stills or animations.
bool codedWhole(const QString &codec) {
    static const QSet<QString> whole = {
        "av1",  "vp8",  "vp9",  "theora", "vp6",        "vp6f", "vp6a", "flv1",
        "h263", "rv10", "rv20", "rv30",   "rv40",       "svq1", "svq3", "cinepak",
        "gif",  "apng", "png",  "webp",   "mpeg1video", "bmp",  "tiff", "jpegxl",
    };
    return whole.contains(codec);
}

} // namespace

SourceFacts::Weave FieldDetector::judge(const Counts &counts) {
    const int woven = std::max(counts.topFirst, counts.bottomFirst);
    const int other = std::min(counts.topFirst, counts.bottomFirst);
    const int judged = counts.topFirst + counts.bottomFirst + counts.progressive;
    if (woven < kMinWovenFrames || woven * kWovenShareOf < judged ||
        other * kOrderDominance > woven)
        return SourceFacts::Weave::None;
    return counts.topFirst >= counts.bottomFirst ? SourceFacts::Weave::TopFirst
                                                 : SourceFacts::Weave::BottomFirst;
}

int FieldDetector::sampleFrames(const SourceFacts &facts, const FfmpegCommand &job) {
    // A stream that says it is interlaced is looked at all the same: whole
    // frames are often coded so, and deinterlacing them would soften them.
    const bool whole =
        (facts.height > 0 && facts.height <= kFieldLines) || codedWhole(facts.videoCodec);
    if (!job.writesVideo || !facts.hasVideo || facts.statedScan == SourceFacts::Scan::Progressive ||
        (facts.statedScan == SourceFacts::Scan::Unknown && whole))
        return 0;
    const double seconds = job.expectedDuration > 0 ? job.expectedDuration : facts.duration;
    if (seconds <= 0 || facts.frameRate <= 0)
        return kSampleFrames;
    const double frames = std::min(double(kSampleFrames), std::round(seconds * facts.frameRate));
    // Too few for woven ones to be believed: the job would be the same.
    return frames < kMinWovenFrames ? 0 : int(frames);
}

bool FieldDetector::settle(const QString &sourcePath, const FfmpegCommand &job,
                           SourceFacts *facts) {
    const int frames = sampleFrames(*facts, job);
    Counts counts;
    if (frames == 0 || !FieldCounter::count(sourcePath, *facts, frames, &counts))
        return false;
    const SourceFacts::Weave before = facts->weave;
    const SourceFacts::Weave found = judge(counts);
    if (found == SourceFacts::Weave::None)
        facts->weave = found;
    else if (facts->statedScan == SourceFacts::Scan::Interlaced)
        facts->weave = SourceFacts::Weave::Flagged;
    else
        facts->weave = found;
    return facts->weave != before;
}
