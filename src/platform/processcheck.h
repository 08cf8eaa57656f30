#pragma once

#include <QString>

// Tells whether a process of this computer is still there, for a file that
// names its writer by process id. A process id says something only on the
// computer, the boot and the PID namespace it was given in: cloned machines
// and containers share host names and machine ids, and a lock taken on one
// computer (or through one mount) is not seen from another. An id is also
// given again once its process has gone; the time a process started tells
// the one that wrote from a later namesake.
namespace ProcessCheck {

// This boot of this computer: a short form of the boot's random id, which
// clones do not share. Empty when the system does not tell.
QString thisBoot();
// The PID namespace this process's ids are of; empty when unknown.
QString thisPidSpace();

// When process pid started, in clock ticks since the boot; 0 when that
// cannot be told (gone, hidden, or a /proc of another namespace).
qint64 startOf(qint64 pid);

enum class State {
    Gone,
    Runs, // or cannot be told from one that runs
};
// Whether process pid of this PID namespace, started at started (0: not
// known), still runs. A process that has ended but is not yet collected by
// its parent counts as gone: it writes nothing more.
State of(qint64 pid, qint64 started);

} // namespace ProcessCheck
