#include "player/fileinput.h"

#include <new>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "platform/filecalls.h"

namespace FileInput {

namespace {

// Larger than the file protocol's own buffer: each read is a round trip.
constexpr int kBufferBytes = 256 * 1024;

struct Source {
    qint64 handle = -1;
    qint64 position = 0;
};

int averrorOf(qint64 failure) {
    return failure == FileCalls::kEnded ? AVERROR_EXIT : AVERROR(int(-failure));
}

int readPacket(void *opaque, uint8_t *buffer, int size) {
    auto *source = static_cast<Source *>(opaque);
    const qint64 got =
        FileCalls::readAt(source->handle, source->position, reinterpret_cast<char *>(buffer), size);
    if (got > 0) {
        source->position += got;
        return int(got);
    }
    return got == 0 ? AVERROR_EOF : averrorOf(got);
}

int64_t seek(void *opaque, int64_t offset, int whence) {
    auto *source = static_cast<Source *>(opaque);
    if (whence & AVSEEK_SIZE) {
        const qint64 size = FileCalls::sizeOf(source->handle);
        return size < 0 ? averrorOf(size) : size;
    }
    qint64 target = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = source->position + offset;
        break;
    case SEEK_END: {
        const qint64 size = FileCalls::sizeOf(source->handle);
        if (size < 0)
            return averrorOf(size);
        target = size + offset;
        break;
    }
    default:
        return AVERROR(EINVAL);
    }
    if (target < 0)
        return AVERROR(EINVAL);
    source->position = target;
    return target;
}

} // namespace

AVIOContext *open(const QString &path, int *error) {
    const qint64 handle = FileCalls::openForReading(path);
    if (handle < 0) {
        *error = averrorOf(handle);
        return nullptr;
    }
    auto *source = new (std::nothrow) Source;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBufferBytes));
    AVIOContext *input = source && buffer ? avio_alloc_context(buffer, kBufferBytes, 0, source,
                                                               readPacket, nullptr, seek)
                                          : nullptr;
    if (!input) {
        av_free(buffer);
        delete source;
        FileCalls::closeFile(handle);
        *error = AVERROR(ENOMEM);
        return nullptr;
    }
    source->handle = handle;
    return input;
}

void close(AVIOContext **input) {
    if (!input || !*input)
        return;
    auto *source = static_cast<Source *>((*input)->opaque);
    av_freep(&(*input)->buffer);
    avio_context_free(input);
    FileCalls::closeFile(source->handle);
    delete source;
}

} // namespace FileInput
