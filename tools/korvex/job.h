#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "argumenttranslator.h"
#include "jobrequest.h"
#include "transcoderlog.h"

// One conversion: checks the request, runs ffmpeg on a temporary file beside
// the output, passes its text on, checks the result and only then gives it the
// output's name, never replacing a file that has come under it meanwhile.
// Stopping korvex (SIGTERM, SIGINT, SIGHUP or a closed standard error) ends
// ffmpeg and removes the temporary file, unless the publish has begun: then
// the job ends as done. If korvex is killed outright, ffmpeg dies with it and
// the hidden ".part" file is swept away by the next job on the same output,
// once it is seen that korvex has gone.
//
// A job that does not succeed says why in one line of its own, the last it
// writes: "korvex: REASON". Notes ("korvex: note: ...") never end a job.
class Job {
public:
    enum ExitCode {
        Success = 0,
        Failed = 1,  // the conversion ran and did not give a whole file
        Refused = 2, // nothing was started: the request or the script is unusable
        Stopped = 255
    };

    explicit Job(const QStringList &arguments);
    int run();

    // The hidden name the output is written under until it is complete.
    static QString temporaryPath(const QString &outputPath, qint64 pid);

private:
    bool prepare(int *exitCode);
    bool refuseSameFile(const QStringList &sources);
    // 0 once the part file is there and held; else the reason.
    int makePartFile();
    // 0 when the output's drive can give it its name without replacing a
    // file; else the reason.
    int tryPublishing() const;
    int execute();
    int finishAfterStop();
    int verifyAndPublish(int status);
    // 0 once the output is there, under its own name or the next free one
    // (published); otherwise the reason.
    int publish(QString *published);
    int publishAs(const QString &path);
    int fail(const QByteArray &message);
    void say(const QByteArray &text);
    void sweepStaleTemporaries() const;

    QStringList m_arguments;
    JobRequest m_request;
    QString m_input;  // absolute: the source or the script
    QString m_source; // absolute: the media file itself
    QString m_output; // absolute
    QString m_temporary;
    int m_partFd = -1; // open while the job lasts: it holds the part file's lock
    FfmpegCommand m_command;
    qint64 m_lastProgressMs = -1;
    bool m_callerGone = false;
    TranscoderLog m_log;
};
