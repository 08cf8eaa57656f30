#pragma once

#include <QString>

namespace ScriptFile {

// Replaces the file at path with text at once, as UTF-8: a reader never sees
// half a script, and a failed write leaves the old file as it was. On failure
// reason gets the file system's own words; the folder must exist.
bool replace(const QString &path, const QString &text, QString *reason = nullptr);

} // namespace ScriptFile
