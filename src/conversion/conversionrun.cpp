#include "conversionrun.h"

#include <algorithm>

#include "conversion/timetext.h"
#include "filelist/filerow.h"

namespace {

const QString kProgressLine =
    QStringLiteral("Total progress:  %1%     Elapsed Time:  %2     Remaining Time:  %3");
const QString kLogFileEnded = QStringLiteral("small");
const QString kLogDecodeError = QStringLiteral("BIG Error while decoding stream");
const QString kLogWriteFailed = QStringLiteral("BIG Operation not permitted");

// The overall bar shows 100 only when the run is over.
constexpr int kRunningPercentMax = 99;
// Longer than any job: a row's trim length is an int.
constexpr double kMaxReadingSeconds = 2147483647.0;

} // namespace

ConversionRun::ConversionRun(RunClock::NowFunction now) : m_clock(std::move(now)) {}

bool ConversionRun::start(const QVector<RunRow> &rows) {
    const bool anyChecked =
        std::any_of(rows.cbegin(), rows.cend(), [](const RunRow &row) { return row.checked; });
    if (!anyChecked)
        return false;

    m_rows = rows;
    m_endedAs = QVector<QString>(rows.size());
    m_active = true;
    m_jobNumber = 0;
    m_running = -1;
    m_doneSeconds = 0;
    m_currentSeconds = 0;
    m_summarySeen = false;
    m_jobFailed = false;
    m_verdict.clear();
    m_writeFailure.clear();
    m_parser.reset();
    m_clock.start();
    return true;
}

TickDecision ConversionRun::tick(bool transcoderRunning, const QVector<RunRow> &rows) {
    TickDecision decision;
    if (!m_active)
        return decision;
    refreshRows(rows);
    if (transcoderRunning) {
        // Never judged by its bar: a transcoder that has written its summary
        // may still be finishing the file, and only its exit says how it went.
        decision.action = TickDecision::Action::Wait;
        return decision;
    }

    if (m_running >= 0)
        decision.vanishedJob = endJob(FileRow::kStatusError);

    while (m_jobNumber < m_rows.size() && !m_rows.at(m_jobNumber).checked)
        ++m_jobNumber;

    if (m_jobNumber >= m_rows.size()) {
        decision.action = TickDecision::Action::Finish;
        for (int row = 0; row < m_endedAs.size(); ++row) {
            if (m_endedAs.at(row) == FileRow::kStatusFinished)
                decision.rowsToUncheck << row;
        }
        m_active = false;
        m_jobNumber = 0;
        m_doneSeconds = 0;
        m_currentSeconds = 0;
        m_clock.stop();
        return decision;
    }

    decision.action = TickDecision::Action::Launch;
    decision.row = m_jobNumber;
    decision.indeterminate = rowSeconds(m_jobNumber) <= 0;
    m_running = m_jobNumber++;
    m_currentSeconds = 0;
    m_summarySeen = false;
    m_jobFailed = false;
    m_verdict.clear();
    m_writeFailure.clear();
    m_parser.reset();
    return decision;
}

ProgressUpdate ConversionRun::feed(const QByteArray &standardError) {
    if (!m_active || m_running < 0)
        return progress();

    const ProgressReport report = m_parser.feed(standardError);
    if (!report.verdict.isEmpty())
        m_verdict = report.verdict;
    if (m_writeFailure.isEmpty())
        m_writeFailure = report.writeFailure;
    QStringList log;
    if (report.hasTime) {
        // The bar stops at the job's length anyway; a reading far past it
        // must not overflow the cast to whole seconds.
        m_currentSeconds = static_cast<qint64>(std::min(report.seconds, kMaxReadingSeconds));
    }
    if (report.fileEnded && !m_summarySeen) {
        m_summarySeen = true;
        log << kLogFileEnded;
    }
    if (report.decodeError) {
        m_jobFailed = true;
        log << kLogDecodeError;
    }
    if (report.writeFailed) {
        m_jobFailed = true;
        log << kLogWriteFailed;
    }

    ProgressUpdate update = progress();
    update.writeFailed = report.writeFailed;
    update.diskFull = report.diskFull;
    update.savedAs = report.savedAs;
    update.logLines = log;
    return update;
}

ProgressUpdate ConversionRun::progress() const {
    ProgressUpdate update;
    if (!m_active)
        return update;

    update.row = m_running;
    qint64 workedSeconds = m_doneSeconds;
    if (m_running >= 0) {
        const qint64 length = rowSeconds(m_running);
        if (length > 0) {
            const qint64 current = m_summarySeen ? length : std::min(m_currentSeconds, length);
            update.rowPercent = static_cast<int>(current * 100 / length);
            workedSeconds += current;
        } else if (m_summarySeen) {
            update.rowPercent = 100;
        }
    }

    const qint64 total = totalSeconds();
    if (total <= 0)
        return update;
    workedSeconds = std::min(workedSeconds, total);
    update.totalPercent =
        static_cast<int>(std::min<qint64>(kRunningPercentMax, workedSeconds * 100 / total));

    // Remaining time from the share done so far, on working time only.
    const qint64 elapsed = m_clock.elapsedMs();
    const double remainingMs =
        workedSeconds <= 0
            ? 0.0
            : double(elapsed) * double(total - workedSeconds) / double(workedSeconds);
    update.totalLine = kProgressLine.arg(update.totalPercent)
                           .arg(formatDuration(elapsed / 1000))
                           .arg(formatDuration(static_cast<qint64>(remainingMs / 1000.0)));
    return update;
}

JobEnd ConversionRun::jobFinished(int exitCode, bool crashed) {
    if (!m_active || m_running < 0)
        return {};
    // The last line may have come without its line break.
    const ProgressReport last = m_parser.flush();
    if (last.decodeError || last.writeFailed)
        m_jobFailed = true;
    if (!last.verdict.isEmpty())
        m_verdict = last.verdict;
    if (m_writeFailure.isEmpty())
        m_writeFailure = last.writeFailure;
    const bool succeeded = !crashed && exitCode == 0 && !m_jobFailed;
    return endJob(succeeded ? FileRow::kStatusFinished : FileRow::kStatusError);
}

JobEnd ConversionRun::jobFailedToStart() {
    if (!m_active || m_running < 0)
        return {};
    return endJob(FileRow::kStatusError);
}

JobEnd ConversionRun::stop(StopReason reason) {
    if (!m_active)
        return {};
    m_stopReason = reason;
    JobEnd end;
    if (m_running >= 0) {
        end.row = m_running;
        end.statusWord =
            reason == StopReason::DiskFull ? FileRow::kStatusError : FileRow::kStatusStopped;
        end.picture = FileRow::statusPicture(end.statusWord);
        // Stopped at the drive's refusal: the transcoder's verdict would come
        // only once it has ended, so the row shows what it passed on of it.
        if (reason == StopReason::DiskFull)
            end.reason = failureReason();
    }
    m_active = false;
    m_running = -1;
    m_doneSeconds = 0;
    m_currentSeconds = 0;
    m_parser.reset();
    m_clock.stop();
    return end;
}

JobEnd ConversionRun::outputMissing(const JobEnd &finished, const QString &reason) {
    JobEnd end = finished;
    end.statusWord = FileRow::kStatusError;
    end.picture = FileRow::statusPicture(end.statusWord);
    end.reason = reason;
    if (m_active && end.row >= 0 && end.row < m_endedAs.size())
        m_endedAs[end.row] = end.statusWord;
    return end;
}

ConversionRun::StopReason ConversionRun::stopReason() const {
    return m_stopReason;
}

void ConversionRun::pause() {
    m_clock.pause();
}

void ConversionRun::resume() {
    m_clock.resume();
}

bool ConversionRun::isActive() const {
    return m_active;
}

bool ConversionRun::isPaused() const {
    return m_active && m_clock.isPaused();
}

int ConversionRun::runningRow() const {
    return m_running;
}

int ConversionRun::jobNumber() const {
    return m_jobNumber;
}

qint64 ConversionRun::totalSeconds() const {
    // The rows this run has converted or is converting, and the checked rows
    // still ahead; a row unchecked before its turn drops out of the total.
    qint64 total = 0;
    for (int row = 0; row < m_rows.size(); ++row) {
        const bool taken = !m_endedAs.value(row).isEmpty() || row == m_running;
        const bool ahead = row >= m_jobNumber && m_rows.at(row).checked;
        if (taken || ahead)
            total += std::max<qint64>(0, m_rows.at(row).seconds);
    }
    return total;
}

qint64 ConversionRun::doneSeconds() const {
    return m_doneSeconds;
}

qint64 ConversionRun::elapsedMs() const {
    return m_clock.elapsedMs();
}

JobEnd ConversionRun::endJob(const QString &statusWord) {
    JobEnd end;
    end.row = m_running;
    end.statusWord = statusWord;
    end.picture = FileRow::statusPicture(statusWord);
    if (statusWord == FileRow::kStatusError)
        end.reason = failureReason();

    m_doneSeconds += std::max<qint64>(0, rowSeconds(m_running));
    if (m_running < m_endedAs.size())
        m_endedAs[m_running] = statusWord;
    m_running = -1;
    m_currentSeconds = 0;
    m_summarySeen = false;
    m_jobFailed = false;
    m_verdict.clear();
    m_writeFailure.clear();
    m_parser.reset();
    return end;
}

QString ConversionRun::failureReason() const {
    return m_verdict.isEmpty() ? m_writeFailure : m_verdict;
}

void ConversionRun::refreshRows(const QVector<RunRow> &rows) {
    m_rows = rows;
    if (m_endedAs.size() < rows.size())
        m_endedAs.resize(rows.size());
}

qint64 ConversionRun::rowSeconds(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).seconds : -1;
}
