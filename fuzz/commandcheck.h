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
