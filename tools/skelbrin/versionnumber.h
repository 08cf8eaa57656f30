#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace skelbrin {

// A dotted version such as "2.1.3.400", compared number by number; a field
// that one side lacks counts as 0, so "2.1" equals "2.1.0.0".
class VersionNumber {
public:
    static VersionNumber parse(const QString &text);
    // The update server answers with the bare version text, perhaps with a
    // byte-order mark and a line ending; anything else is not an answer.
    static VersionNumber fromServerAnswer(const QByteArray &body);

    bool isValid() const { return !m_fields.isEmpty(); }
    QString toString() const;
    // Negative, zero or positive as this is older, equal or newer.
    int compare(const VersionNumber &other) const;

private:
    QList<quint32> m_fields;
};

} // namespace skelbrin
