#include "argumenttranslator.h"

#include <cmath>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
#include <libswresample/swresample.h>
}

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSize>

#include "conversion/scriptpicture.h"
#include "encodercaps.h"
#include "probe.h"

using EncoderCaps::Kind;

namespace {

// Woven fields are made into whole frames, one frame for each frame, before
// anything scales or drops them: scaled, the two fields smear into each other.
// Frames that say they are whole (film in an interlaced stream) stay sharp.
const QString kDeinterlaceFlagged = QStringLiteral("bwdif=mode=send_frame:deint=interlaced");
// Frames that do not say (DV among them) are all woven, in the order found.
const QString kDeinterlaceAll = QStringLiteral("bwdif=mode=send_frame:parity=%1:deint=all");
// HDR pictures are made SDR in linear light: the transfer undone at 100 nits
// for 1.0, the BT.2020 primaries brought into BT.709, the highlights bent
// down below white. Mobius leaves what lies within SDR's range nearly as it
// was graded.
const QString kLinearLight = QStringLiteral("zscale=t=linear:npl=100:tin=%1");
const QString kToneMap = QStringLiteral("tonemap=tonemap=mobius:desat=0");
// The names that both the library and zscale know.
const QSet<QString> kZscalePrimaries = {"bt709", "bt2020", "smpte431", "smpte432"};
const QSet<QString> kZscaleMatrices = {"bt709", "bt2020nc", "bt2020c", "bt470bg", "smpte170m"};
// Offsets below half a millisecond are rounding, not a late start.
constexpr double kShiftSeconds = 0.0005;
// How near a rate must lie to N × 1000/1001 to be taken for it.
constexpr double kNtscTolerance = 0.002;

// Numbers for ffmpeg in the C locale, without needless zeros.
QString num(double value) {
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

bool isUnset(const QString &text) {
    const QString t = text.trimmed();
    return t.isEmpty() || t.compare(QLatin1String("Auto"), Qt::CaseInsensitive) == 0 ||
           t.compare(QLatin1String("default"), Qt::CaseInsensitive) == 0;
}

QString presetName(const JobRequest &request) {
    if (!request.presetName.trimmed().isEmpty())
        return request.presetName.trimmed();
    if (request.presetFile.trimmed().isEmpty())
        return QString();
    // "x264/libx264-veryfast.ffpreset": the file's keys are of an x264 long
    // gone; its name still says which speed was meant.
    const QString base = QFileInfo(request.presetFile.trimmed()).completeBaseName();
    const int dash = base.indexOf(QLatin1Char('-'));
    return dash < 0 ? base : base.mid(dash + 1);
}

// A crop to the legal size when only a pixel or three are too many (sharper
// than scaling), else a scale.
void appendSizeFix(QStringList *chain, QSize current, QSize legal) {
    if (current == legal)
        return;
    const int dw = current.width() - legal.width();
    const int dh = current.height() - legal.height();
    if (dw >= 0 && dh >= 0 && dw < 4 && dh < 4) {
        *chain << QStringLiteral("crop=%1:%2:%3:%4")
                      .arg(legal.width())
                      .arg(legal.height())
                      .arg(dw / 2)
                      .arg(dh / 2);
        return;
    }
    // One scale straight to the legal size rather than two in a row.
    if (!chain->isEmpty() && chain->last().startsWith(QLatin1String("scale=")))
        chain->removeLast();
    *chain << QStringLiteral("scale=%1:%2").arg(legal.width()).arg(legal.height());
}

// The usual mixing levels of centre and surrounds into the front pair.
constexpr double kMinus3dB = M_SQRT1_2;
// Gains this large are never normalised away: one level for every encoder.
constexpr double kNoNormalising = 1e9;
// A look-ahead limiter 3 dB below full scale, which leaves lossy encoders
// room for their overshoot (AAC's reaches 2 dB); without its own make-up
// gain, and with its look-ahead taken back so that the sound stays with the
// picture.
const QString kDownmixLimiter = QStringLiteral("alimiter=limit=0.708:level=0:latency=1");
// The library works on a square matrix of its largest channel count,
// whatever the layouts: a smaller one is written past its end.
constexpr int kMatrixSide = 64;

// A layout by its name, or the usual one of that many channels.
void layoutOf(const QString &name, int channels, AVChannelLayout *layout) {
    if (name.isEmpty() || av_channel_layout_from_string(layout, name.toLatin1().constData()) < 0 ||
        layout->nb_channels != channels) {
        av_channel_layout_uninit(layout);
        av_channel_layout_default(layout, channels);
    }
}

// The rows of the standard downmix from `from` channels into the layout
// named `to` (a mono output gets the mean of the stereo pair, so that both
// carry the same level); empty when the library has no matrix for these
// layouts.
QVector<QVector<double>> downmixMatrix(const QString &layoutName, int from, const QString &toName,
                                       int to) {
    AVChannelLayout in = {};
    layoutOf(layoutName, from, &in);
    AVChannelLayout out = {};
    layoutOf(to == 1 ? QString() : toName, to == 1 ? 2 : to, &out);
    QVector<double> matrix(kMatrixSide * kMatrixSide, 0.0);
    const int built =
        from <= kMatrixSide
            ? swr_build_matrix2(&in, &out, kMinus3dB, kMinus3dB, 0.0, kNoNormalising, 1.0,
                                matrix.data(), kMatrixSide, AV_MATRIX_ENCODING_NONE, nullptr)
            : -1;
    const int rows = out.nb_channels;
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (built < 0)
        return {};
    QVector<QVector<double>> gains(rows);
    for (int o = 0; o < rows; ++o)
        gains[o] = matrix.mid(o * kMatrixSide, from);
    if (to == 1) {
        QVector<double> mean(from);
        for (int i = 0; i < from; ++i)
            mean[i] = (gains[0][i] + gains[1][i]) / 2;
        gains = {mean};
    }
    return gains;
}

// Players show an untagged picture of this many lines or more, or as wide
// as HD (a scope picture, one turned upright), in BT.709; any smaller one in
// BT.601.
constexpr int kHdLines = 720;
constexpr int kHdWidth = 1280;

bool isHd(QSize size) {
    return size.height() >= kHdLines || size.width() >= kHdWidth;
}

// The YUV matrix that a stream's tag names, as the scale filter calls it;
// empty for none it knows.
QString scaleMatrix(const QString &tag) {
    static const QHash<QString, QString> names = {
        {"bt709", "bt709"},         {"bt470bg", "bt601"}, {"smpte170m", "bt601"},
        {"smpte240m", "smpte240m"}, {"fcc", "fcc"},       {"bt2020nc", "bt2020"},
        {"bt2020c", "bt2020"}};
    return names.value(tag);
}

// The colorspace filter's name of a matrix that the scale filter names.
QString colorspaceName(const QString &scaleMatrix) {
    static const QHash<QString, QString> names = {{"bt601", "bt470bg"},
                                                  {"bt709", "bt709"},
                                                  {"smpte240m", "smpte240m"},
                                                  {"fcc", "fcc"},
                                                  {"bt2020", "bt2020ncl"}};
    return names.value(scaleMatrix);
}

// Encoders whose pictures are RGB: they have no YUV matrix to set or tag.
bool writesRgb(const QString &encoder) {
    if (!EncoderCaps::pixelFormat(encoder).isEmpty())
        return false;
    const AVCodec *codec = avcodec_find_encoder_by_name(encoder.toLatin1().constData());
    if (!codec || !codec->pix_fmts)
        return false;
    const AVPixFmtDescriptor *first = av_pix_fmt_desc_get(codec->pix_fmts[0]);
    return first && (first->flags & AV_PIX_FMT_FLAG_RGB);
}

} // namespace

// How the output's YUV is made from the source's: the matrix and range the
// source's pixels are in (an empty matrix: RGB pixels), and the ones the
// output's size and format mean to a player.
struct ArgumentTranslator::Colours {
    bool applies = false; // false: the pixels and their tags pass as they are
    QString inMatrix;
    QString inRange; // "tv", "pc", or empty when unknown (taken as "tv")
    QString outMatrix;
    bool fullRange = false;
    QString primaries; // the source's, which no step changes; empty: unknown
    QString transfer;
};

struct ArgumentTranslator::VideoPlan {
    QString encoder;
    QString preset;
    QString profile;
    QSize requestedSize; // "-s", invalid when absent
};

struct ArgumentTranslator::AudioPlan {
    QString encoder;
    int sampleRate = 0; // 0 leaves ffmpeg's choice
    int channels = 0;
    qint64 bitrate = 0;
};

SourceFacts SourceFacts::from(const Probe::Media &media) {
    using Scan = SourceFacts::Scan;
    using Weave = SourceFacts::Weave;
    SourceFacts facts;
    const Probe::Stream *video = nullptr;
    const Probe::Stream *audio = nullptr;
    // The same picture ffmpeg picks by itself: the largest. The sound is the
    // track the file marks as default, not the one with the most channels.
    for (const Probe::Stream &s : media.streams) {
        if (s.kind == Probe::Stream::Video &&
            (!video || qint64(s.width) * s.height > qint64(video->width) * video->height))
            video = &s;
    }
    audio = media.convertedAudio();
    if (video) {
        facts.hasVideo = true;
        facts.videoIndex = video->index;
        facts.width = video->width;
        facts.height = video->height;
        if (video->sarNum > 0 && video->sarDen > 0) {
            facts.sarNum = video->sarNum;
            facts.sarDen = video->sarDen;
        }
        facts.videoDuration = video->duration;
        facts.frameRate = video->frameRate;
        facts.videoCodec = video->codec;
        facts.statedScan = video->interlaced    ? Scan::Interlaced
                           : video->progressive ? Scan::Progressive
                                                : Scan::Unknown;
        // Until the pictures are looked at, the stream is taken at its word.
        facts.weave = facts.statedScan == Scan::Interlaced ? Weave::Flagged : Weave::None;
        if (video->colorTransfer == QLatin1String("smpte2084") ||
            video->colorTransfer == QLatin1String("arib-std-b67"))
            facts.hdrTransfer = video->colorTransfer;
        facts.colorPrimaries = video->colorPrimaries;
        facts.colorTransfer = video->colorTransfer;
        facts.colorMatrix = video->colorMatrix;
        facts.colorRange = video->colorRange;
        const AVPixFmtDescriptor *pixels =
            av_pix_fmt_desc_get(av_get_pix_fmt(video->pixelFormat.toLatin1().constData()));
        facts.rgbPicture = pixels && (pixels->flags & AV_PIX_FMT_FLAG_RGB);
        // The JPEG formats are full range whatever the stream says.
        if (video->pixelFormat.startsWith(QLatin1String("yuvj")))
            facts.colorRange = QStringLiteral("pc");
    }
    if (audio) {
        facts.hasAudio = true;
        facts.audioIndex = audio->index;
        facts.sampleRate = audio->sampleRate;
        facts.channels = audio->channels;
        facts.channelLayout = audio->layoutName;
        facts.audioDuration = audio->duration;
    }
    facts.duration = media.duration;
    auto offset = [&media](const Probe::Stream *stream) {
        return stream && std::isfinite(stream->startTime)
                   ? std::max(0.0, stream->startTime - media.startTime)
                   : 0.0;
    };
    facts.videoOffset = offset(video);
    facts.audioOffset = offset(audio);
    facts.inputOptions = media.inputOptions;
    facts.inputUrl = media.inputUrl;
    return facts;
}

ArgumentTranslator::ArgumentTranslator(const JobRequest &request, const SourceFacts &source)
    : m_request(request), m_source(source) {}

void ArgumentTranslator::setScript(const WrapperScript &script,
                                   const QStringList &logoInputOptions) {
    m_hasScript = true;
    m_script = script;
    m_logoInputOptions = logoInputOptions;
}

qint64 ArgumentTranslator::parseBitrate(const QString &text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*([kKmM]?)\\s*(?:b(?:its?)?(?:ps|/s)?)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return 0;
    double value = m.captured(1).toDouble();
    const QString unit = m.captured(2).toLower();
    if (unit == QLatin1String("k"))
        value *= 1000;
    else if (unit == QLatin1String("m"))
        value *= 1000000;
    else if (value < 10000)
        value *= 1000;
    return value >= 1 ? qint64(std::llround(value)) : 0;
}

double ArgumentTranslator::parseTime(const QString &text) {
    const QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.isEmpty())
        return -1;
    int64_t us = 0;
    if (av_parse_time(&us, bytes.constData(), 1) < 0 || us < 0)
        return -1;
    return double(us) / 1e6;
}

bool ArgumentTranslator::planVideo(const QString &muxer, bool audioOnly, VideoPlan *plan,
                                   FfmpegCommand *command) const {
    if (!m_source.hasVideo || m_request.noVideo || audioOnly)
        return false;
    const QString wanted = m_request.videoCodec.trimmed();
    QString encoder = EncoderCaps::resolveEncoder(wanted, Kind::Video);
    if (!encoder.isEmpty() &&
        !EncoderCaps::containerAccepts(muxer, encoder, Kind::Video, audioOnly)) {
        command->notes << QStringLiteral("%1 cannot carry %2").arg(muxer, encoder);
        encoder.clear();
    }
    if (encoder.isEmpty()) {
        encoder = EncoderCaps::defaultEncoder(muxer, Kind::Video);
        if (encoder.isEmpty())
            return false;
        if (!wanted.isEmpty())
            command->notes << QStringLiteral("video encoder %1 used instead").arg(encoder);
    }
    plan->encoder = encoder;

    if (!isUnset(m_request.size)) {
        int w = 0;
        int h = 0;
        if (av_parse_video_size(&w, &h, m_request.size.trimmed().toLatin1().constData()) >= 0 &&
            w > 0 && h > 0)
            plan->requestedSize = QSize(w, h);
        else
            command->notes << QStringLiteral("frame size '%1' not understood, source size kept")
                                  .arg(m_request.size);
    }

    const QString preset = presetName(m_request);
    if (!preset.isEmpty() && EncoderCaps::takesPreset(encoder)) {
        static const QSet<QString> speeds = {"ultrafast", "superfast", "veryfast", "faster",
                                             "fast",      "medium",    "slow",     "slower",
                                             "veryslow",  "placebo"};
        static const QSet<QString> profiles = {"baseline", "main", "high"};
        const QString lower = preset.toLower();
        if (speeds.contains(lower))
            plan->preset = lower;
        else if (profiles.contains(lower))
            plan->profile = lower;
        else
            command->notes
                << QStringLiteral("preset '%1' not known, encoder defaults used").arg(preset);
    }
    return true;
}

bool ArgumentTranslator::planAudio(const QString &muxer, bool audioOnly, AudioPlan *plan,
                                   FfmpegCommand *command) const {
    if (!m_source.hasAudio)
        return false;
    const QString wanted = m_request.audioCodec.trimmed();
    QString encoder = EncoderCaps::resolveEncoder(wanted, Kind::Audio);
    if (!encoder.isEmpty() &&
        !EncoderCaps::containerAccepts(muxer, encoder, Kind::Audio, audioOnly)) {
        command->notes << QStringLiteral("%1 cannot carry %2").arg(muxer, encoder);
        // AAC fits most containers that refuse the wish; else the muxer's own.
        encoder =
            EncoderCaps::containerAccepts(muxer, QStringLiteral("aac"), Kind::Audio, audioOnly)
                ? QStringLiteral("aac")
                : QString();
    }
    if (encoder.isEmpty()) {
        encoder = EncoderCaps::defaultEncoder(muxer, Kind::Audio);
        if (encoder.isEmpty())
            return false;
    }
    if (!wanted.isEmpty() && encoder != EncoderCaps::resolveEncoder(wanted, Kind::Audio))
        command->notes << QStringLiteral("audio encoder %1 used instead").arg(encoder);
    plan->encoder = encoder;

    // Sample rate: the encoder's list decides; ask explicitly so that ffmpeg
    // never has to guess for a container with stricter rules.
    bool rateOk = false;
    const int askedRate = m_request.sampleRate.trimmed().toInt(&rateOk);
    const int wantedRate = rateOk && askedRate > 0 ? askedRate : 0;
    const QVector<int> rates = EncoderCaps::sampleRates(encoder, muxer);
    if (!rates.isEmpty()) {
        const int base =
            wantedRate > 0 ? wantedRate : (m_source.sampleRate > 0 ? m_source.sampleRate : 44100);
        plan->sampleRate = EncoderCaps::nearest(rates, base);
        if (wantedRate > 0 && plan->sampleRate != wantedRate)
            command->notes << QStringLiteral("%1 Hz is not possible with %2, %3 Hz used")
                                  .arg(wantedRate)
                                  .arg(encoder)
                                  .arg(plan->sampleRate);
    } else {
        plan->sampleRate = wantedRate;
    }

    bool channelsOk = false;
    const int askedChannels = m_request.channels.trimmed().toInt(&channelsOk);
    const int wantedChannels =
        channelsOk && askedChannels > 0 && askedChannels <= 8 ? askedChannels : 0;
    const int most = EncoderCaps::maxChannels(encoder, muxer);
    const int effective = wantedChannels > 0 ? wantedChannels : m_source.channels;
    if (most > 0 && effective > most) {
        plan->channels = most;
        if (wantedChannels > 0)
            command->notes << QStringLiteral("%1 takes at most %2 channels").arg(encoder).arg(most);
    } else {
        plan->channels = wantedChannels;
    }

    qint64 bitrate = parseBitrate(m_request.audioBitrate);
    if (bitrate == 0 && encoder == QLatin1String("libopencore_amrnb"))
        bitrate = 12200;
    if (bitrate > 0) {
        const int rateForTable = plan->sampleRate > 0 ? plan->sampleRate : m_source.sampleRate;
        plan->bitrate = EncoderCaps::audioBitrate(encoder, bitrate, rateForTable);
    }
    return true;
}

// A script counts its frames from the source's first picture (from its first
// sound when it has no picture), and lays the sound against that picture.
// Where that lies on the clock of ffmpeg's input, which already starts at the
// file's start time.
double ArgumentTranslator::scriptOrigin() const {
    return m_source.hasVideo ? m_source.videoOffset : m_source.audioOffset;
}

// The sound moved so that the picture's first frame, which the picture steps
// put at 0, and the sound that goes with it start together. Sound that begins
// after the first picture starts with silence: many containers (AVI among
// them) ignore a stream's start time and would play it early. Sound from
// before the first picture gets negative times, for a trim to cut.
QStringList ArgumentTranslator::soundAgainstPicture(double pictureStart, double soundStart) {
    const qint64 leadMs = std::llround((soundStart - pictureStart) * 1000);
    if (leadMs > 0)
        return {QStringLiteral("asetpts=PTS-STARTPTS"),
                QStringLiteral("adelay=delays=%1:all=1").arg(leadMs)};
    if (pictureStart > 1e-6)
        return {QStringLiteral("asetpts=PTS-%1/TB").arg(num(pictureStart))};
    return {};
}

// Where picture and sound begin on ffmpeg's clock of a job without a script:
// it counts from the file's start, and from the seek point after a seek,
// before which nothing is kept.
double ArgumentTranslator::plainPictureStart() const {
    return std::max(0.0, m_source.videoOffset - std::max(0.0, parseTime(m_request.seek)));
}

double ArgumentTranslator::plainSoundStart() const {
    return std::max(0.0, m_source.audioOffset - std::max(0.0, parseTime(m_request.seek)));
}

QStringList ArgumentTranslator::plainAudioFilters() const {
    const double picture = plainPictureStart();
    const double sound = plainSoundStart();
    if (picture < kShiftSeconds && std::abs(sound - picture) < kShiftSeconds)
        return {};
    QStringList chain = soundAgainstPicture(picture, sound);
    if (sound < picture)
        chain << QStringLiteral("atrim=start=0");
    return chain;
}

QStringList ArgumentTranslator::audioFilters() const {
    QStringList chain = soundAgainstPicture(scriptOrigin(), m_source.audioOffset);
    const double delay = m_script.audioDelay;
    if (delay > 0)
        chain << QStringLiteral("adelay=delays=%1:all=1").arg(qint64(std::llround(delay * 1000)));
    else if (delay < 0)
        chain << QStringLiteral("asetpts=PTS-%1/TB").arg(num(-delay));
    qint64 first = 0;
    qint64 last = -1;
    m_script.keptFrames(&first, &last);
    const double fps = av_q2d(scriptRate());
    const double start = first / fps;
    QString trim = QStringLiteral("atrim=start=%1").arg(num(start));
    if (last >= 0)
        trim += QStringLiteral(":end=%1").arg(num((last + 1) / fps));
    chain << trim;
    chain << (start > 0 ? QStringLiteral("asetpts=PTS-%1/TB").arg(num(start))
                        : QStringLiteral("asetpts=PTS"));
    return chain;
}

// Fewer channels than the source has: an explicit matrix, mixed in floating
// point. Left to the encoder's sample format, ffmpeg scales the mix down for
// integer encoders only, and the same source came out 8 dB quieter in one
// format than in another.
QStringList ArgumentTranslator::downmixFilters(const AudioPlan &plan) const {
    const int from = m_source.channels;
    const int to = plan.channels;
    if (to <= 0 || from <= to)
        return {};
    // Mixed for the speakers the encoder writes, not for the library's
    // default of that count: AC-3's 5.1 has side speakers, not back ones.
    const QString layout = EncoderCaps::writtenLayout(plan.encoder, to);
    const QVector<QVector<double>> gains = downmixMatrix(m_source.channelLayout, from, layout, to);
    if (gains.isEmpty())
        return {};
    QString pan = QStringLiteral("pan=%1").arg(layout);
    for (int o = 0; o < gains.size(); ++o) {
        QStringList terms;
        for (int i = 0; i < from; ++i) {
            if (gains[o][i] != 0)
                terms << QStringLiteral("%1*c%2").arg(num(gains[o][i])).arg(i);
        }
        if (terms.isEmpty())
            terms << QStringLiteral("0*c0");
        pan += QStringLiteral("|c%1=%2").arg(o).arg(terms.join(QLatin1Char('+')));
    }
    // The standard levels add up to more than full scale where the source's
    // channels are loud together; only those moments are held down.
    return {QStringLiteral("aformat=sample_fmts=fltp"), pan, kDownmixLimiter};
}

// The picture steps of the job: for a script its crop, colour, letterbox and
// trims (the part before the logo lands in beforeLogo), then the requested
// size and what the encoder needs.
QStringList ArgumentTranslator::videoFilters(const VideoPlan &plan, QStringList *beforeLogo,
                                             QSize *outputSize, QString *error) const {
    QStringList chain;
    QSize size(m_source.width, m_source.height);
    AVRational sar{m_source.sarNum, m_source.sarDen};
    const bool known = size.width() > 0 && size.height() > 0;
    // Every output is written progressive.
    switch (m_source.weave) {
    case SourceFacts::Weave::None:
        // Whole frames that say they hold fields would be written so.
        if (m_source.statedScan == SourceFacts::Scan::Interlaced)
            chain << QStringLiteral("setfield=prog");
        break;
    case SourceFacts::Weave::Flagged:
        chain << kDeinterlaceFlagged;
        break;
    case SourceFacts::Weave::TopFirst:
        chain << kDeinterlaceAll.arg(QLatin1String("tff"));
        break;
    case SourceFacts::Weave::BottomFirst:
        chain << kDeinterlaceAll.arg(QLatin1String("bff"));
        break;
    }
    // Before any step that works on the picture's levels.
    chain << toneMapFilters(plan.encoder);

    if (m_hasScript) {
        const WrapperScript &s = m_script;
        const double origin = scriptOrigin();
        if (origin > 1e-6)
            chain << QStringLiteral("setpts=PTS-%1/TB").arg(num(origin));
        const AVRational rate = scriptRate();
        chain << (rate.den == 1 ? QStringLiteral("fps=%1").arg(rate.num)
                                : QStringLiteral("fps=%1/%2").arg(rate.num).arg(rate.den));
        qint64 first = 0;
        qint64 last = -1;
        s.keptFrames(&first, &last);
        if (first > 0 || last >= 0) {
            QString trim = QStringLiteral("trim=start_frame=%1").arg(first);
            if (last >= 0)
                trim += QStringLiteral(":end_frame=%1").arg(last + 1);
            chain << trim << QStringLiteral("setpts=PTS-STARTPTS");
        }
        if (known) {
            const int w = size.width();
            const int h = size.height();
            const int left = std::clamp(s.cropLeft, 0, w - 2);
            const int top = std::clamp(s.cropTop, 0, h - 2);
            int cw = s.cropWidth > 0 ? s.cropWidth : w - left + s.cropWidth;
            int ch = s.cropHeight > 0 ? s.cropHeight : h - top + s.cropHeight;
            cw = std::clamp(cw, 2, w - left);
            ch = std::clamp(ch, 2, h - top);
            if (cw != w || ch != h)
                chain << QStringLiteral("crop=%1:%2:%3:%4").arg(cw).arg(ch).arg(left).arg(top);

            const bool neutral = s.saturation == 1 && s.brightness == 0 && s.contrast == 1;
            if (!neutral)
                chain << QStringLiteral("eq=contrast=%1:brightness=%2:saturation=%3")
                             .arg(num(std::clamp(s.contrast, -1000.0, 1000.0)),
                                  num(std::clamp(s.brightness / 255.0, -1.0, 1.0)),
                                  num(std::clamp(s.saturation, 0.0, 3.0)));
            if (s.hue != 0)
                chain << QStringLiteral("hue=h=%1").arg(num(s.hue));

            // ResizeLetterBox: fit the picture, as it is meant to be seen,
            // into the output frame and fill the rest with black.
            const int ow = s.outputWidth > 0 ? s.outputWidth : cw / 2 * 2;
            const int oh = s.outputHeight > 0 ? s.outputHeight : ch / 2 * 2;
            double ratio = double(cw) * m_source.sarNum / (double(ch) * m_source.sarDen);
            if (s.displayRatio > 0)
                ratio = s.displayRatio * (double(cw) / w) / (double(ch) / h);
            const QSize fitted = ScriptPicture::letterboxed(QSize(ow, oh), ratio);
            const int sw = fitted.width();
            const int sh = fitted.height();
            if (sw != cw || sh != ch) {
                chain << QStringLiteral("scale=%1:%2").arg(sw).arg(sh)
                      << QStringLiteral("setsar=1");
                sar = AVRational{1, 1};
            }
            if (sw != ow || sh != oh)
                chain << QStringLiteral("pad=%1:%2:%3:%4:black")
                             .arg(ow)
                             .arg(oh)
                             .arg((ow - sw) / 2)
                             .arg((oh - sh) / 2);
            size = QSize(ow, oh);
        }
        *beforeLogo = chain;
        chain.clear();
    } else if (plainPictureStart() >= kShiftSeconds) {
        // The first picture at 0, the sound laid against it (see the sound's steps).
        chain << QStringLiteral("setpts=PTS-%1/TB").arg(num(plainPictureStart()));
    }
    if (!m_hasScript && known &&
        (m_request.cropLeft > 0 || m_request.cropTop > 0 || m_request.cropRight > 0 ||
         m_request.cropBottom > 0)) {
        const int left = std::max(0, m_request.cropLeft);
        const int top = std::max(0, m_request.cropTop);
        const int cw = size.width() - left - std::max(0, m_request.cropRight);
        const int ch = size.height() - top - std::max(0, m_request.cropBottom);
        if (cw < 2 || ch < 2) {
            *error = QStringLiteral("the crop (%1, %2, %3, %4) leaves no picture of %5x%6")
                         .arg(left)
                         .arg(top)
                         .arg(m_request.cropRight)
                         .arg(m_request.cropBottom)
                         .arg(size.width())
                         .arg(size.height());
            return {};
        }
        chain << QStringLiteral("crop=%1:%2:%3:%4").arg(cw).arg(ch).arg(left).arg(top);
        size = QSize(cw, ch);
    }

    // Each output frame is the source frame nearest its time. Left to the
    // output's rate, ffmpeg holds every frame until it is late, and the
    // picture lags the sound by a frame or two.
    AVRational rate{0, 1};
    if (requestedRate(&rate))
        chain << QStringLiteral("fps=%1/%2").arg(rate.num).arg(rate.den);

    // An asked size is the picture the user is shown: straight to the nearest
    // size the encoder makes of it (a scale and a crop would leave pixels
    // that are not square), with square pixels, as the old "-s" made it.
    if (plan.requestedSize.isValid()) {
        const QSize made = EncoderCaps::legalFrameSize(plan.encoder, plan.requestedSize);
        if (made != size) {
            chain << QStringLiteral("scale=%1:%2").arg(made.width()).arg(made.height())
                  << QStringLiteral("setsar=1");
            size = made;
            sar = AVRational{1, 1};
        }
    }
    if (size.width() > 0 && size.height() > 0 && !EncoderCaps::carriesPixelAspect(plan.encoder))
        appendSquarePixels(&chain, &size, sar);
    if (size.width() > 0 && size.height() > 0) {
        const QSize legal = EncoderCaps::legalFrameSize(plan.encoder, size);
        appendSizeFix(&chain, size, legal);
        const QSize largest = EncoderCaps::largestPicture(plan.encoder);
        if (largest.isValid() &&
            (legal.width() > largest.width() || legal.height() > largest.height())) {
            *error = QStringLiteral("the picture of %1x%2 is too large for the %3 encoder, "
                                    "which makes pictures of at most %4x%5")
                         .arg(legal.width())
                         .arg(legal.height())
                         .arg(plan.encoder)
                         .arg(largest.width())
                         .arg(largest.height());
            return {};
        }
        *outputSize = legal;
    }
    Colours wanted = colours(plan.encoder, *outputSize);
    if (wanted.applies && writesHdrAsSdr(plan.encoder)) {
        // The tone map writes the output's matrix itself, with no step more.
        const QString made = QStringLiteral("zscale=t=bt709:m=bt709:");
        const QString meant =
            QStringLiteral("zscale=t=bt709:m=%1:")
                .arg(wanted.outMatrix == QLatin1String("bt709") ? QLatin1String("bt709")
                                                                : QLatin1String("bt470bg"));
        chain.replaceInStrings(made, meant);
        beforeLogo->replaceInStrings(made, meant);
        wanted.inMatrix = wanted.outMatrix;
    }
    const qint64 from = qint64(m_source.width) * m_source.height;
    appendColourConversion(&chain, wanted,
                           qint64(outputSize->width()) * outputSize->height() > from);
    return chain;
}

ArgumentTranslator::Colours ArgumentTranslator::colours(const QString &encoder,
                                                        QSize outputSize) const {
    Colours c;
    const bool toneMapped = writesHdrAsSdr(encoder);
    // HDR written as HDR keeps the source's pixels and tags.
    if (!outputSize.isValid() || outputSize.isEmpty() || writesRgb(encoder) ||
        (!m_source.hdrTransfer.isEmpty() && !toneMapped))
        return c;
    c.applies = true;
    // JPEG pictures are BT.601 and full range by their own rule.
    const bool jpeg = EncoderCaps::writesJpegRange(encoder);
    c.outMatrix = jpeg || !isHd(outputSize) ? QStringLiteral("bt601") : QStringLiteral("bt709");
    c.fullRange = jpeg;
    if (toneMapped) {
        // As the tone map wrote it.
        c.inMatrix = jpeg ? QStringLiteral("bt601") : QStringLiteral("bt709");
        c.inRange = jpeg ? QStringLiteral("pc") : QStringLiteral("tv");
        c.primaries = c.transfer = QStringLiteral("bt709");
        return c;
    }
    if (!m_source.rgbPicture) {
        c.inMatrix = scaleMatrix(m_source.colorMatrix);
        if (c.inMatrix.isEmpty())
            c.inMatrix = isHd(QSize(m_source.width, m_source.height)) ? QStringLiteral("bt709")
                                                                      : QStringLiteral("bt601");
        c.inRange = m_source.colorRange;
    }
    c.primaries = m_source.colorPrimaries;
    c.transfer = m_source.colorTransfer;
    return c;
}

// The source's YUV in the output's matrix where the two differ. Left to
// ffmpeg, every conversion reads and writes BT.601, and an HD picture scaled
// to SD kept BT.709 pixels that players show as BT.601. The colorspace
// filter does it at the output's size for a few percent of the job; the
// scale filter's own matrices convert YUV through RGB, and made a one-minute
// 1080p job to SD three times as costly. RGB becomes YUV in the last scale
// in any case, which converts to the matrix as cheaply.
void ArgumentTranslator::appendColourConversion(QStringList *chain, const Colours &colours,
                                                bool beforeScale) {
    if (!colours.applies || colours.inMatrix == colours.outMatrix)
        return;
    const bool rgb = colours.inMatrix.isEmpty();
    if (rgb && colours.outMatrix == QLatin1String("bt601"))
        return; // ffmpeg's own conversion
    int scale = -1;
    for (int i = chain->size() - 1; i >= 0 && scale < 0; --i) {
        if ((*chain)[i].startsWith(QLatin1String("scale=")))
            scale = i;
    }
    const QString outRange = colours.fullRange ? QStringLiteral("pc") : QStringLiteral("tv");
    if (rgb) {
        const QString options =
            QStringLiteral("out_color_matrix=%1:out_range=%2").arg(colours.outMatrix, outRange);
        if (scale >= 0)
            (*chain)[scale] += QLatin1Char(':') + options;
        else
            *chain << QStringLiteral("scale=") + options;
        return;
    }
    // The same primaries and transfer in and out: the matrix alone changes.
    // The range going in is the frame's own: a scale before it may have
    // made a full-range picture limited already, or handed on JPEG's.
    const QString convert =
        QStringLiteral("colorspace=ispace=%1:space=%2:range=%3:"
                       "iprimaries=bt709:primaries=bt709:itrc=bt709:trc=bt709")
            .arg(colorspaceName(colours.inMatrix), colorspaceName(colours.outMatrix), outRange);
    // At the smaller of the two sizes; and ahead of the scale for a
    // full-range source, whose range it converts in the same step within
    // 1/255 where the scale loses 2.
    if (scale >= 0 && (beforeScale || colours.inRange == QLatin1String("pc")))
        chain->insert(scale, convert);
    else
        *chain << convert;
}

// What the output's pixels are, for the formats that can say so.
QStringList ArgumentTranslator::colourTags(const Colours &colours) {
    if (!colours.applies)
        return {};
    QStringList tags;
    if (!colours.primaries.isEmpty())
        tags << "-color_primaries" << colours.primaries;
    if (!colours.transfer.isEmpty())
        tags << "-color_trc" << colours.transfer;
    tags << "-colorspace" << (colours.outMatrix == QLatin1String("bt709") ? "bt709" : "bt470bg")
         << "-color_range" << (colours.fullRange ? "pc" : "tv");
    return tags;
}

// An HDR picture into an encoder that writes 8 bits a sample: the PQ or HLG
// signal, cut to 8 bits and shown as SDR (and many containers keep no colour
// tags at all), looks grey and washed out.
bool ArgumentTranslator::writesHdrAsSdr(const QString &encoder) const {
    return !m_source.hdrTransfer.isEmpty() && EncoderCaps::writesEightBits(encoder);
}

QStringList ArgumentTranslator::toneMapFilters(const QString &encoder) const {
    if (!writesHdrAsSdr(encoder))
        return {};
    QString linear = kLinearLight.arg(m_source.hdrTransfer);
    if (kZscalePrimaries.contains(m_source.colorPrimaries))
        linear += QStringLiteral(":pin=") + m_source.colorPrimaries;
    if (kZscaleMatrices.contains(m_source.colorMatrix))
        linear += QStringLiteral(":min=") + m_source.colorMatrix;
    const bool jpeg = EncoderCaps::writesJpegRange(encoder);
    const QString pixels = EncoderCaps::pixelFormat(encoder);
    return {linear,
            QStringLiteral("format=gbrpf32le"),
            QStringLiteral("zscale=p=bt709"),
            kToneMap,
            QStringLiteral("zscale=t=bt709:m=%1:r=%2")
                .arg(jpeg ? QLatin1String("bt470bg") : QLatin1String("bt709"),
                     jpeg ? QLatin1String("pc") : QLatin1String("tv")),
            QStringLiteral("format=") + (pixels.isEmpty() ? QStringLiteral("yuv420p") : pixels)};
}

// A picture whose pixels are not square, in an output that cannot say so: the
// same picture in square pixels, at the height it has, as wide as its display
// aspect (the one asked for, else its own) makes it.
void ArgumentTranslator::appendSquarePixels(QStringList *chain, QSize *size, AVRational sar) const {
    double shape = double(size->width()) / size->height();
    AVRational aspect{0, 1};
    if (requestedAspect(&aspect))
        shape = av_q2d(aspect);
    else if (sar.num > 0 && sar.den > 0)
        shape *= av_q2d(sar);
    const int width = std::max(2, int(std::lround(size->height() * shape / 2)) * 2);
    if (width == size->width())
        return;
    if (!chain->isEmpty() && chain->last() == QLatin1String("setsar=1"))
        chain->removeLast();
    if (!chain->isEmpty() && chain->last().startsWith(QLatin1String("scale=")))
        chain->removeLast();
    *chain << QStringLiteral("scale=%1:%2").arg(width).arg(size->height())
           << QStringLiteral("setsar=1");
    size->setWidth(width);
}

bool ArgumentTranslator::requestedRate(AVRational *rate) const {
    if (isUnset(m_request.frameRate) ||
        av_parse_video_rate(rate, m_request.frameRate.trimmed().toLatin1().constData()) < 0 ||
        rate->num <= 0 || av_q2d(*rate) > 1000)
        return false;
    *rate = exactRate(*rate);
    return true;
}

// "29.97", "23.976", "59.94" are the NTSC rates N × 1000/1001 in short. Taken
// as written (2997/100), the output's frame times miss the source's: from
// 59.94, two pictures in three showed the next source picture, 1/60 s early.
AVRational ArgumentTranslator::exactRate(AVRational rate) {
    const double value = av_q2d(rate);
    const double whole = std::round(value * 1.001);
    if (whole >= 1 && whole <= 1000 && std::abs(value * 1.001 - whole) < kNtscTolerance &&
        std::abs(value - std::round(value)) > kNtscTolerance)
        return AVRational{int(whole) * 1000, 1001};
    return rate;
}

AVRational ArgumentTranslator::scriptRate() const {
    return exactRate(av_d2q(m_script.frameRate, 1000000));
}

bool ArgumentTranslator::requestedAspect(AVRational *aspect) const {
    return !isUnset(m_request.aspect) &&
           av_parse_ratio(aspect, m_request.aspect.trimmed().toLatin1().constData(), 255,
                          AV_LOG_MAX_OFFSET, nullptr) >= 0 &&
           aspect->num > 0 && aspect->den > 0;
}

double ArgumentTranslator::expectedDuration(bool video, bool audio) const {
    // Where the written streams end on the clock of ffmpeg's input, which
    // starts at the file's start; a stream of unknown length ends with the
    // file.
    const auto end = [this](double offset, double length) {
        return length > 0 ? offset + length : m_source.duration;
    };
    double streamsEnd = -1;
    if (video)
        streamsEnd = std::max(streamsEnd, end(m_source.videoOffset, m_source.videoDuration));
    if (audio)
        streamsEnd = std::max(streamsEnd, end(m_source.audioOffset, m_source.audioDuration));
    // The output starts with the first picture; sound from before it is left
    // out (see the sound's steps).
    const double outputStart = video ? m_source.videoOffset : m_source.audioOffset;
    double base = streamsEnd - outputStart;
    if (base <= 0)
        return -1;
    if (m_hasScript) {
        qint64 first = 0;
        qint64 last = -1;
        m_script.keptFrames(&first, &last);
        const double fps = av_q2d(scriptRate());
        const double start = first / fps;
        const double end = last >= 0 ? std::min(base, (last + 1) / fps) : base;
        return std::max(0.0, end - start);
    }
    const double seek = parseTime(m_request.seek);
    if (seek > 0)
        base = streamsEnd - std::max(outputStart, seek);
    const double length = parseTime(m_request.length);
    if (length > 0)
        base = std::min(base, length);
    return std::max(0.0, base);
}

bool ArgumentTranslator::translate(const QString &sourcePath, const QString &outputPath,
                                   FfmpegCommand *command, QString *error) const {
    *command = FfmpegCommand();
    // Another encoder in place of an unknown name would give the user a file
    // other than the one asked for, with nothing to say so.
    for (const auto &[wanted, kind] : {std::pair(m_request.videoCodec.trimmed(), Kind::Video),
                                       std::pair(m_request.audioCodec.trimmed(), Kind::Audio)}) {
        if (!wanted.isEmpty() && EncoderCaps::resolveEncoder(wanted, kind).isEmpty()) {
            *error =
                QStringLiteral("this ffmpeg has no %1 encoder '%2'")
                    .arg(kind == Kind::Video ? QStringLiteral("video") : QStringLiteral("audio"),
                         wanted);
            return false;
        }
    }
    const QString &output = m_request.output;
    const bool audioOnly = EncoderCaps::isAudioOnlyOutput(output);
    const QString wantedVideo = EncoderCaps::resolveEncoder(m_request.videoCodec, Kind::Video);
    const QString muxer = EncoderCaps::muxerFor(output, m_request.format.trimmed(), wantedVideo);
    if (muxer.isEmpty()) {
        *error = m_request.format.trimmed().isEmpty()
                     ? QStringLiteral("cannot tell the output format from the name '%1'")
                           .arg(QFileInfo(output).fileName())
                     : QStringLiteral("unknown output format '%1'").arg(m_request.format);
        return false;
    }
    command->muxer = muxer;

    VideoPlan video;
    AudioPlan audio;
    command->writesVideo = planVideo(muxer, audioOnly, &video, command);
    command->writesAudio = planAudio(muxer, audioOnly, &audio, command);
    if (!command->writesVideo && !command->writesAudio) {
        *error = QStringLiteral("the source has nothing that a %1 file can hold")
                     .arg(QFileInfo(output).suffix().toUpper());
        return false;
    }

    QStringList beforeLogo;
    QStringList videoChain;
    QSize outputSize;
    if (command->writesVideo) {
        videoChain = videoFilters(video, &beforeLogo, &outputSize, error);
        if (!error->isEmpty())
            return false;
    }

    if (m_hasScript && (parseTime(m_request.seek) > 0 || parseTime(m_request.length) > 0))
        command->notes << QStringLiteral("-ss and -t do not apply to a script: its trims decide");

    QStringList &args = command->arguments;
    args << "-hide_banner"
         << "-nostdin"
         << "-loglevel"
         << "level+info"
         << "-stats";
    const double seek = parseTime(m_request.seek);
    if (!m_hasScript && seek > 0)
        args << "-ss" << num(seek);
    args << m_source.inputOptions << "-i"
         << (m_source.inputUrl.isEmpty() ? QStringLiteral("file:") + sourcePath
                                         : m_source.inputUrl);
    const bool logo = m_hasScript && command->writesVideo && !m_script.logoPath.isEmpty();
    if (logo)
        args << m_logoInputOptions << "-i" << QStringLiteral("file:") + m_script.logoPath;

    if (m_hasScript) {
        QStringList graph;
        if (command->writesVideo) {
            const QString in = QStringLiteral("[0:%1]").arg(m_source.videoIndex);
            if (logo) {
                // The logo picture lies over the frame's top-left corner at
                // its own size; its transparency is kept.
                graph << in + beforeLogo.join(QLatin1Char(',')) + QStringLiteral("[base]");
                QString over = QStringLiteral("[base][1:v]overlay=0:0");
                if (!videoChain.isEmpty())
                    over += QLatin1Char(',') + videoChain.join(QLatin1Char(','));
                graph << over + QStringLiteral("[vout]");
            } else {
                graph << in + (beforeLogo + videoChain).join(QLatin1Char(',')) +
                             QStringLiteral("[vout]");
            }
        }
        if (command->writesAudio)
            graph << QStringLiteral("[0:%1]").arg(m_source.audioIndex) +
                         (audioFilters() + downmixFilters(audio)).join(QLatin1Char(',')) +
                         QStringLiteral("[aout]");
        args << "-filter_complex" << graph.join(QLatin1Char(';'));
        if (command->writesVideo)
            args << "-map"
                 << "[vout]";
        if (command->writesAudio)
            args << "-map"
                 << "[aout]";
    } else {
        if (command->writesVideo) {
            args << "-map" << QStringLiteral("0:%1").arg(m_source.videoIndex);
            if (!videoChain.isEmpty())
                args << "-vf" << videoChain.join(QLatin1Char(','));
        }
        if (command->writesAudio) {
            args << "-map" << QStringLiteral("0:%1").arg(m_source.audioIndex);
            // The sound is placed against the picture first, then mixed down.
            QStringList chain = command->writesVideo ? plainAudioFilters() : QStringList();
            chain << downmixFilters(audio);
            if (!chain.isEmpty())
                args << "-af" << chain.join(QLatin1Char(','));
        }
    }

    if (command->writesVideo) {
        args << "-c:v" << video.encoder;
        if (!video.preset.isEmpty())
            args << "-preset" << video.preset;
        if (!video.profile.isEmpty())
            args << "-profile:v" << video.profile;
        const qint64 bitrate = parseBitrate(m_request.videoBitrate);
        if (bitrate > 0)
            args << "-b:v" << QString::number(bitrate);
        AVRational rate{0, 1};
        if (!isUnset(m_request.frameRate)) {
            // The picture steps made this rate already; named here too, it
            // is the encoder's time base.
            if (requestedRate(&rate))
                args << "-r" << QStringLiteral("%1/%2").arg(rate.num).arg(rate.den);
            else
                command->notes
                    << QStringLiteral("frame rate '%1' not understood").arg(m_request.frameRate);
        }
        if (!isUnset(m_request.aspect)) {
            AVRational aspect{0, 1};
            if (requestedAspect(&aspect))
                args << "-aspect" << QStringLiteral("%1:%2").arg(aspect.num).arg(aspect.den);
            else
                command->notes
                    << QStringLiteral("aspect '%1' not understood").arg(m_request.aspect);
        }
        const QString pixels = EncoderCaps::pixelFormat(video.encoder);
        if (!pixels.isEmpty())
            args << "-pix_fmt" << pixels;
        args << colourTags(colours(video.encoder, outputSize));
    }
    bool threadsOk = false;
    const int threads = m_request.threads.trimmed().toInt(&threadsOk);
    if (threadsOk && threads >= 0 && threads <= 64)
        args << "-threads" << QString::number(threads);

    if (command->writesAudio) {
        args << "-c:a" << audio.encoder;
        if (audio.bitrate > 0)
            args << "-b:a" << QString::number(audio.bitrate);
        if (audio.sampleRate > 0)
            args << "-ar" << QString::number(audio.sampleRate);
        if (audio.channels > 0)
            args << "-ac" << QString::number(audio.channels);
        // Named, so that the speakers written are those mixed for.
        if (audio.channels > 0 && m_source.channels > audio.channels)
            args << "-ch_layout" << EncoderCaps::writtenLayout(audio.encoder, audio.channels);
    }
    // Players (and Matroska's reader) take the tracks marked default; a
    // source that marks none passes that on.
    if (command->writesVideo)
        args << "-disposition:v:0"
             << "default";
    if (command->writesAudio)
        args << "-disposition:a:0"
             << "default";
    const double length = parseTime(m_request.length);
    if (!m_hasScript && length > 0)
        args << "-t" << num(length);
    args << "-f" << muxer << "-y" << QStringLiteral("file:") + outputPath;

    command->expectedDuration = expectedDuration(command->writesVideo, command->writesAudio);
    return true;
}
