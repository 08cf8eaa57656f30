#pragma once

#include <QString>

// The program's own temporary folder: each running copy's folder of edit
// scripts, claimed as it starts, emptied as it closes, and those of copies
// that ended without closing. The folders lie in the home folder, which
// other computers may share: a copy's folder names its owner, and only the
// computer that owns it can tell that the owner has gone. The calls go
// through FileCalls, so that on the program's own-files worker a home that
// does not answer holds up that work and nothing else.
namespace TempPurge {

// Removes everything inside `root` and leaves `root` itself. Symbolic links
// are removed as links: nothing they point to is touched, so the purge never
// reaches outside `root`. Returns false, removing nothing, when `root` is not
// an existing folder or is itself a symbolic link; otherwise true, whatever
// single removal failed.
bool emptyFolder(const QString &root);

// Makes this copy's temporary folder and names this process its owner, so
// that other copies' starts leave it alone; false when it cannot.
bool claimFolder(const QString &folder);

// Removes the folders beside `own` whose owner is known to have gone from
// this computer (killed, or its display gone) without its close path. A
// folder of another computer, or one whose owner cannot be told, is left
// until nothing in it has changed for a week.
void removeLeftovers(const QString &own);

} // namespace TempPurge
