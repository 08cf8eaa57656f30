// The suspender's reading of the process table and the main window's reading
// of the suspender's listing: a process is taken for the transcoder only when
// the listing's line for it names the transcoder, never from the name of some
// other process.
//
// Input: a /proc/PID/stat text, a NUL byte, then the process's command line.

#include <string>
#include <vector>

#include <QStringList>

#include "conversion/suspenderlisting.h"
#include "fuzzcheck.h"
#include "processtable.h"

namespace {

const QString kTranscoder = QStringLiteral("korvex");

// "korvex", or "korvex" followed by a blank or a dot (the Windows name).
bool namesTheTranscoder(const std::string &name) {
    const QString text = QString::fromLocal8Bit(name.c_str()).trimmed();
    return text == kTranscoder ||
           (text.startsWith(kTranscoder) &&
            (text.at(kTranscoder.size()).isSpace() || text.at(kTranscoder.size()) == '.'));
}

void checkStat(const std::string &line) {
    haltwick::ProcStat stat;
    if (!haltwick::parseStatLine(line, &stat))
        return;
    require(stat.pid > 0 && stat.pid <= haltwick::kMaxPid, "an identifier Linux never gives",
            QString::number(stat.pid));
    require(stat.ppid >= 0 && stat.ppid <= haltwick::kMaxPid && stat.pgid >= 0 &&
                stat.pgid <= haltwick::kMaxPid,
            "a parent or group identifier Linux never gives");
}

// The kernel's own line for a process of that name must read back whole.
void checkRoundTrip(int pid, const std::string &comm) {
    const std::string line =
        std::to_string(pid) + " (" + comm + ") T 1 " + std::to_string(pid) + " 0 0 -1 4194560";
    haltwick::ProcStat stat;
    require(haltwick::parseStatLine(line, &stat) && stat.pid == pid && stat.comm == comm &&
                stat.state == 'T' && stat.ppid == 1 && stat.pgid == pid,
            "a stat line does not read back", QString::fromStdString(line));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string statText = input.substr(0, nul);
    const std::string cmdline = nul == std::string::npos ? std::string() : input.substr(nul + 1);

    checkStat(statText);
    // The kernel keeps 15 bytes of the name.
    const std::string comm = statText.substr(0, 15);
    const int pid = 1 + int(size % haltwick::kMaxPid);
    checkRoundTrip(pid, comm);

    const std::string name = haltwick::displayName(comm, cmdline);
    for (const char c : name)
        require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f,
                "a control character in a listed name");
    const std::vector<haltwick::ProcessEntry> entries = {
        {1, "systemd"}, {412, "bash"}, {3000, "tst_korvex"}, {3001, "korvex_core"}, {pid, name}};
    const QString listing = QString::fromLocal8Bit(haltwick::listing(entries).c_str());
    const QStringList found = Suspender::findPids(listing, kTranscoder);
    const QStringList expected =
        namesTheTranscoder(name) ? QStringList{QString::number(pid)} : QStringList{};
    require(found == expected, "the listing names another process as the transcoder",
            listing + QStringLiteral("found: ") + found.join(QLatin1Char(' ')));

    // Whatever text comes back, only digits are taken for an identifier.
    const QString raw = QString::fromLocal8Bit(input.c_str());
    for (const QString &id : Suspender::findPids(raw, kTranscoder)) {
        bool digits = !id.isEmpty();
        for (const QChar c : id)
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        require(digits, "an identifier that is not a number", id);
    }
    return 0;
}
