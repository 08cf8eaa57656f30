#pragma once

#include <string>
#include <vector>

namespace haltwick {

// Linux never hands out identifiers above this (PID_MAX_LIMIT on 64-bit),
// so an identifier has at most seven digits.
constexpr int kMaxPid = 4194304;
constexpr int kPidColumns = 7;

struct ProcStat {
    int pid = 0;
    std::string comm;
    char state = '?';
    int ppid = 0;
    int pgid = 0;
};

struct ProcessEntry {
    int pid = 0;
    std::string name;
};

// Parses one /proc/<pid>/stat line. The command name sits in parentheses and
// may itself hold blanks and ')', so the fields after it are found from the
// last ')'.
bool parseStatLine(const std::string &line, ProcStat *out);
bool readStat(int pid, ProcStat *out);

// The name shown for a process: the kernel's command name, or the base name
// of argv[0] when that is the same program under its full (untruncated) name.
std::string displayName(const std::string &comm, const std::string &cmdline);

std::vector<ProcessEntry> runningProcesses();

// One listing line: "PID", the identifier right-aligned in seven columns and
// the name glued to it. The caller takes the nine characters before the
// name, drops the first two and trims the rest, so nothing may stand between
// the digits and the name, or a seven-digit identifier would lose a digit.
// A name that begins with a digit is marked with a "?" in front.
std::string listingLine(int pid, const std::string &name);
std::string listing(const std::vector<ProcessEntry> &entries);

} // namespace haltwick
