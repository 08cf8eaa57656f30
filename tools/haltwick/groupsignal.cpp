#include "groupsignal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include "processtable.h"

namespace haltwick {

namespace {

constexpr int kInitPid = 1;

bool groupHasStoppedMember(int pgid) {
    DIR *proc = opendir("/proc");
    if (!proc)
        return false;
    bool stopped = false;
    while (const dirent *entry = readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0')
            continue;
        ProcStat stat;
        if (readStat(static_cast<int>(pid), &stat) && stat.pgid == pgid && stat.state == 'T') {
            stopped = true;
            break;
        }
    }
    closedir(proc);
    return stopped;
}

GroupResult checkLeader(int pid) {
    GroupResult result;
    ProcStat stat;
    if (!readStat(pid, &stat)) {
        result.outcome = Outcome::NoSuchProcess;
        return result;
    }
    result.pgid = stat.pgid;
    // kill(-1, ...) would reach every process we may signal.
    if (pid <= kInitPid)
        result.outcome = Outcome::Protected;
    else if (stat.pgid != pid)
        result.outcome = Outcome::NotGroupLeader;
    else if (stat.pgid == getpgrp())
        result.outcome = Outcome::OwnGroup;
    else
        result.outcome = Outcome::Done;
    return result;
}

GroupResult signalGroup(int pid, int signal, bool noteStopped) {
    GroupResult result = checkLeader(pid);
    if (result.outcome != Outcome::Done)
        return result;
    if (noteStopped)
        result.wasStopped = groupHasStoppedMember(result.pgid);
    if (kill(-result.pgid, signal) != 0) {
        result.outcome = errno == ESRCH ? Outcome::NoSuchProcess : Outcome::SignalFailed;
        result.error = errno;
    }
    return result;
}

} // namespace

bool parsePid(const std::string &text, int *pid) {
    if (text.empty() || text.size() > static_cast<std::size_t>(kPidColumns))
        return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxPid)
        return false;
    *pid = static_cast<int>(value);
    return true;
}

GroupResult suspendGroup(int pid) {
    return signalGroup(pid, SIGSTOP, false);
}

GroupResult resumeGroup(int pid) {
    return signalGroup(pid, SIGCONT, true);
}

std::string describe(const GroupResult &result, int pid) {
    const std::string id = std::to_string(pid);
    switch (result.outcome) {
    case Outcome::Done:
        return {};
    case Outcome::NoSuchProcess:
        return "haltwick: there is no process " + id + ".";
    case Outcome::NotGroupLeader:
        return "haltwick: process " + id + " does not lead its own process group (its group is " +
               std::to_string(result.pgid) + "); it was not touched.";
    case Outcome::OwnGroup:
        return "haltwick: process " + id +
               " leads the group that haltwick itself runs in; it was not touched.";
    case Outcome::Protected:
        return "haltwick: process " + id + " is the system's init process; it was not touched.";
    case Outcome::SignalFailed:
        return "haltwick: cannot signal process group " + std::to_string(result.pgid) + ": " +
               std::strerror(result.error) + ".";
    }
    return {};
}

} // namespace haltwick
