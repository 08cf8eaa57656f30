#pragma once

#include <QString>

// What one probe of an input file tells us. A fresh value is made for every
// probe, so nothing of an earlier file can leak into the next one. Fields the
// probe did not find stay empty.
struct ProbeResult {
    bool hasVideo = false;  // the text had a "Video:" stream line
    bool audioOnly = false; // no "Video:" line, but an "Audio:" line

    // A stream that does not tell its length (a raw .h264 or .m2v stream)
    // shows this, and has no seconds: an unknown length is not a length of 0.
    static inline const QString kUnknownDuration = QStringLiteral("N/A");

    QString probedDuration;     // "HH:MM:SS", or kUnknownDuration
    QString probedSeconds;      // whole seconds, "83"; empty when unknown
    QString probedSecondsExact; // seconds with their tenths, "83.4"; empty when unknown
    QString probedBitrate;      // overall kb/s
    QString probedVideoCodec;
    QString probedFrameSize;    // "640x480"
    QString probedFrameRate;    // "25", "29.97"
    QString probedDisplayRatio; // three decimals, "1.333"
    QString probedAudioCodec;
    QString probedAudioBitrate; // kb/s

    // Filled by the row builder from the file itself and the chosen options,
    // never by the probe.
    QString probedFileMegabytes;
    QString targetFrameSize;
    QString targetVideoCodec;
    QString targetAudioCodec;
    QString targetFrameRate;
    QString targetVideoBitrate;
    QString targetMegabytes;

    // Whether the file can become a row at all.
    bool isMedia() const { return hasVideo || audioOnly; }
};
