#pragma once

#include <QString>

// How the program puts folder names together. Paths are built with "/" and
// never carry a doubled or trailing separator, except where a caller asks
// for the trailing one.
namespace FolderPath {

// `folder` followed by `name`, one "/" between them whatever separators
// either side already carries. An empty `folder` gives `name` alone.
QString join(const QString &folder, const QString &name);

// A folder chosen in a folder dialog is kept with its trailing "/", so that a
// file name can be put straight after it. A name without any "/" (not a path)
// and the root keep their form.
QString withTrailingSeparator(const QString &folder);

} // namespace FolderPath
