#include "playerplatform.h"

#include <cerrno>
#include <system_error>

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

QString PlayerPlatform::regularFileProblem(const QString &path) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    if (::stat(name.constData(), &info) != 0)
        return QString::fromStdString(std::generic_category().message(errno));
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("not a regular file");
    return QString();
}
