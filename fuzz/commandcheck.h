#pragma once

#include <QString>

#include "argumenttranslator.h"

// What every ffmpeg command that korvex makes must keep, whatever the job and
// the script asked for: ffmpeg reads only the inputs it is given and writes
// only the temporary output, through a muxer that writes that one file, and
// every picture and sound step is one of the few filters korvex uses, with
// finite numbers.
void checkFfmpegCommand(const FfmpegCommand &command, const QString &sourcePath,
                        const QString &outputPath);

// A twelve-second 320x240 clip with stereo sound at 44.1 kHz, as the probe
// describes it: the source that jobs and scripts are translated against.
SourceFacts twelveSecondClip();
