#include "scriptfile.h"

#include "platform/filecalls.h"

namespace ScriptFile {

bool replace(const QString &path, const QString &text, QString *reason) {
    return FileCalls::replace(path, text.toUtf8(), reason);
}

int writeNew(const QString &path, const QString &text) {
    return FileCalls::writeNewUnsynced(path, text.toUtf8());
}

} // namespace ScriptFile
