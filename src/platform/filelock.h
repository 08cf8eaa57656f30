#pragma once

#include <QString>

// A lock on a file as the system keeps it (flock), taken the way QLockFile
// takes its own. The system lets go of it when its holder ends, however it
// ends, and a network file system keeps it on the server: a lock that nobody
// holds proves that whoever took it has gone, whether or not its process can
// be seen from here (another machine, another process namespace).
//
// Not a WriterLock, which only marks a file that others write through
// descriptors of their own and asks after the mark: this one is taken and
// held, so that the file can be taken away (removeFile) while no new holder
// can come, on a file nobody writes but its holder, as QLockFile's are.
class FileLock {
public:
    enum class Opening {
        Existing,
        MayCreate,
    };

    // Tries once to take the lock on path; a holder is never waited for.
    FileLock(const QString &path, Opening opening);
    // Lets go of the lock.
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Taken, and path still names the file it was taken on: a file whose
    // name was taken away meanwhile is no lock on path any more.
    bool isHeld() const;
    // Takes the name away from the file while the lock is held, so that
    // whoever opens path next makes or meets another file.
    bool removeFile();

private:
    QString m_path;
    int m_fd = -1;
};
