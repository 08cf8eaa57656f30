#include "progressparser.h"

#include <cmath>

#include <QRegularExpression>
#include <QStringList>

#include "filelist/outputname.h"
#include "filelist/tooltext.h"

namespace {

const QString kTimeKey = QStringLiteral("time=");
const QString kDecodeError = QStringLiteral("Error while decoding stream");
const QString kNotPermitted = QStringLiteral("Operation not permitted");
const QString kNoSpace = QStringLiteral("No space left on device");
const QString kOverhead = QStringLiteral("overhead");
// The transcoder's lines of its own; its notes are not verdicts.
const QString kVerdictPrefix = QStringLiteral("korvex: ");
const QString kNotePrefix = QStringLiteral("korvex: note: ");
const QStringList kSummaryWords = {QStringLiteral("overhead"), QStringLiteral("audio:"),
                                   QStringLiteral("headers:"), QStringLiteral("video:")};

// A runaway line without any line break is judged in chunks of this size
// rather than kept in memory for ever.
constexpr qsizetype kMaxPendingBytes = 1 << 20;

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

// "HH:MM:SS.cc" as seconds; false unless all three fields are numbers.
bool readClockTime(QString value, double *seconds) {
    const bool negative = value.startsWith(QLatin1Char('-'));
    if (negative)
        value.remove(0, 1);
    const QStringList fields = value.split(QLatin1Char(':'));
    if (fields.size() != 3)
        return false;
    bool okHours = false;
    bool okMinutes = false;
    bool okSeconds = false;
    const double hours = fields.at(0).toDouble(&okHours);
    const double minutes = fields.at(1).toDouble(&okMinutes);
    const double rest = fields.at(2).toDouble(&okSeconds);
    if (!okHours || !okMinutes || !okSeconds)
        return false;
    const double total = (hours * 60.0 + minutes) * 60.0 + rest;
    *seconds = negative ? -total : total;
    return std::isfinite(*seconds);
}

} // namespace

void ProgressReport::merge(const ProgressReport &later) {
    if (later.hasTime) {
        hasTime = true;
        seconds = later.seconds;
    }
    fileEnded = fileEnded || later.fileEnded;
    decodeError = decodeError || later.decodeError;
    writeFailed = writeFailed || later.writeFailed;
    diskFull = diskFull || later.diskFull;
    if (!later.savedAs.isEmpty())
        savedAs = later.savedAs;
    if (!later.verdict.isEmpty())
        verdict = later.verdict;
    if (writeFailure.isEmpty())
        writeFailure = later.writeFailure;
}

bool ProgressParser::readTime(const QString &line, double *seconds) {
    const qsizetype at = line.lastIndexOf(kTimeKey);
    if (at < 0)
        return false;

    // The transcoder writes seconds ("time=10.00"); a clock-style value
    // ("time=00:00:10.00") is read as well rather than taken for 0.
    static const QRegularExpression blank(QStringLiteral("\\s"));
    const QString token = line.mid(at + kTimeKey.size()).trimmed().section(blank, 0, 0);
    if (token.contains(QLatin1Char(':'))) {
        if (!readClockTime(token, seconds))
            return false;
        *seconds = *seconds < 0.0 ? 0.0 : *seconds;
        return true;
    }

    // Seconds with two decimals; anything after them is not part of it.
    const QString value = token.left(token.lastIndexOf(QLatin1Char('.')) + 3);
    bool ok = false;
    const double read = value.toDouble(&ok);
    if (!ok || !std::isfinite(read))
        return false; // "time=N/A": no reading, the bar stays where it is
    *seconds = read < 0.0 ? 0.0 : read;
    return true;
}

ProgressReport ProgressParser::readLine(const QString &line) {
    ProgressReport report;
    // The name is the user's: whatever words it holds, they are no report.
    report.savedAs = OutputName::savedAsName(line);
    if (!report.savedAs.isEmpty())
        return report;
    double seconds = 0.0;
    if (readTime(line, &seconds)) {
        report.hasTime = true;
        report.seconds = seconds;
    }

    bool summary = true;
    for (const QString &word : kSummaryWords)
        summary = summary && line.contains(word);
    // A summary line may come in shapes without every word; "overhead" on a
    // line that is not a progress line is enough.
    report.fileEnded = summary || (line.contains(kOverhead) && !line.contains(kTimeKey));

    report.decodeError = line.contains(kDecodeError);
    report.diskFull = line.contains(kNoSpace);
    report.writeFailed = report.diskFull || line.contains(kNotPermitted);
    if (report.writeFailed)
        report.writeFailure = line.trimmed();
    if (line.startsWith(kVerdictPrefix) && !line.startsWith(kNotePrefix))
        report.verdict = line.mid(kVerdictPrefix.size()).trimmed();
    return report;
}

ProgressReport ProgressParser::feed(const QByteArray &standardError) {
    m_pending.append(standardError);
    ProgressReport report;
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (!isLineBreak(m_pending.at(i)))
            continue;
        if (i > start)
            report.merge(readLine(decodeToolText(m_pending.mid(start, i - start))));
        start = i + 1;
    }
    m_pending.remove(0, start);
    if (m_pending.size() > kMaxPendingBytes)
        report.merge(flush());
    return report;
}

ProgressReport ProgressParser::flush() {
    ProgressReport report;
    if (!m_pending.isEmpty())
        report = readLine(decodeToolText(m_pending));
    m_pending.clear();
    return report;
}

void ProgressParser::reset() {
    m_pending.clear();
}
