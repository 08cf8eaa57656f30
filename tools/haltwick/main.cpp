// haltwick                 list the running processes on standard output
// haltwick PID             suspend the process group that PID leads
// haltwick PID /r          resume it; the resume count goes to standard error

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "groupsignal.h"
#include "platform/writeall.h"
#include "processtable.h"

namespace {

enum ExitCode {
    kExitOk = 0,
    kExitNoListing = 1,
    kExitUsage = 2,
    kExitNoProcess = 3,
    kExitRefused = 4,
    kExitSignalFailed = 5,
};

const char *const kUsage = "usage: haltwick             list processes\n"
                           "       haltwick PID         suspend the process group PID leads\n"
                           "       haltwick PID /r      resume it\n";

int exitCodeFor(haltwick::Outcome outcome) {
    switch (outcome) {
    case haltwick::Outcome::Done:
        return kExitOk;
    case haltwick::Outcome::NoSuchProcess:
        return kExitNoProcess;
    case haltwick::Outcome::NotGroupLeader:
    case haltwick::Outcome::OwnGroup:
    case haltwick::Outcome::Protected:
        return kExitRefused;
    case haltwick::Outcome::SignalFailed:
        return kExitSignalFailed;
    }
    return kExitSignalFailed;
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc == 1) {
        const std::vector<haltwick::ProcessEntry> entries = haltwick::runningProcesses();
        if (entries.empty()) {
            std::fputs("haltwick: cannot read the process table in /proc.\n", stderr);
            return kExitNoListing;
        }
        // The caller reads the listing in whatever pieces arrive and searches
        // each piece on its own, so the listing leaves in one write: a pipe
        // hands a single write of this size to the reader whole.
        const std::string listing = haltwick::listing(entries);
        return writeAll(STDOUT_FILENO, listing.data(), listing.size()) == 0 ? kExitOk
                                                                            : kExitNoListing;
    }

    const bool resume = argc == 3 && std::string(argv[2]) == "/r";
    if (argc > 3 || (argc == 3 && !resume)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    int pid = 0;
    if (!haltwick::parsePid(argv[1], &pid)) {
        std::fprintf(stderr, "haltwick: \"%s\" is not a process identifier.\n%s", argv[1], kUsage);
        return kExitUsage;
    }

    const haltwick::GroupResult result =
        resume ? haltwick::resumeGroup(pid) : haltwick::suspendGroup(pid);
    if (result.outcome != haltwick::Outcome::Done) {
        std::fprintf(stderr, "%s\n", haltwick::describe(result, pid).c_str());
        return exitCodeFor(result.outcome);
    }
    // The caller repeats the resume while the count exceeds 1. A stop does not
    // nest, so one continue always suffices: 1 when something was stopped,
    // 0 when the group was already running.
    if (resume)
        writeAll(STDERR_FILENO, result.wasStopped ? "1" : "0", 1);
    return kExitOk;
}
