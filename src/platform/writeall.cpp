#include "writeall.h"

#include <cerrno>

#include <sys/socket.h>
#include <sys/uio.h>

namespace {

// One call's worth of the parts left: what it wrote, or -1 with errno.
// sendmsg() alone can be told not to raise SIGPIPE; it takes only sockets.
ssize_t writeOnce(int fd, struct iovec *parts, int count, bool *socket) {
    if (*socket) {
        struct msghdr message {};
        message.msg_iov = parts;
        message.msg_iovlen = size_t(count);
        const ssize_t written = ::sendmsg(fd, &message, MSG_NOSIGNAL);
        if (written >= 0 || errno != ENOTSOCK)
            return written;
        *socket = false;
    }
    return ::writev(fd, parts, count);
}

} // namespace

int writeAll(int fd, const void *data, std::size_t size) {
    struct iovec whole = {const_cast<void *>(data), size};
    return writeAll(fd, &whole, 1);
}

int writeAll(int fd, struct iovec *parts, int count) {
    while (count > 0 && parts->iov_len == 0) {
        ++parts;
        --count;
    }
    bool socket = true;
    while (count > 0) {
        const ssize_t written = writeOnce(fd, parts, count, &socket);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return ENOSPC;
        // What is left of the parts after what has gone.
        size_t gone = size_t(written);
        while (count > 0 && gone >= parts->iov_len) {
            gone -= parts->iov_len;
            ++parts;
            --count;
        }
        if (count > 0) {
            parts->iov_base = static_cast<char *>(parts->iov_base) + gone;
            parts->iov_len -= gone;
        }
    }
    return 0;
}
