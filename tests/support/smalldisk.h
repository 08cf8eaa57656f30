#pragma once

// A drive without room: a memory file system of a few blocks, mounted over a
// folder and filled up to its last blocks. Needs root, as CI has it. Mounted
// where every process sees it: the file-call helpers that the program starts
// ahead of need would not see a mount made in a namespace of the test's own.

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

class SmallDisk {
public:
    ~SmallDisk() {
        if (!m_folder.isEmpty())
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }

    // Over folder, made when missing; false where no mount can be made.
    bool mount(const QString &folder) {
        if (::geteuid() != 0 || !QDir().mkpath(folder) ||
            ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=256k") != 0)
            return false;
        m_folder = folder;
        return true;
    }

    qint64 freeBlocks() const {
        struct statvfs disk;
        if (::statvfs(QFile::encodeName(m_folder).constData(), &disk) != 0)
            return -1;
        return qint64(disk.f_bavail);
    }

    // Takes every block but `left` into a file of its own.
    bool fillUpTo(qint64 left) {
        struct statvfs disk;
        if (::statvfs(QFile::encodeName(m_folder).constData(), &disk) != 0)
            return false;
        QFile filler(m_folder + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
        const qint64 bytes = (qint64(disk.f_bavail) - left) * qint64(disk.f_bsize);
        filler.write(QByteArray(qMax<qint64>(bytes, 0), '\0'));
        filler.close();
        return freeBlocks() == left;
    }

private:
    QString m_folder;
};
