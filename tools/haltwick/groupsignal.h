#pragma once

#include <string>

namespace haltwick {

enum class Outcome {
    Done,
    NoSuchProcess,
    NotGroupLeader,
    OwnGroup,
    Protected,
    SignalFailed,
};

struct GroupResult {
    Outcome outcome = Outcome::NoSuchProcess;
    int pgid = 0;
    // Resume only: whether any member of the group was stopped before.
    bool wasStopped = false;
    int error = 0;
};

// Accepts decimal digits only, 1 to kMaxPid: the caller passes the digits it
// cut from the listing, and anything else must not reach kill(2).
bool parsePid(const std::string &text, int *pid);

// Stops or continues the whole process group that `pid` leads, so that the
// transcoder's ffmpeg child pauses with it. A process that does not lead its
// own group is refused: signalling its group could stop the program that
// started it (or this tool).
GroupResult suspendGroup(int pid);
GroupResult resumeGroup(int pid);

std::string describe(const GroupResult &result, int pid);

} // namespace haltwick
