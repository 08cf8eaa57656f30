#pragma once

#include <QString>

// How long a file plays. Matroska, QuickTime and ASF give their duration
// from 0, not from their first timestamp: a file whose timestamps start at
// 7 s and hold 6 s says 13 s. Other containers give the 6 s themselves.
class ContentLength {
public:
    // formatName is libavformat's name of the demuxer ("matroska,webm");
    // duration and start in seconds as libavformat gives them.
    static double of(const QString &formatName, double duration, double start);
};
