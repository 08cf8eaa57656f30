#pragma once

#include <limits>

#include <QString>
#include <QStringList>
#include <QVector>

struct AVFormatContext;

// What korvex learns of a media file by opening it in-process with libavformat.
// Used for the probe text the main program reads, for the facts a job needs
// (sizes, rates, durations) and for checking a finished output.
namespace Probe {

struct Stream {
    enum Kind { Video, Audio, Other };
    Kind kind = Other;
    int index = 0;
    QString language;
    QString codec;
    bool isDefault = false; // the file marks it as the one to play
    qint64 bitRate = 0;
    double duration = -1; // seconds, negative when unknown
    // Seconds on the file's clock of the stream's first timestamp; NaN when
    // the file does not tell.
    double startTime = std::numeric_limits<double>::quiet_NaN();

    // Video
    QString pixelFormat;
    int width = 0;
    int height = 0;
    int sarNum = 0; // 0 when the file does not say
    int sarDen = 0;
    double frameRate = 0; // the "tbr" rate
    int timeBaseDen = 0;
    int rotation = 0;         // degrees the picture is turned for display
    bool interlaced = false;  // the stream says its frames hold two fields
    bool progressive = false; // ... or that they are whole; most say neither
    // The colours as the library names them ("bt2020", "smpte2084"...);
    // empty when the file does not say.
    QString colorPrimaries;
    QString colorTransfer;
    QString colorMatrix;
    QString colorRange; // "tv" or "pc"; empty when the file does not say

    // Audio
    int sampleRate = 0;
    int channels = 0;
    QString channelLayout;
    QString layoutName; // the library's own name of the layout, for filters
    QString sampleFormat;
};

struct Media {
    bool opened = false;
    QString error; // the library's words when the file could not be read
    QString formatName;
    double duration = -1;
    double startTime = 0;
    qint64 bitRate = 0;
    qint64 fileSize = 0;
    // The file's own index places media data past its end: it was cut short
    // (an interrupted download or copy).
    bool truncated = false;
    QVector<Stream> streams;
    // How ffmpeg must be told to read the file: the options before "-i"
    // (the demuxer found here) and the address after it (empty for the
    // plain file).
    QStringList inputOptions;
    QString inputUrl;

    const Stream *firstVideo() const;
    const Stream *firstAudio() const;
    // The sound track a job converts and the probe text describes: the one
    // the file marks as default, else the first.
    const Stream *convertedAudio() const;
    bool hasVideo() const { return firstVideo() != nullptr; }
    bool hasAudio() const { return firstAudio() != nullptr; }
    // Longest known duration of the streams of one kind, else the file's.
    double durationOf(Stream::Kind kind) const;
};

// Opens the file the one way korvex reads a source: as itself alone (see
// SourceInput), and a WAV whose header cannot tell its samples as bare
// samples. Gives the open context, for avformat_close_input(), with the
// media's file size, format name and the way ffmpeg must read it; null, with
// the media's error, when the file cannot be read.
AVFormatContext *open(const QString &path, Media *media);

// Opens and describes the file. With exactDuration, a duration that the
// library could only guess from the bitrate is measured from the packets.
Media read(const QString &path, bool exactDuration = false);

// The diagnostic text in the line shapes the main program's probe reader
// expects: the duration line and one line per audio or video stream.
QString describe(const Media &media);

// "HH:MM:SS.cc" as the old transcoder wrote durations.
QString formatClock(double seconds);

} // namespace Probe
