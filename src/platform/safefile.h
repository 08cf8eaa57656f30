#pragma once

#include <QByteArray>
#include <QString>

// Replaces one of the program's own files (its settings, an edit script, a
// logo) so that the name always stands for the old file or the whole new
// one, never for a cut or empty one. The new bytes go into a hidden file of
// their own beside it (NewFileName), which says whose it is when its writer
// is ended before the rename; every write, the sync to the disk and the
// close are checked, and only then is the file linked in under the name.
//
// Qt's QSaveFile cannot be trusted with this: when the disk fills up while it
// writes out its buffer, it links in the file it could not write and reports
// success.
class SafeFile {
public:
    // False, with the system's reason, when the new contents did not all
    // reach the disk: the file at path is then as it was. A symbolic link's
    // target is replaced, not the link. The folder must exist.
    static bool replace(const QString &path, const QByteArray &bytes, QString *reason = nullptr);

    // Writes bytes whole as a new file at path, as replace() writes them,
    // but never in place of a file that has that name by then: 0, EEXIST
    // when one has, or the system's reason; nothing is left on failure. The
    // folder is neither synced nor looked through for what ended writers
    // left (FilePublish::writeNew does both): a writer of many files syncs
    // each folder once, after its last file (syncFolder), rather than once a
    // file.
    static int writeNew(const QString &path, const QByteArray &bytes);
    static void syncFolder(const QString &folder);
    // The system's words for an error number.
    static QString reasonText(int error);
};
