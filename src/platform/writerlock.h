#pragma once

#include <QString>

// Tells whether the writer of a file is still at it, where a process id
// cannot: a writer in another PID namespace (a container, a sandbox), another
// user's under a /proc that hides other users' processes, or another machine
// on a share that keeps locks. The writer holds a lock on its open file for
// as long as it writes; the lock goes with the writer, however it ends.
//
// Not a FileLock (flock): the file is written through other descriptors
// (ffmpeg's) while it is held, and network drives keep an flock as a lock
// on the whole file, which a share that enforces byte-range locks holds
// against those writes. One byte far past the data is in nobody's way.
namespace WriterLock {

// Marks the file open for writing on fd as being written, for as long as the
// descriptor stays open. False when the drive keeps no locks.
bool hold(int fd);

enum class State {
    Held,    // a writer is at it
    Free,    // nobody holds it: its writer has gone
    Unknown, // the drive keeps no locks, or the file cannot be looked at
};
State of(const QString &path);

// What a sweep needs to know of a file before it may remove it.
struct Facts {
    State lock = State::Unknown;
    bool ours = false;      // owned by the user who asks: nobody else's is ours to remove
    qint64 modifiedMs = -1; // its data's last change, since the epoch; -1: not known
};
Facts factsOf(const QString &path);

} // namespace WriterLock
