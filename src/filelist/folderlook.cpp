#include "folderlook.h"

#include <algorithm>
#include <memory>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include "filelist/folderwork.h"
#include "platform/filecalls.h"
#include "platform/platform.h"

namespace FolderLook {

namespace {

Kind kindOfLook(const FileCalls::Look &look) {
    return look.isDir ? Kind::Folder : look.exists ? Kind::Other : Kind::Missing;
}

// Without a helper the look is made on a worker of its own, which a look
// that hangs holds up and nothing else.
Kind kindByOwnWork(const QString &path, int limitMs) {
    const auto kind = std::make_shared<Kind>(Kind::NoAnswer);
    bool answered = false;
    QEventLoop loop;
    {
        FolderWork work;
        work.run(
            [path, kind] {
                const FileCalls::Look info = FileCalls::look(path);
                if (info.answered)
                    *kind = kindOfLook(info);
            },
            &loop,
            [&] {
                answered = true;
                loop.quit();
            });
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // Read only once answered: a look left behind may still write it.
    return answered ? *kind : Kind::NoAnswer;
}

} // namespace

Kind kindOf(const QString &path, int limitMs)
{
    if (path.isEmpty())
        return Kind::Missing;
    // Asked of a helper that is already there, and waited for here: no
    // thread is started for it.
    FileCalls::AskedLook asked(Platform::toolPath(FileCalls::kHelperName), path);
    if (!asked.isAsked())
        return kindByOwnWork(path, limitMs);
    const QDeadlineTimer deadline(limitMs);
    QEventLoop loop;
    QSocketNotifier answer(qintptr(asked.socket()), QSocketNotifier::Read);
    QObject::connect(&answer, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    FileCalls::Look info;
    for (;;) {
        switch (asked.read(&info)) {
        case FileCalls::AskedLook::State::Answered:
            return kindOfLook(info);
        case FileCalls::AskedLook::State::Lost:
            return Kind::NoAnswer;
        case FileCalls::AskedLook::State::Waiting:
            break;
        }
        if (deadline.hasExpired())
            return Kind::NoAnswer;
        QTimer::singleShot(std::max<qint64>(1, deadline.remainingTime()), Qt::PreciseTimer, &loop,
                           &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace FolderLook
