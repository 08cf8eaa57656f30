#include "versionnumber.h"

#include <QStringList>

namespace skelbrin {

namespace {

// Longer answers are web pages or error texts, not a version.
constexpr int kMaxAnswerBytes = 64;
constexpr int kMaxFieldDigits = 9;

} // namespace

VersionNumber VersionNumber::parse(const QString &text) {
    VersionNumber version;
    const QStringList parts = text.split('.');
    QList<quint32> fields;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > kMaxFieldDigits)
            return version;
        for (QChar c : part) {
            if (c < QChar('0') || c > QChar('9'))
                return version;
        }
        fields.append(part.toUInt());
    }
    version.m_fields = fields;
    return version;
}

VersionNumber VersionNumber::fromServerAnswer(const QByteArray &body) {
    if (body.size() > kMaxAnswerBytes)
        return {};
    QByteArray text = body;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    return parse(QString::fromLatin1(text.trimmed()));
}

QString VersionNumber::toString() const {
    QStringList parts;
    for (quint32 field : m_fields)
        parts.append(QString::number(field));
    return parts.join('.');
}

int VersionNumber::compare(const VersionNumber &other) const {
    const int count = qMax(m_fields.size(), other.m_fields.size());
    for (int i = 0; i < count; ++i) {
        const quint32 mine = m_fields.value(i, 0);
        const quint32 theirs = other.m_fields.value(i, 0);
        if (mine != theirs)
            return mine < theirs ? -1 : 1;
    }
    return 0;
}

} // namespace skelbrin
