#pragma once

#include <QByteArray>
#include <QList>

// Reads ffmpeg's standard error (run with "-loglevel level+info") and decides
// what the main program gets to see: progress lines with "time=" in seconds,
// warnings and errors as ffmpeg wrote them; the banner-like stream
// descriptions are dropped because the progress reader would take their
// words for its own. The last progress line and the summary are held back:
// they announce a finished file, which only korvex can tell after checking it.
class TranscoderLog {
public:
    // Takes the next bytes as they came from the pipe; returns the lines to
    // pass on now, each ending with "\n".
    QList<QByteArray> feed(const char *data, qsizetype size);
    // End of the stream: the unterminated rest, if any.
    QList<QByteArray> finish();

    QByteArray finalProgress() const { return m_finalProgress; }
    QByteArray summary() const { return m_summary; }
    int decodeErrors() const { return m_decodeErrors; }
    bool partialFile() const { return m_partialFile; }
    bool writeFailure() const { return m_writeFailure; }
    // The error line that first told of the failed write: the cause, where
    // the lines after it tell what could not be done.
    QByteArray writeError() const { return m_writeError; }

    // "time=00:01:02.50" becomes "time=62.50"; empty when the line has no
    // time to give.
    static QByteArray rewriteProgress(const QByteArray &line);
    // ffmpeg 5.1's summary in the old words: "video:…kB audio:…kB global
    // headers:…kB muxing overhead …%".
    static QByteArray rewriteSummary(const QByteArray &line);

private:
    enum class Level { Unknown, Error, Warning, Info };

    void takeLine(const QByteArray &line, QList<QByteArray> *out);

    QByteArray m_partial;
    Level m_level = Level::Unknown;
    QByteArray m_finalProgress;
    QByteArray m_summary;
    QByteArray m_writeError;
    int m_decodeErrors = 0;
    bool m_partialFile = false;
    bool m_writeFailure = false;
};
