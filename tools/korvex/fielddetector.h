#pragma once

#include <QString>

#include "argumenttranslator.h"

// Whether a picture's frames are really woven from two fields, found by
// looking at them: many streams do not say (DV never does, nor most AVI and
// MOV files), and some say so of whole frames (progressive film coded as
// interlaced MPEG-2 or H.264), which deinterlacing would only soften.
//
// Up to 120 frames from the middle of the source are judged the way ffmpeg's
// idet filter judges them (FieldCounter), in korvex's own process before the
// job, for pictures whose stream does not say they are whole. No look is
// made where the answer is known without one: streams that say they are
// progressive (most MP4, MKV and MPEG files), jobs too short to show woven
// frames, and, unless the stream says it is interlaced, codecs made for whole
// frames alone and pictures too low to hold two fields.
// Nor does a look take more frames than the job converts. Fewer than 120
// would do for most sources, but whole frames with fine detail in motion
// pass for woven ones over a few dozen frames; only a longer run shows them
// by turns in either field order.
class FieldDetector {
public:
    // Frames counted by what idet's multi-frame judgement took them for.
    struct Counts {
        int topFirst = 0;
        int bottomFirst = 0;
        int progressive = 0;
        int undetermined = 0;
    };

    // Woven frames show one field order throughout; whole frames that idet
    // mistakes for woven ones (fine detail in motion) show either order by
    // turns.
    static SourceFacts::Weave judge(const Counts &counts);

    // How many frames to look at before the job: 0 where looking could not
    // change what the job does.
    static int sampleFrames(const SourceFacts &facts, const FfmpegCommand &job);

    // Looks at the pictures of a source whose stream does not say they are
    // whole, when the job writes a picture, and sets the facts' weave:
    // deinterlacing by the frames' own flags where the stream says it is
    // interlaced, else of every frame in the order found. True when the weave
    // changed, so that the job is to be translated again. Leaves the facts as
    // they are when the look fails.
    static bool settle(const QString &sourcePath, const FfmpegCommand &job, SourceFacts *facts);
};
