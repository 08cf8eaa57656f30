#pragma once

#include <QString>

// Emptying the program's own temporary folder when it closes.
namespace TempPurge {

// Removes everything inside `root` and leaves `root` itself. Symbolic links
// are removed as links: nothing they point to is touched, so the purge never
// reaches outside `root`. Returns false, removing nothing, when `root` is not
// an existing folder or is itself a symbolic link; otherwise true, whatever
// single removal failed.
bool emptyFolder(const QString &root);

} // namespace TempPurge
