#include "suspenderlisting.h"

#include <QRegularExpression>

namespace {

const QString kPidKey = QStringLiteral("PID");

// Identifiers are ASCII digits; QChar::isDigit() also takes the digits of
// other scripts, which no process identifier is made of.
bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isNameBoundaryBefore(QChar c) {
    // The listing glues the name to the identifier's digits.
    return c.isSpace() || isAsciiDigit(c) || c == QLatin1Char('/') || c == QLatin1Char('\\') ||
           c == QLatin1Char(':') || c == QLatin1Char('=');
}

bool isNameBoundaryAfter(QChar c) {
    // "korvex.exe" on the original platform, "korvex" here.
    return c.isSpace() || c == QLatin1Char('.');
}

bool allDigits(const QString &text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (!isAsciiDigit(c))
            return false;
    }
    return true;
}

// The identifier in the part of a line that precedes the name: the digits
// after "PID" when the line has the key, else the last run of digits. The
// line's first key is the listing's own; a later one belongs to a process
// name such as "x PID 99korvex".
QString identifierBefore(const QString &prefix) {
    const qsizetype key = prefix.indexOf(kPidKey);
    if (key >= 0) {
        QString id = prefix.mid(key + kPidKey.size()).trimmed();
        while (id.startsWith(QLatin1Char(':')) || id.startsWith(QLatin1Char('=')))
            id = id.mid(1).trimmed();
        return allDigits(id) ? id : QString();
    }
    const QString trimmed = prefix.trimmed();
    qsizetype begin = trimmed.size();
    while (begin > 0 && isAsciiDigit(trimmed.at(begin - 1)))
        --begin;
    return trimmed.mid(begin);
}

} // namespace

namespace Suspender {

QStringList findPids(const QString &listing, const QString &imageName) {
    QStringList pids;
    if (imageName.isEmpty())
        return pids;
    const QStringList lines = listing.split(QRegularExpression(QStringLiteral("[\r\n]")));
    for (const QString &line : lines) {
        qsizetype at = line.indexOf(imageName);
        while (at >= 0) {
            const qsizetype end = at + imageName.size();
            const bool startsName = at == 0 || isNameBoundaryBefore(line.at(at - 1));
            const bool endsName = end == line.size() || isNameBoundaryAfter(line.at(end));
            if (startsName && endsName) {
                const QString id = identifierBefore(line.left(at));
                if (!id.isEmpty())
                    pids << id;
                break;
            }
            at = line.indexOf(imageName, at + 1);
        }
    }
    return pids;
}

QString findTranscoderPid(const QString &listing, const QString &imageName) {
    return findPids(listing, imageName).value(0);
}

int resumeCount(const QString &standardError) {
    return standardError.trimmed().toInt(); // not a whole number: 0
}

} // namespace Suspender
