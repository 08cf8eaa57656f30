#include "droppedurls.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QMimeData>
#include <QSysInfo>

namespace DroppedUrls {

namespace {

const QString kFileScheme = QStringLiteral("file");

bool isThisMachine(const QString &host)
{
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
           || host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

} // namespace

QList<QUrl> fromMimeData(const QMimeData &data)
{
    QList<QUrl> urls = data.urls();
    // A comment line comes back as an address of nothing but a fragment.
    urls.removeIf([](const QUrl &url) { return url.toEncoded().startsWith('#'); });
    return urls;
}

QString localPath(const QUrl &url)
{
    if (!url.isValid() || url.scheme().compare(kFileScheme, Qt::CaseInsensitive) != 0
        || !isThisMachine(url.host()))
        return QString();
    const QString encoded = url.path(QUrl::FullyEncoded);
    // An encoded "/" would split one name of the address into two.
    if (encoded.contains(QLatin1String("%2F"), Qt::CaseInsensitive))
        return QString();
    const QByteArray bytes = QByteArray::fromPercentEncoding(encoded.toLatin1());
    if (!bytes.startsWith('/') || bytes.contains('\0'))
        return QString();
    const QString path = QFile::decodeName(bytes);
    // Bytes that do not come back as they were name a file nobody can pass on.
    if (QFile::encodeName(path) != bytes)
        return QString();
    return path;
}

QString shownName(const QUrl &url)
{
    if (url.isEmpty())
        return QCoreApplication::translate("DroppedUrls", "(an empty address)");
    const QString path = localPath(url);
    if (!path.isEmpty())
        return path;
    if (url.scheme().compare(kFileScheme, Qt::CaseInsensitive) == 0)
        return url.toString(QUrl::FullyEncoded);
    return url.toDisplayString();
}

} // namespace DroppedUrls
