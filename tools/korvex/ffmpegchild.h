#pragma once

#include <QStringList>

#include <sys/types.h>

// Starts Debian's ffmpeg for korvex: its standard input and output go to
// /dev/null, its standard error into errorWrite (the write end of a pipe
// that korvex reads), and it dies with a korvex that is killed outright.
// The stop signals that korvex catches are the defaults again in ffmpeg.
// Each korvex program defines these with the ffmpeg it is built for
// (korvex_program() in CMakeLists.txt).
namespace FfmpegChild {

// The full path of the one ffmpeg program this korvex runs.
const char *program();

// The child's process id, or -1 with errno set when it could not be made.
// A child that cannot run ffmpeg says so on errorWrite and exits 127.
pid_t start(const QStringList &arguments, int errorWrite);

} // namespace FfmpegChild
