#include "transcoderjob.h"

#include <QProcess>
#include <QTimer>

#include "conversion/partfilename.h"
#include "conversion/suspenderlisting.h"
#include "conversion/tooltext.h"
#include "filelist/processwait.h"
#include "platform/platform.h"

namespace {

const QString kResumeSwitch = QStringLiteral("/r");

ProcessWait::Ended runTool(const QString &program, const QStringList &arguments) {
    QProcess tool;
    return ProcessWait::run(tool, program, arguments, TranscoderJob::kToolTimeoutMs,
                            ProcessWait::Waiting::Blocking);
}

} // namespace

TranscoderJob::TranscoderJob(QProcess &process) : m_process(process) {}

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

bool TranscoderJob::pause(const QString &suspender) {
    const qint64 pid = processId();
    if (pid <= 0)
        return false;
    if (isPaused())
        return true;
    if (!runTool(suspender, {QString::number(pid)}).ok)
        return false;
    m_pausedPid = pid;
    return true;
}

bool TranscoderJob::resume(const QString &suspender) {
    if (!isPaused()) {
        m_pausedPid = 0;
        return false;
    }
    const QStringList arguments = {QString::number(m_pausedPid), kResumeSwitch};
    const bool resumed = runTool(suspender, arguments).ok;
    // A process suspended more than once needs as many resumes; the tool
    // tells how many are still owed.
    ProcessWait::Ended again = runTool(suspender, arguments);
    int count = Suspender::resumeCount(decodeToolText(again.standardError));
    for (int run = 0; count > 1 && run < kMaxResumeRuns; ++run) {
        again = runTool(suspender, arguments);
        count = Suspender::resumeCount(decodeToolText(again.standardError));
    }
    if (!resumed && !again.ok)
        return false;
    m_pausedPid = 0;
    return true;
}

qint64 TranscoderJob::askToEnd() {
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
