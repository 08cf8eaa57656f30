#include "processwait.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

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
    const bool ended = waiting == Waiting::Painting ? forFinished(process, timeoutMs)
                                                    : process.state() == QProcess::NotRunning
                                                          || process.waitForFinished(timeoutMs);
    if (ended)
        return true;
    process.kill();
    process.waitForFinished(timeoutMs);
    return false;
}

ProcessWait::Ended ProcessWait::run(QProcess &process, const QString &program,
                                    const QStringList &arguments, int timeoutMs, Waiting waiting)
{
    process.start(program, arguments, QIODevice::ReadWrite);
    Ended ended;
    const bool finished = endWithin(process, timeoutMs, waiting);
    ended.ok = finished && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0 && process.error() != QProcess::FailedToStart;
    ended.standardError = process.readAllStandardError();
    return ended;
}
