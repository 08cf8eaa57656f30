#pragma once

// The ffmpeg and ffprobe of the build (QUILLORA_FFMPEG and QUILLORA_FFPROBE,
// found when it was configured): the ffmpeg korvex runs, never the first
// program of that name in PATH. Every test gets both from CTest.

#include <QString>

namespace MediaPrograms {

inline QString ffmpeg() {
    return qEnvironmentVariable("QUILLORA_FFMPEG");
}

inline QString ffprobe() {
    return qEnvironmentVariable("QUILLORA_FFPROBE");
}

} // namespace MediaPrograms
