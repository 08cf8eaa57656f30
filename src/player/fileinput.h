#pragma once

extern "C" {
#include <libavformat/avio.h>
}

#include <QString>

// The input of a preview as libavformat reads it. Its bytes come through
// the file calls of the thread that reads them (FileCalls): a read from a
// share that stops answering is given up as soon as the player closes,
// where a read of the file's own would wait for the share in the kernel.
namespace FileInput {

// An input on the regular file at path (an absolute path), or nullptr with
// the reason, an AVERROR, in *error.
AVIOContext *open(const QString &path, int *error);
// Closes an input that open() gave and sets it to nullptr; libavformat
// leaves an input of the caller's to the caller.
void close(AVIOContext **input);

} // namespace FileInput
