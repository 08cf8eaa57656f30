#include "installerfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "platform/writeall.h"

namespace skelbrin {

namespace {

// Starts with a dot and ends apart from the final name: a file left by a run
// that was killed is not taken for an installer.
const QString kPartTemplate = QStringLiteral(".tessaline-XXXXXX.part");

} // namespace

InstallerFile::InstallerFile(const QString &folder) : m_folder(folder) {}

InstallerFile::~InstallerFile() {
    discard();
}

bool InstallerFile::open(QString *error) {
    // A hand-off folder that is a link would put the installer wherever the
    // link's owner chose.
    if (QFileInfo(m_folder).isSymLink()) {
        *error = "the folder is a symbolic link";
        return false;
    }
    if (!QDir(m_folder).mkpath(".") || QFileInfo(m_folder).isSymLink()) {
        *error = "the folder cannot be created";
        return false;
    }
    // QTemporaryFile creates its file with O_CREAT | O_EXCL, which fails on
    // anything already there, a link included, and with mode 0600: what
    // comes from the network is the user's alone from its first byte, and
    // stays so under the final name.
    m_file = std::make_unique<QTemporaryFile>(QDir(m_folder).filePath(kPartTemplate));
    if (!m_file->open()) {
        *error = m_file->errorString();
        m_file.reset();
        return false;
    }
    return true;
}

bool InstallerFile::write(const QByteArray &data, QString *error) {
    // Straight to the descriptor: a short write through QFile (the disk
    // filled up halfway) leaves it without an error to tell, so the system's
    // reason is only known to the write that fails outright.
    const int failure = writeAll(m_file->handle(), data.constData(), size_t(data.size()));
    if (failure != 0)
        *error = QString::fromLocal8Bit(std::strerror(failure));
    return failure == 0;
}

bool InstallerFile::commit(const QString &name, QString *error) {
    if (!m_file->flush()) {
        *error = m_file->errorString();
        discard();
        return false;
    }
    // On the disk before it gets the name: the disk may refuse only now.
    if (::fsync(m_file->handle()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        discard();
        return false;
    }
    m_file->close();
    const QString target = QDir(m_folder).filePath(name);
    // rename() replaces whatever stands under the target name, a symbolic
    // link itself rather than the file it points to; QFile::rename() would
    // refuse to replace anything at all.
    if (std::rename(QFile::encodeName(m_file->fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        discard();
        return false;
    }
    m_file->setAutoRemove(false);
    m_file.reset();
    return true;
}

void InstallerFile::discard() {
    // The temporary file removes itself.
    m_file.reset();
}

} // namespace skelbrin
