#pragma once

#include <memory>

#include <QString>

class QByteArray;
class QTemporaryFile;

namespace skelbrin {

// The installer on its way into the hand-off folder. It is written to a new
// file of its own in that folder, created there exclusively so that nothing
// planted in the folder is ever opened, and renamed over the final name only
// once it is known to be whole: a link standing under that name is replaced,
// not followed. Until then, or when it is dropped, nothing carries the final
// name that was not there before. Only its owner can read it.
class InstallerFile {
public:
    explicit InstallerFile(const QString &folder);
    ~InstallerFile();

    // Makes the folder when it is missing; a folder that is a symbolic link
    // is refused. On failure `error` says why.
    bool open(QString *error);
    bool write(const QByteArray &data, QString *error);
    // Puts the file in place under `name`; the file is gone on failure.
    bool commit(const QString &name, QString *error);
    // Removes what was written so far.
    void discard();

private:
    QString m_folder;
    std::unique_ptr<QTemporaryFile> m_file;
};

} // namespace skelbrin
