#include "scriptfile.h"

#include "platform/safefile.h"

namespace ScriptFile {

bool replace(const QString &path, const QString &text, QString *reason) {
    return SafeFile::replace(path, text.toUtf8(), reason);
}

int writeNew(const QString &path, const QString &text) {
    return SafeFile::writeNew(path, text.toUtf8());
}

} // namespace ScriptFile
