#include "tooltext.h"

QString decodeToolText(const QByteArray &bytes) {
    if (!bytes.contains('\0'))
        return QString::fromLocal8Bit(bytes);
    QByteArray cleaned = bytes;
    cleaned.replace('\0', QByteArray());
    return QString::fromLocal8Bit(cleaned);
}
