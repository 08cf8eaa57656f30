#include "folderlook.h"

#include <memory>

#include <QEventLoop>
#include <QTimer>

#include "filelist/folderwork.h"
#include "platform/filecalls.h"

namespace FolderLook {

Kind kindOf(const QString &path, int limitMs)
{
    if (path.isEmpty())
        return Kind::Missing;
    const auto kind = std::make_shared<Kind>(Kind::NoAnswer);
    bool answered = false;
    QEventLoop loop;
    {
        // Its own worker: a look that hangs holds up no other.
        FolderWork work;
        work.run(
            [path, kind] {
                const FileCalls::Look info = FileCalls::look(path);
                if (info.answered)
                    *kind = info.isDir ? Kind::Folder : info.exists ? Kind::Other : Kind::Missing;
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

} // namespace FolderLook
