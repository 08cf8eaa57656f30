#pragma once

#include <QByteArray>
#include <QString>

// What the running transcoder's text said since the last feed.
struct ProgressReport {
    bool hasTime = false;     // a "time=" reading was found
    double seconds = 0.0;     // the last reading: seconds of output written
    bool fileEnded = false;   // the end-of-file summary was seen
    bool decodeError = false; // "Error while decoding stream"
    bool writeFailed = false; // the output could not be written
    bool diskFull = false;    // ... because the disk is full
    QString savedAs;          // the output's file name, when the transcoder took another
    // The transcoder's own one-line account of why the job did not succeed,
    // without its "korvex: " prefix; the last one seen wins.
    QString verdict;
    // The line that told of a failed write, as the transcoder passed it on;
    // the first one seen wins: it names the cause.
    QString writeFailure;

    void merge(const ProgressReport &later);
};

// Reads the transcoder's progress text line by line. The transcoder ends its
// progress lines with "\r" and its other lines with "\n", and the pipe cuts
// the stream anywhere, so a line is only judged once it is complete: the rest
// of a chunk waits for the next one. flush() judges the unterminated last
// line when the process has ended.
class ProgressParser {
public:
    ProgressReport feed(const QByteArray &standardError);
    ProgressReport flush();
    void reset();

    // The rules for one complete line.
    static ProgressReport readLine(const QString &line);
    // The seconds of a "time=" field: "time=10.00" or "time=00:00:10.00".
    static bool readTime(const QString &line, double *seconds);

private:
    QByteArray m_pending;
};
