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
