#include "transcoderlog.h"

#include <QRegularExpression>
#include <QString>

namespace {

// A line without end this long is passed on in pieces rather than kept.
constexpr qsizetype kMaxLine = 16 * 1024;

bool isProgress(const QByteArray &message) {
    return (message.startsWith("frame=") || message.startsWith("size=") ||
            message.startsWith("Lsize=")) &&
           message.contains("time=");
}

bool isWriteFailure(const QByteArray &message) {
    static const char *const texts[] = {"No space left on device", "Disk quota exceeded",
                                        "File too large", "Read-only file system",
                                        "Error writing trailer"};
    for (const char *t : texts) {
        if (message.contains(t))
            return true;
    }
    return false;
}

} // namespace

QByteArray TranscoderLog::rewriteProgress(const QByteArray &line) {
    static const QRegularExpression clock(
        QStringLiteral("time=(-?)(\\d+):(\\d\\d):(\\d\\d)\\.(\\d\\d)"));
    QString text = QString::fromLatin1(line).trimmed();
    const QRegularExpressionMatch m = clock.match(text);
    if (!m.hasMatch())
        return QByteArray();
    qint64 hundredths = ((m.captured(2).toLongLong() * 60 + m.captured(3).toLongLong()) * 60 +
                         m.captured(4).toLongLong()) *
                            100 +
                        m.captured(5).toLongLong();
    if (!m.captured(1).isEmpty())
        hundredths = 0; // the first frames may sit just before zero
    const QString seconds = QStringLiteral("time=%1.%2")
                                .arg(hundredths / 100)
                                .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
    text.replace(m.capturedStart(), m.capturedLength(), seconds);
    return text.toLatin1();
}

QByteArray TranscoderLog::rewriteSummary(const QByteArray &line) {
    static const QRegularExpression dropped(
        QStringLiteral("\\s*(?:subtitle|other streams):\\s*-?\\d+kB"));
    QString text = QString::fromLatin1(line).trimmed();
    text.remove(dropped);
    text.replace(QLatin1String("muxing overhead: "), QLatin1String("muxing overhead "));
    return text.toLatin1();
}

QList<QByteArray> TranscoderLog::feed(const char *data, qsizetype size) {
    QList<QByteArray> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] != '\n' && data[i] != '\r')
            continue;
        m_partial.append(data + start, i - start);
        start = i + 1;
        if (!m_partial.isEmpty())
            takeLine(m_partial, &out);
        m_partial.clear();
    }
    m_partial.append(data + start, size - start);
    if (m_partial.size() > kMaxLine) {
        takeLine(m_partial, &out);
        m_partial.clear();
    }
    return out;
}

QList<QByteArray> TranscoderLog::finish() {
    QList<QByteArray> out;
    if (!m_partial.isEmpty())
        takeLine(m_partial, &out);
    m_partial.clear();
    return out;
}

void TranscoderLog::takeLine(const QByteArray &line, QList<QByteArray> *out) {
    // "[aac @ 0x55…] [info] message": the context prefixes stay, the level
    // tag goes. A line without a tag continues the previous message.
    qsizetype pos = 0;
    while (line.size() > pos && line.at(pos) == '[') {
        const qsizetype close = line.indexOf("] ", pos);
        if (close < 0 || !line.mid(pos, close - pos).contains(" @ "))
            break;
        pos = close + 2;
    }
    const QByteArray context = line.left(pos);
    if (line.size() > pos && line.at(pos) == '[') {
        const qsizetype close = line.indexOf("] ", pos);
        const QByteArray tag = close > pos ? line.mid(pos + 1, close - pos - 1) : QByteArray();
        Level level = Level::Unknown;
        if (tag == "panic" || tag == "fatal" || tag == "error")
            level = Level::Error;
        else if (tag == "warning")
            level = Level::Warning;
        else if (tag == "info" || tag == "verbose" || tag == "debug" || tag == "trace")
            level = Level::Info;
        if (level != Level::Unknown) {
            m_level = level;
            pos = close + 2;
        }
    }
    const QByteArray message = line.mid(pos).trimmed();
    if (message.isEmpty())
        return;

    if (m_level == Level::Info) {
        if (isProgress(message)) {
            const QByteArray rewritten = rewriteProgress(message);
            if (message.contains("Lsize="))
                m_finalProgress = rewritten.isEmpty() ? message : rewritten;
            else if (!rewritten.isEmpty())
                out->append(rewritten + '\n');
        } else if (message.startsWith("video:") && message.contains("muxing overhead")) {
            m_summary = rewriteSummary(message);
        }
        return;
    }
    if (m_level == Level::Error) {
        if (message.contains("Error while decoding stream"))
            ++m_decodeErrors;
        if (message.contains("partial file"))
            m_partialFile = true;
        if (isWriteFailure(message)) {
            m_writeFailure = true;
            if (m_writeError.isEmpty())
                m_writeError = context + message;
        }
    }
    out->append(context + message + '\n');
}
