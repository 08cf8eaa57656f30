#pragma once

#include <QString>

#include "argumenttranslator.h"
#include "jobrequest.h"

// Whether a picture's frames are really woven from two fields, found by
// looking at them: many streams do not say (DV never does, nor most AVI and
// MOV files), and some say so of whole frames (progressive film coded as
// interlaced MPEG-2 or H.264), which deinterlacing would only soften.
//
// ffmpeg's idet runs over 120 frames from the middle of the source, in a
// process of its own before the job, for pictures whose stream does not say
// they are whole: about a second of CPU time for SD DV, two and a half for
// 1080i H.264 in TS (most of it opening the file), against 29 and 31 s for
// a minute of DV and 20 s of 1080i into the MP4 profile. Streams that say
// they are progressive (most MP4, MKV and MPEG files) pay nothing.
class FieldDetector {
public:
    // idet's counts of frames by what it took them for (its multi-frame
    // judgement).
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

    // Looks at the pictures of a source whose stream does not say they are
    // whole, when the job writes a picture, and sets the facts' weave: deinterlacing by the frames'
    // own flags where the stream says it is interlaced, else of every frame in the order found.
    // Leaves the facts as they are when the look fails.
    static void settle(const QString &sourcePath, const JobRequest &request, SourceFacts *facts);

    // Runs idet; false when ffmpeg could not read the stretch.
    static bool measure(const QString &sourcePath, const SourceFacts &facts, Counts *counts);
};
