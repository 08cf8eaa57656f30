#pragma once

#include <QByteArray>
#include <QString>

// How a finished file gets its name on the user's drive: never replacing a
// file that has come under that name, on drives that have no rename without
// replacing and no hard links as well (FAT and exFAT through FUSE, many
// desktop and phone mounts), and on the drive for good before the name says
// that it is there. The transcoder and the program share it.
namespace FilePublish {

// Gives the file at from the name to unless a file has that name by now: a
// rename that never replaces where the drive has one, else a new link, else
// the name is claimed with a new empty file of our own that a plain rename
// then replaces. 0, or the reason (EEXIST when the name is taken; the file
// then keeps its old name). A claim never stays behind when the rename fails.
int withoutReplacing(const QString &from, const QString &to);

// Gives the file at from the name to where to is still the claim of a
// publish that was ended before its rename: an empty file of ours. 0, or the
// reason (EEXIST when to is anything else: it is then left as it is).
int finishClaim(const QString &from, const QString &to);

// Puts the data of the open file fd on the drive: 0, or the reason. A file
// of a kind that cannot be synced counts as synced.
int syncData(int fd);

// Puts the folder's entries (a new name) on the drive; drives that cannot
// are left as they are.
void syncFolder(const QString &folder);

// Writes bytes as the new file path, whole or not at all, as
// SafeFile::writeNew does, and syncs the folder after. 0, or the reason.
// What earlier writers into the folder left when they were ended before
// their file had its name goes first, or takes the name it claimed.
int writeNew(const QString &path, const QByteArray &bytes);

} // namespace FilePublish
