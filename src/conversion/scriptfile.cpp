#include "scriptfile.h"

#include <QSaveFile>

namespace ScriptFile {

bool replace(const QString &path, const QString &text, QString *reason) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        if (file.commit())
            return true;
    }
    if (reason)
        *reason = file.errorString();
    return false;
}

} // namespace ScriptFile
