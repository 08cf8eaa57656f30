#include "transcoderjob.h"

#include <QProcess>
#include <QTimer>

#include "conversion/partfilename.h"
#include "conversion/suspenderlisting.h"
#include "filelist/processwait.h"
#include "filelist/tooltext.h"
#include "platform/platform.h"

namespace {

const QString kResumeSwitch = QStringLiteral("/r");

} // namespace

TranscoderJob::TranscoderJob(QProcess &process) : m_process(process) {}

TranscoderJob::~TranscoderJob() {
    // The suspender is ended with its process object: nobody hears of it.
    m_suspender.disconnect();
}

void TranscoderJob::start(const QString &program, const QStringList &arguments) {
    m_pausedPid = 0;
    Platform::useOwnProcessGroup(m_process);
    m_process.start(program, arguments, QIODevice::ReadWrite);
    const qint64 pid = processId();
    m_partFile = pid > 0 && !arguments.isEmpty() ? partFilePath(arguments.last(), pid) : QString();
}

QString TranscoderJob::partFilePath(const QString &outputPath, qint64 pid) {
    return PartFileName::forOutput(outputPath, pid);
}

QString TranscoderJob::takeStalePartFile(bool jobFailed) {
    if (isRunning() || m_partFile.isEmpty())
        return QString();
    const QString stale = jobFailed ? m_partFile : QString();
    m_partFile.clear();
    return stale;
}

bool TranscoderJob::isRunning() const {
    return m_process.state() != QProcess::NotRunning;
}

qint64 TranscoderJob::processId() const {
    return isRunning() ? m_process.processId() : 0;
}

bool TranscoderJob::isPaused() const {
    return m_pausedPid != 0 && m_pausedPid == processId();
}

bool TranscoderJob::isSuspending() const {
    return m_suspender.state() != QProcess::NotRunning;
}

void TranscoderJob::runSuspender(
    const QString &suspender, const QStringList &arguments,
    std::function<void(bool ok, const QString &problem, int count)> then) {
    const quint64 run = ++m_suspenderRun;
    ProcessWait::start(m_suspender, suspender, arguments, kToolTimeoutMs, &m_suspender,
                       [this, run, then](const ProcessWait::Ended &ended) {
                           if (run != m_suspenderRun)
                               return;
                           const QString said = decodeToolText(ended.standardError).trimmed();
                           const QString problem = said.isEmpty() ? ended.problem : said;
                           then(ended.ok, ended.ok ? QString() : problem,
                                Suspender::resumeCount(decodeToolText(ended.standardError)));
                       });
}

void TranscoderJob::dropSuspender() {
    ++m_suspenderRun;
    if (isSuspending())
        m_suspender.kill();
}

void TranscoderJob::pause(const QString &suspender, Answer answer) {
    const qint64 pid = processId();
    if (pid <= 0 || isSuspending()) {
        answer(false, pid <= 0 ? QStringLiteral("No conversion runs.")
                               : QStringLiteral("The suspender is still at work."));
        return;
    }
    if (isPaused()) {
        answer(true, QString());
        return;
    }
    runSuspender(suspender, {QString::number(pid)},
                 [this, pid, answer](bool ok, const QString &problem, int) {
                     // The job may have ended while the tool ran. A tool
                     // that stopped the group and then failed or hung must
                     // not leave it held while it is shown going on.
                     const bool held = ok && processId() == pid;
                     if (held)
                         m_pausedPid = pid;
                     else if (processId() == pid)
                         Platform::signalProcessGroup(pid, Platform::GroupSignal::Continue);
                     answer(held, held || !ok ? problem : QStringLiteral("The conversion ended."));
                 });
}

void TranscoderJob::resume(const QString &suspender, Answer answer) {
    if (!isPaused() || isSuspending()) {
        if (!isPaused())
            m_pausedPid = 0;
        answer(false, isSuspending() ? QStringLiteral("The suspender is still at work.")
                                     : QStringLiteral("No conversion is paused."));
        return;
    }
    const QStringList arguments = {QString::number(m_pausedPid), kResumeSwitch};
    runSuspender(suspender, arguments, [this, suspender, answer](bool ok, const QString &, int) {
        // A process suspended more than once needs as many resumes; the tool
        // tells how many are still owed.
        resumeAgain(suspender, ok, kMaxResumeRuns, answer);
    });
}

void TranscoderJob::resumeAgain(const QString &suspender, bool firstOk, int runsLeft,
                                Answer answer) {
    const QStringList arguments = {QString::number(m_pausedPid), kResumeSwitch};
    runSuspender(
        suspender, arguments,
        [this, suspender, firstOk, runsLeft, answer](bool ok, const QString &problem, int count) {
            if (count > 1 && runsLeft > 0) {
                resumeAgain(suspender, firstOk, runsLeft - 1, answer);
                return;
            }
            if (!firstOk && !ok) {
                answer(false, problem);
                return;
            }
            m_pausedPid = 0;
            answer(true, QString());
        });
}

qint64 TranscoderJob::askToEnd() {
    // A suspend landing after the wake-up below would hold the job again.
    dropSuspender();
    if (!isRunning()) {
        m_pausedPid = 0;
        return 0;
    }
    // A stopped process ignores SIGTERM until it runs again.
    const qint64 pid = m_process.processId();
    Platform::signalProcessGroup(pid, Platform::GroupSignal::Continue);
    m_pausedPid = 0;
    m_process.terminate();
    return pid;
}

void TranscoderJob::stop(int graceMs) {
    const qint64 pid = askToEnd();
    if (pid == 0 || m_process.waitForFinished(graceMs))
        return;
    Platform::signalProcessGroup(pid, Platform::GroupSignal::Kill);
    m_process.kill();
    m_process.waitForFinished(graceMs);
}

bool TranscoderJob::askToEndWithin(int waitMs) {
    return askToEnd() == 0 || m_process.waitForFinished(waitMs);
}

void TranscoderJob::requestStop(int graceMs) {
    const qint64 pid = askToEnd();
    if (pid == 0)
        return;
    QTimer::singleShot(graceMs, &m_process, [this, pid] {
        // Only the process this stop was for, never a later job's.
        if (processId() != pid)
            return;
        Platform::signalProcessGroup(pid, Platform::GroupSignal::Kill);
        m_process.kill();
    });
}
