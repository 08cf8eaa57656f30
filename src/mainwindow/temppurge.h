#pragma once

#include <memory>

#include <QString>

class FileLock;

// Emptying the program's own temporary folder when it closes, and the
// folders of copies that ended without closing.
namespace TempPurge {

// Removes everything inside `root` and leaves `root` itself. Symbolic links
// are removed as links: nothing they point to is touched, so the purge never
// reaches outside `root`. Returns false, removing nothing, when `root` is not
// an existing folder or is itself a symbolic link; otherwise true, whatever
// single removal failed.
bool emptyFolder(const QString &root);

// Makes this copy's temporary folder and claims it for as long as the
// returned lock lives, so that other copies' starts leave it alone; null
// when it cannot be claimed.
std::unique_ptr<FileLock> claimFolder(const QString &folder);

// Removes the folders beside `own` whose copy has gone without its close
// path (killed, or its display gone): those whose claim nobody holds. A live
// copy holds its claim wherever it runs, on this machine or another that
// shares the folder; a folder without a claim is left alone.
void removeLeftovers(const QString &own);

} // namespace TempPurge
