#pragma once

#include <QString>

// On a thread whose file calls go through the helper (FileCalls), so do
// these: the program's own folder may be on a drive that stops answering.
namespace ScriptFile {

// Replaces the file at path with text at once, as UTF-8: a reader never sees
// half a script, and a failed write leaves the old file as it was. On failure
// reason gets the file system's own words; the folder must exist.
bool replace(const QString &path, const QString &text, QString *reason = nullptr);

// Writes text as UTF-8 into a new file at path, whole or not at all, never in
// place of a file that has that name by then: 0, EEXIST when one has, or the
// error. The folder must exist, and is not synced (SafeFile::writeNew).
int writeNew(const QString &path, const QString &text);

} // namespace ScriptFile
