#pragma once

#include <QString>
#include <QStringList>

// One conversion as the main program asks for it: its argument list read into
// fields, still in the old option vocabulary. Values are kept as written;
// the translator decides what each means for Debian's ffmpeg.
struct JobRequest {
    QString input;
    QString output;
    bool overwrite = false; // "-y"

    QString seek;   // "-ss"
    QString length; // "-t"

    // "-cropleft", "-croptop", "-cropright", "-cropbottom"; -1 when absent.
    int cropLeft = -1;
    int cropTop = -1;
    int cropRight = -1;
    int cropBottom = -1;

    bool noVideo = false; // "-vn"
    QString videoCodec;   // first element after "-vcodec"
    QString presetFile;   // "-fpre"
    QString presetName;   // "-vpre"
    QString threads;      // "-threads"
    QString size;         // "-s"
    QString videoBitrate; // "-b"
    QString frameRate;    // "-r"
    QString aspect;       // "-aspect"

    bool audioCodecGiven = false; // "-acodec" seen, even with an empty name
    QString audioCodec;
    QString sampleRate;   // "-ar"
    QString audioBitrate; // "-ab"
    QString channels;     // "-ac"
    QString format;       // "-f"

    // Reads the list; false with a message naming the offending element when
    // it holds something outside the vocabulary.
    static bool parse(const QStringList &arguments, JobRequest *request, QString *error);

    // True for the probe command line: "-i" and a path, nothing else.
    static bool isProbe(const QStringList &arguments);
};
