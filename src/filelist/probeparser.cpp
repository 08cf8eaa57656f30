#include "probeparser.h"

#include <QRegularExpression>

#include "filelist/tooltext.h"

// The reading rules work on fixed-width windows of the old stream-line shapes
// ("Duration: 00:01:23.45, start: ...", "Stream #0.0: Video: mpeg4, yuv420p,
// 640x480 [PAR 1:1 DAR 4:3], 25 tbr, ..."). The text helpers keep the cutting
// behaviour of those rules at the edges, so a missing key gives the same
// (harmless) text it always gave instead of a crash or a guess.
namespace {

const QString kDurationKey = QStringLiteral("Duration:");
const QString kBitrateKey = QStringLiteral("bitrate:");
const QString kBitrateFallbackKey = QStringLiteral("bitrate: ");
const QString kVideoKey = QStringLiteral("Video:");
const QString kAudioKey = QStringLiteral("Audio:");
const QString kKbps = QStringLiteral("kb/s");
const QString kFrameRateAnchor = QStringLiteral("tbr");
const QString kCodecFieldStart = QStringLiteral("o:");
const QString kRatioKey = QStringLiteral("DAR");
const QString kNotAvailable = QStringLiteral("N/A");
const QString kDefaultMark = QStringLiteral("(default)");

constexpr int kDurationWindow = 20;   // "Duration: HH:MM:SS.d"
constexpr int kDurationValue = 10;    // "HH:MM:SS.d"
constexpr int kBitrateWindow = 20;    // "bitrate: NNNN kb/s"
constexpr int kFrameRateWindow = 130; // where "tbr" may stand after "Video:"
constexpr int kFrameRateField = 7;    // the rate and the blank before "tbr"

// The text after the first key. When the key is missing the text loses its
// first (key length - 1) characters; a one-character key leaves it whole.
QString afterFirst(const QString &text, const QString &key) {
    return text.right(text.size() - text.indexOf(key) - key.size());
}

QString afterLast(const QString &text, const QString &key) {
    return text.right(text.size() - text.lastIndexOf(key) - key.size());
}

// The text before the first key; the whole text when the key is missing.
QString beforeFirst(const QString &text, const QString &key) {
    return text.left(text.indexOf(key));
}

QString beforeLast(const QString &text, const QString &key) {
    return text.left(text.lastIndexOf(key));
}

double asNumber(const QString &text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

// The text up to the end of its first line.
QString firstLine(const QString &text) {
    qsizetype end = text.size();
    for (const QChar breakChar : {QLatin1Char('\n'), QLatin1Char('\r')}) {
        const qsizetype at = text.indexOf(breakChar);
        if (at >= 0 && at < end)
            end = at;
    }
    return text.left(end);
}

QString ratioText(double numerator, double denominator) {
    return QString::number(numerator / denominator, 'f', 3);
}

// One field of "HH:MM:SS.d"; a field that is not a count, "-4" included,
// reads as 0, so that no duration comes out below zero.
int clockField(const QString &text) {
    const int value = text.toInt();
    return value > 0 ? value : 0;
}

// A recording of 100 hours or more has three or more hour digits, which the
// fixed window would cut to their first two: such a clock is read whole.
bool readLongClock(const QString &afterKey, ProbeResult &result) {
    static const QRegularExpression clock(
        QStringLiteral("^\\s*(\\d{3,}):(\\d\\d):(\\d\\d)(?:\\.(\\d))?"));
    const QRegularExpressionMatch m = clock.match(afterKey);
    if (!m.hasMatch())
        return false;
    const qint64 whole =
        (m.captured(1).toLongLong() * 60 + m.captured(2).toInt()) * 60 + m.captured(3).toInt();
    const int tenths = m.captured(4).toInt();
    result.probedDuration =
        m.captured(1) + QLatin1Char(':') + m.captured(2) + QLatin1Char(':') + m.captured(3);
    result.probedSecondsExact = QString::number(whole + tenths / 10.0, 'g', 10);
    result.probedSeconds = QString::number(whole);
    return true;
}

void readDuration(const QString &text, qsizetype at, ProbeResult &result) {
    if (text.mid(at + kDurationKey.size()).trimmed().startsWith(kNotAvailable)) {
        result.probedDuration = ProbeResult::kUnknownDuration;
        return;
    }
    if (readLongClock(text.mid(at + kDurationKey.size()), result))
        return;
    // Within its line, like the bitrate: a short line must not carry the
    // next one into the duration cell.
    const QString value = firstLine(text.mid(at, kDurationWindow)).right(kDurationValue);
    const qsizetype dot = value.lastIndexOf(QLatin1Char('.'));
    result.probedDuration = dot < 0 ? value : value.left(dot);

    const int hours = clockField(value.left(2));
    const int minutes = clockField(value.right(7).left(2));
    const int seconds = clockField(value.right(4).left(2));
    const int tenths = clockField(value.right(1));
    const int whole = (hours * 60 + minutes) * 60 + seconds;
    result.probedSecondsExact = QString::number(whole + tenths / 10.0, 'g', 6);
    result.probedSeconds = QString::number(whole);
}

void readVideo(const QString &videoText, ProbeResult &result) {
    QString rate =
        beforeLast(videoText.left(kFrameRateWindow), kFrameRateAnchor).right(kFrameRateField);
    rate.chop(1);
    if (rate.contains(QLatin1Char(',')))
        rate = afterFirst(rate, QStringLiteral(","));
    result.probedFrameRate = rate.simplified();

    const QString fields = afterFirst(videoText, kCodecFieldStart);
    result.probedVideoCodec = beforeFirst(fields, QStringLiteral(",")).simplified();

    // From the third field on: the frame size, with or without its bracket.
    // Only the stream line itself is read: a "[" or "DAR" on a later line
    // belongs to something else and must not stretch the size over it.
    const QString sizeField =
        firstLine(afterFirst(afterFirst(fields, QStringLiteral(",")), QStringLiteral(",")));
    const qsizetype bracket = sizeField.indexOf(QLatin1Char('['));
    if (bracket >= 0) {
        QString ratio = beforeFirst(afterLast(sizeField, kRatioKey), QStringLiteral(","));
        ratio.remove(QLatin1Char(']'));
        result.probedDisplayRatio = ratioText(asNumber(beforeFirst(ratio, QStringLiteral(":"))),
                                              asNumber(afterFirst(ratio, QStringLiteral(":"))));
        result.probedFrameSize = sizeField.left(bracket).simplified();
    } else {
        const QString size = beforeFirst(sizeField, QStringLiteral(","));
        result.probedDisplayRatio = ratioText(asNumber(beforeFirst(size, QStringLiteral("x"))),
                                              asNumber(afterFirst(size, QStringLiteral("x"))));
        result.probedFrameSize = size.simplified();
    }
}

void readAudio(const QString &text, const QString &audioText, ProbeResult &result) {
    result.probedAudioCodec =
        afterFirst(beforeFirst(audioText, QStringLiteral(",")), QStringLiteral(":")).simplified();
    if (audioText.contains(kKbps)) {
        result.probedAudioBitrate =
            afterLast(beforeFirst(audioText, kKbps), QStringLiteral(",")).simplified();
    } else {
        // No bitrate on the stream line: the overall bitrate stands in.
        result.probedAudioBitrate =
            afterLast(beforeFirst(text, kKbps), kBitrateFallbackKey).simplified();
    }
}

// Where the first sound line marked as the default track starts (its
// "Audio:"), or -1. Of several tracks that is the one that gets converted.
qsizetype defaultAudio(const QString &text) {
    for (qsizetype at = text.indexOf(kAudioKey); at >= 0; at = text.indexOf(kAudioKey, at + 1)) {
        if (firstLine(text.mid(at)).contains(kDefaultMark))
            return at;
    }
    return -1;
}

} // namespace

void ProbeParser::reset() {
    m_bytes.clear();
}

void ProbeParser::append(const QByteArray &standardError) {
    m_bytes.append(standardError);
}

QString ProbeParser::text() const {
    // Decoded whole, so a character split between two chunks stays intact.
    return decodeToolText(m_bytes);
}

ProbeResult ProbeParser::result() const {
    return parse(text());
}

ProbeResult ProbeParser::parse(const QString &text) {
    ProbeResult result;

    const qsizetype duration = text.lastIndexOf(kDurationKey);
    if (duration < 0)
        return result;
    readDuration(text, duration, result);

    QString probeText = text.mid(duration);
    const qsizetype bitrate = text.indexOf(kBitrateKey);
    if (bitrate >= 0) {
        // Within its line: "bitrate: N/A" must not pick up the next line.
        const QString window = firstLine(text.mid(bitrate, kBitrateWindow));
        result.probedBitrate =
            beforeFirst(afterFirst(window, QStringLiteral(":")), kKbps).simplified();
        probeText = text.mid(bitrate);
    }

    const qsizetype marked = defaultAudio(text);
    const qsizetype video = text.lastIndexOf(kVideoKey);
    if (video >= 0) {
        result.hasVideo = true;
        readVideo(text.mid(video), result);
        const qsizetype audio = text.lastIndexOf(kAudioKey);
        if (marked >= 0)
            readAudio(text, firstLine(text.mid(marked)), result);
        else if (audio >= 0)
            readAudio(text, text.mid(audio), result);
        return result;
    }

    if (!text.contains(kAudioKey))
        return result;
    result.audioOnly = true;
    if (marked >= 0) {
        readAudio(text, firstLine(text.mid(marked)), result);
        return result;
    }
    const qsizetype audio = probeText.indexOf(kAudioKey);
    readAudio(text, audio >= 0 ? probeText.mid(audio) : probeText, result);
    return result;
}
