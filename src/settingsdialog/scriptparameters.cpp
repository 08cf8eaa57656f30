#include "scriptparameters.h"

#include <QList>

#include "conversion/avsscript.h"
#include "platform/filecalls.h"
#include "platform/safefile.h"

namespace {

const QByteArray kMarker = QByteArrayLiteral("#User parameters");
// Far more than any script the program writes.
constexpr qint64 kMaxScriptBytes = 1024 * 1024;
constexpr int kWidthOffset = 1;
constexpr int kHeightOffset = 2;
constexpr int kChannelsOffset = 4;
constexpr int kSampleRateOffset = 5;

std::optional<int> wholeNumber(const QString &text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

QByteArray withoutCarriageReturn(const QByteArray &line) {
    return line.endsWith('\r') ? line.chopped(1) : line;
}

// Keeps the line's own "\r" so that a script with Windows line ends keeps
// them throughout.
void replaceLine(QByteArray &line, const QString &text) {
    const bool carriageReturn = line.endsWith('\r');
    line = text.toUtf8();
    if (carriageReturn)
        line += '\r';
}

QString untouchedMessage(const QString &path, const QString &why) {
    return QStringLiteral("The new settings were applied, but the conversion script\n%1\n%2 "
                          "Its size, channel and sample-rate lines were left as they were.")
        .arg(path, why);
}

} // namespace

namespace ScriptParameters {

ScriptParameterValues valuesFor(const QString &outputSize, const QString &channelsText,
                                const QString &sampleRateText) {
    ScriptParameterValues values;
    const int x = outputSize.indexOf(QLatin1Char('x'));
    if (x >= 0) {
        const auto width = wholeNumber(outputSize.left(x));
        const auto height = wholeNumber(outputSize.mid(x + 1));
        if (width && height) {
            values.width = width;
            values.height = height;
        }
    }
    values.channels = AvsScript::channelCount(channelsText);
    values.sampleRate = AvsScript::sampleRate(sampleRateText);
    return values;
}

std::optional<QByteArray> patchedText(const QByteArray &text, const ScriptParameterValues &values,
                                      Outcome *outcome) {
    auto fail = [outcome](Outcome why) -> std::optional<QByteArray> {
        if (outcome)
            *outcome = why;
        return std::nullopt;
    };

    QList<QByteArray> lines = text.split('\n');
    // A final "\n" ends the last line; it does not start another one.
    const qsizetype lineCount = text.endsWith('\n') ? lines.size() - 1 : lines.size();

    qsizetype marker = -1;
    for (qsizetype i = 0; i < lineCount; ++i) {
        if (withoutCarriageReturn(lines.at(i)) == kMarker) {
            marker = i;
            break;
        }
    }
    if (marker < 0)
        return fail(Outcome::NoMarker);
    if (lineCount - 1 - marker < kSampleRateOffset)
        return fail(Outcome::TooFewLines);

    if (values.width && values.height) {
        replaceLine(lines[marker + kWidthOffset],
                    QStringLiteral("OutputWidth = %1/4*4").arg(*values.width));
        replaceLine(lines[marker + kHeightOffset],
                    QStringLiteral("OutputHeight = %1/2*2").arg(*values.height));
    }
    replaceLine(lines[marker + kChannelsOffset],
                QStringLiteral("OutputChannels = %1").arg(values.channels));
    replaceLine(lines[marker + kSampleRateOffset],
                QStringLiteral("OutputSamplesPerSec = %1").arg(values.sampleRate));

    if (outcome)
        *outcome = Outcome::Patched;
    return lines.join('\n');
}

Report patchFile(const QString &path, const ScriptParameterValues &values) {
    Report report;
    if (path.isEmpty()) {
        report.outcome = Outcome::NoScript;
        return report;
    }

    // Through the file-call helper where the thread has one: the program's
    // own folder may be on a drive that stops answering.
    QByteArray text;
    const int unread = FileCalls::readWhole(path, &text, kMaxScriptBytes);
    if (unread != 0) {
        report.outcome = Outcome::Unreadable;
        report.message = untouchedMessage(
            path, QStringLiteral("could not be read (%1).").arg(SafeFile::reasonText(unread)));
        return report;
    }

    const std::optional<QByteArray> patched = patchedText(text, values, &report.outcome);
    if (!patched) {
        report.message = untouchedMessage(
            path, report.outcome == Outcome::NoMarker
                      ? QStringLiteral("has no \"#User parameters\" block.")
                      : QStringLiteral("has an incomplete \"#User parameters\" block."));
        return report;
    }
    if (*patched == text)
        return report;

    QString reason;
    if (!FileCalls::replace(path, *patched, &reason)) {
        report.outcome = Outcome::WriteFailed;
        report.message =
            untouchedMessage(path, QStringLiteral("could not be written (%1).").arg(reason));
        return report;
    }
    return report;
}

} // namespace ScriptParameters
