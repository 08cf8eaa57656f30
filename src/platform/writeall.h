#pragma once

#include <cstddef>

struct iovec;

// Hands a whole buffer to a descriptor: a file, a pipe or a socket. Plain
// system calls and no Qt, so that the suspender (which stays small) links it
// and a child may call it between fork() and exec(): async-signal-safe.

// 0, or the errno of the write that failed. An interrupted write is tried
// again; a write that takes nothing is a full drive (ENOSPC), never a reason
// to try for ever. A socket whose reader has gone says EPIPE rather than
// ending the process with SIGPIPE.
int writeAll(int fd, const void *data, std::size_t size);

// The same for count parts, in order, in as few calls as the descriptor
// takes them: a reader on the other end of a pipe or socket wakes once for
// what arrives together. The parts are used up on the way.
int writeAll(int fd, struct iovec *parts, int count);
