#include "processtable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <dirent.h>

namespace haltwick {

namespace {

bool readWholeFile(const std::string &path, std::string *out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool allDigits(const char *text) {
    if (*text == '\0')
        return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

// A name goes into a line-oriented listing that the caller reads as 8-bit
// text up to the first NUL: keep control characters out of it.
std::string printable(const std::string &text) {
    std::string out = text;
    for (char &c : out) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            c = '?';
    }
    return out;
}

} // namespace

bool parseStatLine(const std::string &line, ProcStat *out) {
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;

    ProcStat stat;
    char *end = nullptr;
    const long pid = std::strtol(line.c_str(), &end, 10);
    if (end == line.c_str() || pid <= 0 || pid > kMaxPid)
        return false;
    stat.pid = static_cast<int>(pid);
    stat.comm = line.substr(open + 1, close - open - 1);

    std::istringstream rest(line.substr(close + 1));
    std::string state;
    long ppid = 0;
    long pgid = 0;
    // Out of range is not a line the kernel wrote; cut to int, a group
    // could even name another process.
    if (!(rest >> state >> ppid >> pgid) || state.size() != 1 || ppid < 0 || ppid > kMaxPid ||
        pgid < 0 || pgid > kMaxPid)
        return false;
    stat.state = state[0];
    stat.ppid = static_cast<int>(ppid);
    stat.pgid = static_cast<int>(pgid);
    *out = stat;
    return true;
}

bool readStat(int pid, ProcStat *out) {
    std::string line;
    if (!readWholeFile("/proc/" + std::to_string(pid) + "/stat", &line))
        return false;
    return parseStatLine(line, out);
}

std::string displayName(const std::string &comm, const std::string &cmdline) {
    // argv[0] ends at the first NUL; kernel threads have an empty command line.
    const std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
    const std::size_t slash = argv0.rfind('/');
    const std::string base = slash == std::string::npos ? argv0 : argv0.substr(slash + 1);
    if (!comm.empty() && base.size() > comm.size() && base.compare(0, comm.size(), comm) == 0)
        return printable(base);
    return printable(comm);
}

std::vector<ProcessEntry> runningProcesses() {
    std::vector<ProcessEntry> entries;
    DIR *proc = opendir("/proc");
    if (!proc)
        return entries;
    while (const dirent *entry = readdir(proc)) {
        if (!allDigits(entry->d_name))
            continue;
        const int pid = std::atoi(entry->d_name);
        ProcStat stat;
        // A process may end between readdir and here: it simply drops out.
        if (!readStat(pid, &stat))
            continue;
        std::string cmdline;
        readWholeFile("/proc/" + std::to_string(pid) + "/cmdline", &cmdline);
        entries.push_back({pid, displayName(stat.comm, cmdline)});
    }
    closedir(proc);
    std::sort(entries.begin(), entries.end(),
              [](const ProcessEntry &a, const ProcessEntry &b) { return a.pid < b.pid; });
    return entries;
}

std::string listingLine(int pid, const std::string &name) {
    char number[32];
    std::snprintf(number, sizeof number, "PID %*d", kPidColumns, pid);
    // A name that begins with a digit would run on from the identifier's
    // digits: "PID  157550" and "9 korvex" would read as process 1575509.
    const bool digitFirst = !name.empty() && name.front() >= '0' && name.front() <= '9';
    return number + std::string(digitFirst ? "?" : "") + name + "\n";
}

std::string listing(const std::vector<ProcessEntry> &entries) {
    std::string text;
    for (const ProcessEntry &entry : entries)
        text += listingLine(entry.pid, entry.name);
    return text;
}

} // namespace haltwick
