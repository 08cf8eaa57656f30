#include "processwait.h"

#include <memory>

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace {

ProcessWait::Ended outcomeOf(QProcess &process, bool finished, int timeoutMs) {
    ProcessWait::Ended ended;
    ended.ok = finished && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0 && process.error() != QProcess::FailedToStart;
    ended.standardError = process.readAllStandardError();
    if (ended.ok)
        return ended;
    if (!finished || process.error() == QProcess::Timedout)
        ended.problem = QStringLiteral("%1 did not end within %2 s.")
                            .arg(process.program())
                            .arg(timeoutMs / 1000);
    else if (process.error() == QProcess::FailedToStart ||
             process.exitStatus() != QProcess::NormalExit)
        ended.problem = process.errorString();
    else
        ended.problem = QStringLiteral("%1 ended with status %2.")
                            .arg(process.program())
                            .arg(process.exitCode());
    return ended;
}

} // namespace

bool ProcessWait::forFinished(QProcess &process, int timeoutMs)
{
    if (process.state() == QProcess::NotRunning)
        return true;

    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop, &process] {
        if (process.state() == QProcess::NotRunning)
            loop.quit();
    });
    limit.start(timeoutMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return process.state() == QProcess::NotRunning;
}

bool ProcessWait::endWithin(QProcess &process, int timeoutMs, Waiting waiting)
{
    const auto ended = [&process, waiting](int ms) {
        return waiting == Waiting::Painting ? forFinished(process, ms)
                                            : process.state() == QProcess::NotRunning ||
                                                  process.waitForFinished(ms);
    };
    if (ended(timeoutMs))
        return true;
    // A tool held by a drive that stops answering cannot even die: the
    // window goes on painting meanwhile, as it did before the kill.
    process.kill();
    ended(timeoutMs);
    return false;
}

ProcessWait::Ended ProcessWait::run(QProcess &process, const QString &program,
                                    const QStringList &arguments, int timeoutMs, Waiting waiting)
{
    process.start(program, arguments, QIODevice::ReadWrite);
    const bool finished = endWithin(process, timeoutMs, waiting);
    return outcomeOf(process, finished, timeoutMs);
}

void ProcessWait::start(QProcess &process, const QString &program, const QStringList &arguments,
                        int timeoutMs, QObject *context, std::function<void(const Ended &)> then) {
    // One watcher a run: its connections and its time limit go with it.
    auto *watch = new QObject(context);
    auto *limit = new QTimer(watch);
    limit->setSingleShot(true);
    const auto timedOut = std::make_shared<bool>(false);
    QProcess *tool = &process;
    const auto end = [watch, tool, timedOut, timeoutMs, then] {
        if (tool->state() != QProcess::NotRunning)
            return;
        QObject::disconnect(tool, nullptr, watch, nullptr);
        watch->deleteLater();
        then(outcomeOf(*tool, !*timedOut, timeoutMs));
    };
    QObject::connect(tool, &QProcess::finished, watch, end);
    QObject::connect(tool, &QProcess::errorOccurred, watch, [end](QProcess::ProcessError error) {
        // A crash ends through finished() as well; a tool that never ran does not.
        if (error == QProcess::FailedToStart)
            end();
    });
    QObject::connect(limit, &QTimer::timeout, watch, [tool, timedOut] {
        *timedOut = true;
        tool->kill();
    });
    limit->start(timeoutMs);
    process.start(program, arguments, QIODevice::ReadWrite);
}
