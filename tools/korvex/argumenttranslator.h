#pragma once

extern "C" {
#include <libavutil/rational.h>
}

#include <QSize>
#include <QString>
#include <QStringList>

#include "wrapperscript.h"
#include "jobrequest.h"

namespace Probe {
struct Media;
}

// The facts about the source that the translation depends on.
struct SourceFacts {
    bool hasVideo = false;
    bool hasAudio = false;
    int videoIndex = -1; // stream the job converts, as ffmpeg itself would pick it
    int audioIndex = -1;
    int width = 0; // as displayed, after any rotation
    int height = 0;
    int sarNum = 1;
    int sarDen = 1;
    int sampleRate = 0;
    int channels = 0;
    QString channelLayout; // the library's name ("5.1(side)"); empty when unknown
    double videoDuration = -1;
    double audioDuration = -1;
    double duration = -1;
    // Seconds after the file's start at which the stream's first timestamp
    // lies. ffmpeg counts its input timestamps from the file's start, so this
    // is where the stream begins on the clock the filters see.
    double videoOffset = 0;
    double audioOffset = 0;
    double frameRate = 0;
    QString videoCodec; // the library's name of the picture's codec
    // What the picture's stream says of its fields.
    enum class Scan { Unknown, Progressive, Interlaced };
    Scan statedScan = Scan::Unknown;
    // Which frames the job deinterlaces: none; those that say they hold two
    // fields; or every frame, whose fields lie in the order named.
    enum class Weave { None, Flagged, TopFirst, BottomFirst };
    Weave weave = Weave::None;
    // An HDR picture's transfer ("smpte2084", "arib-std-b67"); empty for any
    // other picture.
    QString hdrTransfer;
    // The picture's colours as its stream names them ("bt709", "tv"...);
    // empty where it does not say.
    QString colorPrimaries;
    QString colorTransfer;
    QString colorMatrix;
    QString colorRange;
    bool rgbPicture = false; // its pixels are RGB: no YUV matrix of their own
    // How ffmpeg must read the source, as korvex's own open found it:
    // options before "-i" and the address after it (empty: the plain file).
    QStringList inputOptions;
    QString inputUrl;

    static SourceFacts from(const Probe::Media &media);
};

// The ffmpeg command line for one job and what its result must look like.
struct FfmpegCommand {
    QStringList arguments; // without the program name
    QString muxer;
    bool writesVideo = false;
    bool writesAudio = false;
    double expectedDuration = -1; // seconds; negative when it cannot be told
    QStringList notes;            // choices made in place of the request, for the log
};

// Turns a job of the old vocabulary, and the wrapper script it may name, into
// the arguments of Debian's ffmpeg (5.1).
class ArgumentTranslator {
public:
    ArgumentTranslator(const JobRequest &request, const SourceFacts &source);

    // The job reads a wrapper script instead of the source itself.
    // logoInputOptions: how ffmpeg must read the script's logo picture, as
    // korvex's own open found it.
    void setScript(const WrapperScript &script, const QStringList &logoInputOptions = {});

    // sourcePath and outputPath are absolute; outputPath is where ffmpeg
    // writes (the temporary file), the request's output names the format.
    bool translate(const QString &sourcePath, const QString &outputPath, FfmpegCommand *command,
                   QString *error) const;

    // "128K", "128k", "128kbps", "128000", "1.5M" ... in bits per second; a
    // plain number below 10000 counts in kb/s, as the old option did. 0 for
    // "Auto", empty or unreadable text.
    static qint64 parseBitrate(const QString &text);

    // Seconds from "90", "90.5" or "00:01:30.5"; negative when unreadable.
    static double parseTime(const QString &text);

private:
    struct VideoPlan;
    struct AudioPlan;

    bool planVideo(const QString &muxer, bool audioOnly, VideoPlan *plan,
                   FfmpegCommand *command) const;
    bool planAudio(const QString &muxer, bool audioOnly, AudioPlan *plan,
                   FfmpegCommand *command) const;
    struct Colours;

    // outputSize: the picture the encoder gets; invalid when it cannot be told.
    QStringList videoFilters(const VideoPlan &plan, QStringList *beforeLogo, QSize *outputSize,
                             QString *error) const;
    Colours colours(const QString &encoder, QSize outputSize) const;
    static void appendColourConversion(QStringList *chain, const Colours &colours,
                                       bool beforeScale);
    static QStringList colourTags(const Colours &colours);
    QStringList audioFilters() const;
    QStringList downmixFilters(const AudioPlan &plan) const;
    QStringList plainAudioFilters() const;
    static QStringList soundAgainstPicture(double pictureStart, double soundStart);
    double scriptOrigin() const;
    double plainPictureStart() const;
    double plainSoundStart() const;
    bool requestedRate(AVRational *rate) const;
    static AVRational exactRate(AVRational rate);
    AVRational scriptRate() const;
    QStringList toneMapFilters(const QString &encoder) const;
    bool writesHdrAsSdr(const QString &encoder) const;
    bool requestedAspect(AVRational *aspect) const;
    void appendSquarePixels(QStringList *chain, QSize *size, AVRational sar) const;
    double expectedDuration(bool video, bool audio) const;

    JobRequest m_request;
    SourceFacts m_source;
    bool m_hasScript = false;
    WrapperScript m_script;
    QStringList m_logoInputOptions;
};
