#include "outputpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "filelist/outputname.h"
#include "platform/filecalls.h"

namespace OutputPaths {

namespace {

// Index of the "." that starts the file name's extension; -1 when it has none.
int extensionDot(const QString &path) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? dot : -1;
}

} // namespace

QString folderFromField(const QString &fieldText) {
    if (fieldText.trimmed().isEmpty())
        return QString();
    // "~" is how a shell user names home; a folder of that name is never meant.
    QString text = fieldText;
    if (text == QLatin1String("~") || text.startsWith(QLatin1String("~/")))
        text.replace(0, 1, QDir::homePath());
    QString folder = QDir::cleanPath(QDir::home().absoluteFilePath(text));
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool makeWritableFolder(const QString &folder, QString *error) {
    const auto refuse = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (folder.isEmpty())
        return refuse(QStringLiteral("Please give a folder for the converted files."));
    if (!FileCalls::makePath(folder))
        return refuse(QStringLiteral("The folder %1 cannot be made.").arg(folder));
    if (!FileCalls::canWriteInto(folder))
        return refuse(QStringLiteral("Nothing can be written into the folder %1.").arg(folder));
    return true;
}

bool isGone(const QString &folder) {
    if (folder.isEmpty() || FileCalls::look(folder).exists)
        return false;
    // Beneath a file nothing can be made: not a folder that has gone.
    QFileInfo above(QFileInfo(folder).absolutePath());
    FileCalls::Look aboveLook = FileCalls::look(above.filePath());
    while (!aboveLook.exists && !above.isRoot()) {
        above = QFileInfo(above.absolutePath());
        aboveLook = FileCalls::look(above.filePath());
    }
    return aboveLook.isDir;
}

FolderState prepareFolder(const QString &folder, bool mayMake, QString *error) {
    if (!mayMake && isGone(folder))
        return FolderState::Missing;
    return makeWritableFolder(folder, error) ? FolderState::Ready : FolderState::Unusable;
}

QString fileNameFor(const QString &sourceFileName, const QString &formatLabel) {
    return withExtension(sourceFileName, formatLabel);
}

QString withExtension(const QString &path, const QString &formatLabel) {
    const int dot = extensionDot(path);
    const QString stem = dot >= 0 ? path.left(dot) : path;
    return stem + QLatin1Char('.') + formatLabel.toLower();
}

QString plainName(const QString &sourcePath, const QString &outputPath) {
    return OutputName::plainName(sourcePath, outputPath);
}

QString withFolder(const QString &path, const QString &folder) {
    QString result = folder;
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result + fileName(path);
}

QString fileName(const QString &path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString resolved(const QString &path) {
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    const QString canonical = FileCalls::canonicalPath(path);
    if (!canonical.isEmpty())
        return canonical;
    // Not there yet: resolve its folder, which usually exists.
    const QString folder = FileCalls::canonicalPath(info.absolutePath());
    if (!folder.isEmpty())
        return folder + QLatin1Char('/') + info.fileName();
    return QDir::cleanPath(info.absoluteFilePath());
}

QString noFreeNameText(const QString &path) {
    return QCoreApplication::translate("MainWindow",
                                       "No output name is left for %1: the name and every "
                                       "numbered name after it are taken, and no file is "
                                       "written over.")
        .arg(path);
}

} // namespace OutputPaths
