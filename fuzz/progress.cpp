// The main window's reading of korvex's progress text while a run converts:
// the row's bar, the overall bar and the progress line.
//
// Input: one byte for the size of the chunks the pipe cuts the text into,
// one for the running file's length, then the text.

#include <array>
#include <cmath>

#include "conversion/conversionrun.h"
#include "fuzzcheck.h"

namespace {

// Lengths a row can have: unknown, tiny, a clip, the longest the probe can
// show (99:59:59), and a trim length as long as the editor can write.
constexpr std::array<qint64, 6> kLengths = {0, 1, 2, 120, 359999, 2147483647};

void checkUpdate(const ProgressUpdate &update, int runningRow) {
    require(update.row == runningRow, "the update names another row");
    require(update.rowPercent >= -1 && update.rowPercent <= 100, "a row bar outside 0 to 100",
            QString::number(update.rowPercent));
    require(update.totalPercent >= -1 && update.totalPercent <= 99,
            "an overall bar outside 0 to 99 while the run goes on",
            QString::number(update.totalPercent));
    require(update.totalLine.isEmpty() == (update.totalPercent < 0),
            "a progress line without an overall value", update.totalLine);
    if (update.totalPercent >= 0)
        require(update.totalLine.startsWith(
                    QStringLiteral("Total progress:  %1%").arg(update.totalPercent)),
                "the progress line shows another value", update.totalLine);
}

void checkLines(const QByteArray &text) {
    for (const QByteArray &line : text.split('\n')) {
        const ProgressReport report = ProgressParser::readLine(QString::fromLocal8Bit(line));
        require(std::isfinite(report.seconds) && report.seconds >= 0,
                "a time reading that is not a count of seconds");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const int chunk = data[0] % 128 + 8;
    const qint64 length = kLengths[data[1] % kLengths.size()];
    const QByteArray text = fuzzBytes(data + 2, size - 2);
    checkLines(text);

    qint64 nowMs = 0;
    ConversionRun run([&nowMs] { return nowMs += 137; });
    QVector<RunRow> rows = {{true, length}, {true, 480}, {false, 60}};
    require(run.start(rows), "a run with checked rows does not start");

    // The same text for two jobs: one of the fuzzed length, one of eight minutes.
    for (int job = 0; job < 2; ++job) {
        const TickDecision launch = run.tick(false, rows);
        require(launch.action == TickDecision::Action::Launch && launch.row == job,
                "the next checked row is not launched");
        for (qsizetype at = 0; at < text.size(); at += chunk)
            checkUpdate(run.feed(text.mid(at, chunk)), job);
        checkUpdate(run.progress(), job);
        const JobEnd end = run.jobFinished(0, false);
        require(end.row == job && !end.statusWord.isEmpty(), "a job ends without a status");
        checkUpdate(run.progress(), -1);
    }
    require(run.tick(false, rows).action == TickDecision::Action::Finish,
            "the run does not finish after its last row");
    return 0;
}
