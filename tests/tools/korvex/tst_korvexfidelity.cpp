// What a profile's job makes of awkward sources, measured on the output's own
// clock: clips whose picture flashes white while their sound beeps, converted
// with the program's own new-row jobs. The sound must stay with the picture,
// the length must stay the source's, the picture must keep its shape and must
// not be written as woven fields that claim to be whole frames, nor softened
// where it was whole; HDR pictures must come out SDR; a colour chart must
// keep its colours as a player shows them, at any size.

#include <algorithm>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include <QtTest>

#include "conversion/jobpreparation.h"
#include "conversion/rowjobbuilder.h"
#include "filelist/probeparser.h"
#include "korvextestsupport.h"
#include "probe.h"
#include "filelist/optionrules.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"
#include "../../support/mediaprograms.h"

using namespace KorvexTest;

namespace {

constexpr int kJobTimeoutMs = 120000;
constexpr int kParallelJobs = 6;
// The flash clips flash and beep for 6 frames in every 17 (an odd period, so
// that the flashes fall on every phase of a lower output rate).
constexpr int kFlashPeriod = 17;
constexpr int kFlashFrames = 6;
constexpr double kClipSeconds = 4;
constexpr double kLateSound = 0.3;
constexpr double kLeadingSound = 1;
constexpr double kLateTimestamps = 7;
constexpr double kEarlyTimestamps = -1.02;
// A whole picture that is not deinterlaced for nothing keeps this much of
// its source through the profile's encoder (deinterlaced: 0.982).
constexpr double kUntouchedSsim = 0.988;
// Of the SDR picture's saturation, what a tone-mapped HDR one keeps (shown
// as SDR without tone mapping: a quarter to two fifths).
constexpr double kSdrSaturationShare = 0.75;
// AVI has no place for the sound encoder's start-up delay (about 16 ms of MP3).
constexpr double kAviSoundDelay = 0.02;

struct Clip {
    QString name;
    QString size;       // WxH
    QString rate;       // frames per second, as ffmpeg reads it
    QString ratio;      // the display ratio the file list shows
    QStringList ffmpeg; // the run that makes it, without the program
    bool flashes = true;
    double minSsim = 0; // against the source, where its picture passes through
    QString sdrPicture; // the SDR picture an HDR clip was made from (lavfi)
};

// A flash clip: white frames on the picture's frame numbers, beeps on the
// same frames' times; the sound can start late on the picture's clock, or
// early (a negative soundLate), running on to the picture's end.
Clip flashClip(const QString &name, const QString &size, const QString &rate,
               const QString &picture, const QStringList &output, double soundLate = 0) {
    const auto on = [](const QString &frame) {
        return QString("lt(mod(%1,%2),%3)").arg(frame).arg(kFlashPeriod).arg(kFlashFrames);
    };
    const QString video = QString("color=black:size=%1:rate=%2:duration=%3,format=yuv420p,"
                                  "geq=lum='if(%4,235,16)':cb=128:cr=128%5")
                              .arg(size, rate)
                              .arg(kClipSeconds)
                              .arg(on("N"), picture);
    const QString sound = QString("aevalsrc='if(%1,0.5*sin(2*PI*1000*t),0)':s=44100:d=%2")
                              .arg(on(QString("floor((t+%1)*%2+1e-6)").arg(soundLate).arg(rate)))
                              .arg(kClipSeconds - soundLate);
    Clip clip{name, size, rate, "1.333", {}, true, 0, {}};
    clip.ffmpeg =
        QStringList{
            "-itsoffset", QString::number(std::max(0.0, -soundLate)), "-f", "lavfi", "-i", video,
            "-itsoffset", QString::number(std::max(0.0, soundLate)),  "-f", "lavfi", "-i", sound} +
        output;
    return clip;
}

// An HDR10 (PQ) or HLG clip in 10-bit HEVC, made from an SDR picture whose
// white lies at HDR's reference white.
Clip hdrClip(const QString &name, const QString &transfer) {
    const QString sdr = QString("testsrc2=size=640x360:rate=25:duration=%1").arg(kClipSeconds);
    Clip clip{name, "640x360", "25", "1.778", {}, false, 0, {}};
    clip.sdrPicture = sdr;
    clip.ffmpeg = QStringList{"-f", "lavfi", "-i",
                              sdr + ",zscale=tin=bt709:min=bt709:pin=bt709:t=" + transfer +
                                  ":m=bt2020nc:p=bt2020:npl=203,format=yuv420p10le"} +
                  QString("-f lavfi -i sine=d=%1 -c:v libx265 -preset ultrafast -x265-params "
                          "log-level=error -color_primaries bt2020 -color_trc %2 -colorspace "
                          "bt2020nc -c:a aac")
                      .arg(kClipSeconds)
                      .arg(transfer)
                      .split(' ');
    return clip;
}

QList<Clip> clips() {
    const QStringList mp4 = {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"};
    QList<Clip> list;
    list << flashClip("late.mp4", "320x240", "25", "", mp4, kLateSound)
         << flashClip("ntsc.mp4", "320x240", "30000/1001", "", mp4)
         << flashClip("sixty.mp4", "320x240", "60", "", mp4);
    Clip wide = flashClip("wide.mp4", "720x576", "25", ",setsar=64/45", mp4);
    wide.ratio = "1.778";
    list << wide;
    list << flashClip("offset.mkv", "320x240", "25", "",
                      mp4 + QStringList{"-output_ts_offset", QString::number(kLateTimestamps)});
    list << flashClip("lead.mkv", "320x240", "25", "", mp4, -kLeadingSound)
         << flashClip("early.mkv", "320x240", "25", "",
                      mp4 + QStringList{"-output_ts_offset", QString::number(kEarlyTimestamps),
                                        "-avoid_negative_ts", "disabled"});
    // Top field first, each field a moment of its own.
    Clip woven{"woven.mpg", "720x576", "25", "1.250", {}, false, 0, {}};
    woven.ffmpeg =
        QStringList{"-f", "lavfi", "-i",
                    QString("testsrc2=size=720x576:rate=50:duration=%1,interlace=scan=tff")
                        .arg(kClipSeconds)} +
        QString("-f lavfi -i sine=d=%1 -c:v mpeg2video -flags +ildct+ilme -top 1 -b:v 3M -c:a mp2")
            .arg(kClipSeconds)
            .split(' ');
    list << woven;
    // DV: woven bottom field first, and its streams say nothing of their
    // fields. NTSC DV's 4:1:1 colour is woven as the picture is.
    Clip dv{"dv.dv", "720x576", "25", "1.333", {}, false, 0, {}};
    dv.ffmpeg = QString("-f lavfi -i testsrc2=size=720x576:rate=50:duration=%1,interlace=scan=bff "
                        "-f lavfi -i sine=r=48000:d=%1 -ac 2 -c:v dvvideo -c:a pcm_s16le -f dv")
                    .arg(kClipSeconds)
                    .split(' ');
    Clip ntscDv{"dv.mov", "720x480", "30000/1001", "1.333", {}, false, 0, {}};
    ntscDv.ffmpeg = QString("-f lavfi -i testsrc2=size=720x480:rate=60000/1001:duration=%1,"
                            "format=yuv411p,interlace=scan=bff -f lavfi -i sine=r=48000:d=%1 "
                            "-ac 2 -c:v dvvideo -c:a pcm_s16le")
                        .arg(kClipSeconds)
                        .split(' ');
    // Whole frames coded as interlaced ones, as film often is.
    Clip film{"film.mpg", "720x576", "25", "1.250", {}, false, 0, {}};
    film.minSsim = kUntouchedSsim;
    film.ffmpeg = QString("-f lavfi -i testsrc2=size=720x576:rate=25:duration=%1 -f lavfi -i "
                          "sine=d=%1 -c:v mpeg2video -flags +ildct+ilme -top 1 -b:v 6M -c:a mp2")
                      .arg(kClipSeconds)
                      .split(' ');
    list << dv << ntscDv << film << hdrClip("pq.mkv", "smpte2084")
         << hdrClip("hlg.mkv", "arib-std-b67");
    return list;
}

// The program's new-row job of a profile for one clip, and what became of it.
struct Conversion {
    QString name;
    Clip clip;
    QStringList arguments;
    QString output;
    int exitCode = -1;
    QString log;
};

Conversion conversion(const QString &profile, const Clip &clip, const QString &folder,
                      QString *problem) {
    const QVector<ProfileEntry> &all = ProfileCatalogue::entries();
    const auto entry = std::find_if(all.begin(), all.end(),
                                    [&](const ProfileEntry &e) { return e.fileName == profile; });
    Conversion c;
    c.name = clip.name + " as " + profile;
    c.clip = clip;
    if (entry == all.end()) {
        *problem = "no profile " + profile;
        return c;
    }
    const ProfileSelection s = ProfileLoader::load(stage(), profile);
    RowJobInput in;
    in.deviceIndex = entry->categoryIndex;
    in.profileIndex = entry->detailIndex;
    in.profileDetails = {ProfileCatalogue::descriptions(entry->categoryIndex), entry->detailIndex};
    in.vcodec = s.vcodec;
    in.vsize = s.vsize;
    in.vbitrate = s.vbitrate;
    in.vframeRate = s.vframeRate;
    in.vaspect = {OptionRules::aspectItems(), 0};
    in.acodec = s.acodec;
    in.asamplerate = s.asamplerate;
    in.abitrate = s.abitrate;
    in.achannels = s.achannels;
    in.newInputPath = folder + "/" + clip.name;
    in.mediaInfo = FileRow::emptyMediaInfo();
    in.mediaInfo[FileRow::InputSize] = clip.size;
    in.mediaInfo[FileRow::ExactDuration] = QString::number(kClipSeconds);
    in.mediaInfo[FileRow::DisplayRatio] = clip.ratio;
    in.scriptFolder = folder + "/scripts";
    c.output = in.outputPath = QString("%1/%2-%3.%4")
                                   .arg(folder, QFileInfo(clip.name).baseName())
                                   .arg(entry->key)
                                   .arg(ProfileCatalogue::extension(entry->formatLabel));
    const RowJob row = RowJobBuilder::build(in);
    const JobPreparation::LaunchPlan plan =
        JobPreparation::prepare(row.arguments, row.effects, clip.ratio);
    if (!row.valid || !plan.problem.isEmpty())
        *problem = c.name + ": no job: " + row.error + plan.problem;
    c.arguments = plan.arguments;
    return c;
}

// Runs the commands (program first) a few at a time; the exit code of each
// (-1 for a crash or a hang) and its standard error, kept in a file so that
// no pipe fills while another process is waited for.
QVector<QPair<int, QString>> runAll(const QList<QStringList> &commands, const QString &folder) {
    QVector<QPair<int, QString>> results;
    for (int first = 0; first < commands.size(); first += kParallelJobs) {
        std::vector<std::unique_ptr<QProcess>> batch;
        const int end = std::min(first + kParallelJobs, int(commands.size()));
        for (int i = first; i < end; ++i) {
            batch.push_back(std::make_unique<QProcess>());
            batch.back()->setWorkingDirectory(stage());
            batch.back()->setStandardErrorFile(QString("%1/run-%2.log").arg(folder).arg(i));
            batch.back()->start(commands.at(i).first(), commands.at(i).mid(1));
        }
        for (int i = first; i < end; ++i) {
            QProcess &p = *batch.at(i - first);
            const bool ended = p.waitForFinished(kJobTimeoutMs);
            QFile log(QString("%1/run-%2.log").arg(folder).arg(i));
            log.open(QIODevice::ReadOnly);
            results << qMakePair(ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode()
                                                                                 : -1,
                                 QString::fromUtf8(log.readAll()));
        }
    }
    return results;
}

QString ffmpegText(const QStringList &arguments, QByteArray *out = nullptr) {
    QProcess p;
    p.start(MediaPrograms::ffmpeg(), QStringList{"-hide_banner", "-nostdin"} + arguments);
    p.waitForFinished(kJobTimeoutMs);
    if (out)
        *out = p.readAllStandardOutput();
    return QString::fromUtf8(p.readAllStandardError());
}

// A chart of 4 × 3 patches of these colours, row by row.
const QStringList kPatches = {"BD0000", "00BD00", "0000BD", "BDBD00", "00BDBD", "BD00BD",
                              "C08060", "808080", "E08020", "303030", "D0D0D0", "6030A0"};
constexpr int kChartColumns = 4;
constexpr int kChartRows = 3;
// What a lossy encoder may change of a flat patch, per channel of 255
// (without following the matrix: 12 to 32).
constexpr int kPatchTolerance = 4;

// A one-second chart at that size, its pixels in that matrix (empty: RGB)
// and range, tagged so in a lossless file.
Clip chartClip(const QString &name, int width, int height, const QString &matrix,
               const QString &range = "tv") {
    const int w = width / kChartColumns;
    const int h = height / kChartRows;
    QStringList graph;
    QString rows;
    for (int r = 0; r < kChartRows; ++r) {
        QString row;
        for (int c = 0; c < kChartColumns; ++c) {
            graph << QString("color=c=0x%1:s=%2x%3:r=25:d=1[p%4%5]")
                         .arg(kPatches.at(r * kChartColumns + c))
                         .arg(w)
                         .arg(h)
                         .arg(r)
                         .arg(c);
            row += QString("[p%1%2]").arg(r).arg(c);
        }
        graph << row + QString("hstack=%1[r%2]").arg(kChartColumns).arg(r);
        rows += QString("[r%1]").arg(r);
    }
    const QString scaleMatrix = matrix == "bt709" ? "bt709" : "bt601";
    graph << rows + QString("vstack=%1,format=rgb24").arg(kChartRows) +
                 (matrix.isEmpty() ? QString(",format=bgr0")
                                   : ",scale=out_color_matrix=" + scaleMatrix + ":out_range=" +
                                         range + ":flags=accurate_rnd,format=yuv444p");
    Clip clip{name, QString("%1x%2").arg(width).arg(height),
              "25", QString::number(double(width) / height, 'f', 3),
              {},   false,
              0,    {}};
    clip.ffmpeg = QStringList{"-f", "lavfi", "-i", graph.join(';'), "-c:v", "ffv1"};
    if (!matrix.isEmpty())
        clip.ffmpeg << "-colorspace" << matrix << "-color_range" << range;
    return clip;
}

// The patches' colours in a file's first picture as a player shows it: by
// its tags, else an SD picture as BT.601 and an HD one as BT.709, limited
// range but for JPEG's pictures.
QVector<QColor> patchColours(const QString &file, QString *how) {
    const Probe::Media media = Probe::read(file);
    const Probe::Stream *video = media.firstVideo();
    if (!video)
        return {};
    QString matrix = video->colorMatrix == "bt709" ? "bt709" : "bt601";
    if (video->colorMatrix.isEmpty())
        matrix = video->height >= 720 || video->width >= 1280 ? "bt709" : "bt601";
    QString range = video->colorRange;
    if (range.isEmpty())
        range = video->pixelFormat.startsWith("yuvj") ? "pc" : "tv";
    *how = QString("%1x%2 %3 shown as %4 %5 (tags %6/%7)")
               .arg(video->width)
               .arg(video->height)
               .arg(video->pixelFormat, matrix, range, video->colorMatrix, video->colorRange);
    QByteArray rgb;
    ffmpegText({"-v", "error", "-i", "file:" + file, "-frames:v", "1", "-vf",
                QString("scale=in_color_matrix=%1:in_range=%2:flags=accurate_rnd,format=rgb24")
                    .arg(matrix, range),
                "-f", "rawvideo", "-"},
               &rgb);
    const int w = video->width;
    const int h = video->height;
    if (rgb.size() != w * h * 3)
        return {};
    QVector<QColor> colours;
    for (int r = 0; r < kChartRows; ++r) {
        for (int c = 0; c < kChartColumns; ++c) {
            // The middle half of the patch, clear of its edges' blur.
            const int x0 = (4 * c + 1) * w / (4 * kChartColumns);
            const int x1 = (4 * c + 3) * w / (4 * kChartColumns);
            const int y0 = (4 * r + 1) * h / (4 * kChartRows);
            const int y1 = (4 * r + 3) * h / (4 * kChartRows);
            double sum[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    for (int k = 0; k < 3; ++k)
                        sum[k] += uchar(rgb.at((y * w + x) * 3 + k));
            const double n = double(x1 - x0) * (y1 - y0);
            colours << QColor(qRound(sum[0] / n), qRound(sum[1] / n), qRound(sum[2] / n));
        }
    }
    return colours;
}

// The picture of a file decoded whole, on the file's own clock: when its
// frames start and end, and when it turns white.
struct Picture {
    double first = -1;
    double last = -1;
    QVector<double> flashes;
    QString errors; // what the decoder complained of
};

Picture decodePicture(const QString &file) {
    QByteArray out;
    Picture picture;
    picture.errors = ffmpegText(
        {"-v", "error", "-copyts", "-i", "file:" + file, "-map", "0:v", "-vf",
         "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-", "-f", "null", "-"},
        &out);
    double time = 0;
    bool white = true; // a flash under way at the start is no onset
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("frame:")) {
            time = line.mid(line.indexOf("pts_time:") + 9).toDouble();
            if (picture.first < 0)
                picture.first = time;
            picture.last = time;
        } else if (line.startsWith("lavfi.signalstats.YAVG=")) {
            const bool now = line.mid(line.indexOf('=') + 1).toDouble() > 128;
            if (now && !white)
                picture.flashes << time;
            white = now;
        }
    }
    return picture;
}

// When the sound starts to beep, on the file's own clock.
QVector<double> beepOnsets(const QString &file) {
    const QString text = ffmpegText({"-copyts", "-i", "file:" + file, "-map", "0:a", "-af",
                                     "silencedetect=n=-30dB:d=0.05", "-f", "null", "-"});
    static const QRegularExpression end("silence_end: (-?[0-9.]+)");
    QVector<double> onsets;
    for (auto it = end.globalMatch(text); it.hasNext();)
        onsets << it.next().captured(1).toDouble();
    return onsets;
}

// The mean of beep less flash over the beeps that have a flash within window.
bool meanOffset(const QVector<double> &flashes, const QVector<double> &beeps, double window,
                double *mean, int *pairs) {
    double sum = 0;
    *pairs = 0;
    for (const double beep : beeps) {
        double nearest = 1e9;
        for (const double flash : flashes)
            nearest = qAbs(beep - flash) < qAbs(nearest) ? beep - flash : nearest;
        if (qAbs(nearest) < window) {
            sum += nearest;
            ++*pairs;
        }
    }
    *mean = *pairs ? sum / *pairs : 0;
    return *pairs >= 4;
}

// The mean SSIM of two pictures of one size, frame by frame.
double ssim(const QString &file, const QString &reference) {
    const QString text = ffmpegText({"-i", "file:" + file, "-i", "file:" + reference, "-lavfi",
                                     "[0:v][1:v]ssim", "-f", "null", "-"});
    static const QRegularExpression all("SSIM .* All:([0-9.]+)");
    const QRegularExpressionMatch m = all.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

// The mean saturation of a picture, from a file or a lavfi description.
double saturation(const QStringList &input) {
    QByteArray out;
    ffmpegText(QStringList{"-v", "error"} + input +
                   QStringList{"-vf",
                               "signalstats,metadata=print:key=lavfi.signalstats.SATAVG:file=-",
                               "-f", "null", "-"},
               &out);
    double sum = 0;
    int frames = 0;
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("lavfi.signalstats.SATAVG=")) {
            sum += line.mid(line.indexOf('=') + 1).toDouble();
            ++frames;
        }
    }
    return frames ? sum / frames : -1;
}

// Frames idet finds woven, of all it judged.
QString wovenFrames(const QString &file, int *woven) {
    const QString text =
        ffmpegText({"-i", "file:" + file, "-map", "0:v", "-vf", "idet", "-f", "null", "-"});
    static const QRegularExpression multi(
        "Multi frame detection: TFF: *(\\d+) BFF: *(\\d+) Progressive: *(\\d+)");
    const QRegularExpressionMatch m = multi.match(text);
    *woven = m.hasMatch() ? m.captured(1).toInt() + m.captured(2).toInt() : -1;
    return m.captured(0);
}

} // namespace

class TestKorvexFidelity : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void convertsFaithfully_data();
    void convertsFaithfully();
    void showsTheLengthOfLateTimestamps();
    void keepsTheColours_data();
    void keepsTheColours();

private:
    QTemporaryDir m_dir;
    QVector<Conversion> m_conversions;
    QVector<Conversion> m_charts;
};

void TestKorvexFidelity::initTestCase() {
    QVERIFY(QFileInfo(korvex()).isExecutable());
    QVERIFY(m_dir.isValid());
    av_log_set_level(AV_LOG_ERROR);

    const QList<Clip> charts = {
        chartClip("hd709.mkv", 1920, 1080, "bt709"), chartClip("sd601.mkv", 720, 576, "bt470bg"),
        chartClip("full.mkv", 640, 480, "bt470bg", "pc"), chartClip("screen.mkv", 1280, 720, "")};
    const QList<Clip> all = clips() + charts;
    QList<QStringList> commands;
    for (const Clip &clip : all)
        commands << QStringList{MediaPrograms::ffmpeg(), "-v", "error", "-nostdin", "-y"} +
                        clip.ffmpeg + QStringList{m_dir.filePath(clip.name)};
    QVector<QPair<int, QString>> results = runAll(commands, m_dir.path());
    for (int i = 0; i < all.size(); ++i)
        QVERIFY2(results.at(i).first == 0,
                 qPrintable(all.at(i).name + ": " + results.at(i).second));

    // clang-format off
    const QList<QPair<QString, QString>> jobs = {
        {"late.mp4",   "avi.format.xml"},
        {"late.mp4",   "divx.format.xml"},
        {"late.mp4",   "xvid.format.xml"},
        {"ntsc.mp4",   "mpeg1.format.xml"},
        {"ntsc.mp4",   "BlackBerry 3GP Video - Stereo 3gp.xml"},
        {"ntsc.mp4",   "wii_mov.format.xml"},
        {"sixty.mp4",  "Mobile Phone 3GPP Video - Stereo 3g2.xml"},
        {"sixty.mp4",  "psp_mpeg4.format.xml"},
        {"wide.mp4",   "flv.format.xml"},
        {"offset.mkv", "mp4.format.xml"},
        {"woven.mpg",  "mp4.format.xml"},
        {"woven.mpg",  "mpeg2.format.xml"},
        {"woven.mpg",  "mkv.format.xml"},
        {"lead.mkv",   "mp4.format.xml"},
        {"early.mkv",  "mp4.format.xml"},
        {"dv.dv",      "mp4.format.xml"},
        {"dv.mov",     "mkv.format.xml"},
        {"film.mpg",   "mp4.format.xml"},
        {"pq.mkv",     "mp4.format.xml"},
        {"hlg.mkv",    "avi.format.xml"},
        // Into SD and HD outputs that write no colour tags, and one that does.
        {"hd709.mkv",  "BlackBerry AVI Video avi.xml"},
        {"hd709.mkv",  "Xbox_wmv_normal.format.xml"},
        {"hd709.mkv",  "mpeg1.format.xml"},
        {"hd709.mkv",  "wii_avi.format.xml"},
        {"sd601.mkv",  "divx_hd.format.xml"},
        {"sd601.mkv",  "wmv_hd.format.xml"},
        {"full.mkv",   "xvid_hd.format.xml"},
        {"screen.mkv", "mkv_hd.format.xml"},
    };
    // clang-format on
    commands.clear();
    for (const auto &[name, profile] : jobs) {
        const auto clip =
            std::find_if(all.begin(), all.end(), [&](const Clip &c) { return c.name == name; });
        QString problem;
        const bool chart = std::any_of(charts.begin(), charts.end(),
                                       [&](const Clip &c) { return c.name == name; });
        QVector<Conversion> &list = chart ? m_charts : m_conversions;
        list << conversion(profile, *clip, m_dir.path(), &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        commands << QStringList{korvex()} + list.last().arguments;
    }
    results = runAll(commands, m_dir.path());
    for (int i = 0; i < m_conversions.size(); ++i)
        std::tie(m_conversions[i].exitCode, m_conversions[i].log) = results.at(i);
    for (int i = 0; i < m_charts.size(); ++i)
        std::tie(m_charts[i].exitCode, m_charts[i].log) = results.at(m_conversions.size() + i);
}

void TestKorvexFidelity::convertsFaithfully_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < m_conversions.size(); ++i)
        QTest::newRow(qPrintable(m_conversions.at(i).name)) << i;
}

// Each output, measured on its own: whole, as long as its source, the sound
// with the picture, the shape of the picture kept, and no woven fields.
void TestKorvexFidelity::convertsFaithfully() {
    QFETCH(int, index);
    const Conversion &c = m_conversions.at(index);
    const QString job = "\n  korvex " + c.arguments.join(' ') + "\n" + c.log;
    QVERIFY2(c.exitCode == 0, qPrintable(job));
    QVERIFY2(!c.log.contains("non monotonically increasing dts"), qPrintable(job));

    const Probe::Media out = Probe::read(c.output);
    const Probe::Stream *video = out.firstVideo();
    QVERIFY2(video && out.hasAudio(), qPrintable(job));
    const Picture picture = decodePicture(c.output);
    QVERIFY2(picture.errors.isEmpty(), qPrintable("decoding: " + picture.errors + job));
    const double frame = video->frameRate > 0 ? 1 / video->frameRate : 0.04;
    const double length = picture.last + frame - picture.first;
    QString facts = QString("%1x%2 SAR %3:%4, %5 fps, %6 s of picture")
                        .arg(video->width)
                        .arg(video->height)
                        .arg(video->sarNum)
                        .arg(video->sarDen)
                        .arg(video->frameRate)
                        .arg(length);
    QVERIFY2(qAbs(length - kClipSeconds) <= frame + 0.002, qPrintable(facts + job));

    const QSize source(c.clip.size.section('x', 0, 0).toInt(), c.clip.size.section('x', 1).toInt());
    const double sar =
        video->sarNum > 0 && video->sarDen > 0 ? double(video->sarNum) / video->sarDen : 1.0;
    const double shown = video->width * sar / video->height;
    if (c.clip.name == "wide.mp4") {
        // Kept at its height, in square pixels.
        QVERIFY2(qAbs(shown - 16 / 9.0) < 0.01 && video->height == source.height(),
                 qPrintable(facts + job));
    }
    // A profile's 29.97 is NTSC's 30000/1001.
    const int rateAt = c.arguments.indexOf("-r");
    if (rateAt >= 0 && c.arguments.value(rateAt + 1) == "29.97")
        QVERIFY2(qAbs(video->frameRate * 1001 - 30000) < 1e-3, qPrintable(facts + job));
    // Matroska's players take the tracks marked default, whatever the source marked.
    if (c.output.endsWith(".mkv"))
        QVERIFY2(video->isDefault && out.convertedAudio()->isDefault, qPrintable(facts + job));
    if (c.clip.minSsim > 0) {
        const double kept = ssim(c.output, m_dir.filePath(c.clip.name));
        facts += QString(", SSIM %1 against the source").arg(kept, 0, 'f', 4);
        QVERIFY2(kept >= c.clip.minSsim, qPrintable(facts + job));
    }
    if (!c.clip.sdrPicture.isEmpty()) {
        const double vivid = saturation({"-i", "file:" + c.output});
        const double graded = saturation({"-f", "lavfi", "-i", c.clip.sdrPicture});
        facts += QString(", saturation %1 of the SDR picture's %2, colours %3/%4/%5")
                     .arg(vivid, 0, 'f', 1)
                     .arg(graded, 0, 'f', 1)
                     .arg(video->colorPrimaries, video->colorTransfer, video->colorMatrix);
        QVERIFY2(vivid >= kSdrSaturationShare * graded, qPrintable(facts + job));
        // Where the output can say, it says SDR BT.709, in the matrix of its size.
        const QString matrix = video->height >= 720 ? "bt709" : "bt470bg";
        if (!video->colorTransfer.isEmpty())
            QVERIFY2(video->colorPrimaries == "bt709" && video->colorTransfer == "bt709" &&
                         video->colorMatrix == matrix,
                     qPrintable(facts + job));
    }

    if (c.clip.flashes) {
        double offset = 0;
        int pairs = 0;
        const QStringList rate = c.clip.rate.split('/');
        const double period =
            kFlashPeriod * (rate.size() == 2 ? rate[1].toDouble() : 1.0) / rate[0].toDouble();
        const bool paired =
            meanOffset(picture.flashes, beepOnsets(c.output), period / 2, &offset, &pairs);
        facts += QString(", sound %1 ms after the picture over %2 flashes")
                     .arg(offset * 1000, 0, 'f', 1)
                     .arg(pairs);
        // A changed rate moves a flash by up to half a frame either way,
        // which evens out over the flashes.
        const double bound = c.output.endsWith(".avi") ? kAviSoundDelay : frame / 4;
        QVERIFY2(paired && qAbs(offset) <= bound, qPrintable(facts + job));
    } else {
        int woven = 0;
        const QString idet = wovenFrames(c.output, &woven);
        facts += ", " + idet;
        QVERIFY2(!video->interlaced, qPrintable(facts + job));
        // The fine lines of whole frames in motion fool idet, in the source too.
        if (c.clip.minSsim == 0)
            QVERIFY2(woven >= 0 && woven <= kClipSeconds * video->frameRate / 10,
                     qPrintable(facts + job));
    }
    qInfo().noquote() << facts;
}

// A file whose timestamps start late lists the length it plays.
void TestKorvexFidelity::showsTheLengthOfLateTimestamps() {
    const Run probe = runKorvex({"-i", m_dir.filePath("offset.mkv")});
    const ProbeResult result = ProbeParser::parse(probe.text);
    QVERIFY2(qAbs(result.probedSecondsExact.toDouble() - kClipSeconds) < 0.15,
             qPrintable(probe.text));
}

void TestKorvexFidelity::keepsTheColours_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < m_charts.size(); ++i)
        QTest::newRow(qPrintable(m_charts.at(i).name)) << i;
}

// Each patch of the chart as a player shows the output, against the source
// as a player shows it.
void TestKorvexFidelity::keepsTheColours() {
    QFETCH(int, index);
    const Conversion &c = m_charts.at(index);
    const QString job = "\n  korvex " + c.arguments.join(' ') + "\n" + c.log;
    QVERIFY2(c.exitCode == 0, qPrintable(job));
    QString sourceHow;
    QString outputHow;
    const QVector<QColor> source = patchColours(m_dir.filePath(c.clip.name), &sourceHow);
    const QVector<QColor> output = patchColours(c.output, &outputHow);
    QCOMPARE(source.size(), kPatches.size());
    QVERIFY2(output.size() == kPatches.size(), qPrintable(outputHow + job));
    int worst = 0;
    QString facts = outputHow + ":";
    for (int i = 0; i < source.size(); ++i) {
        const QColor a = source.at(i);
        const QColor b = output.at(i);
        worst = std::max({worst, qAbs(a.red() - b.red()), qAbs(a.green() - b.green()),
                          qAbs(a.blue() - b.blue())});
        facts += QString(" %1,%2,%3>%4,%5,%6")
                     .arg(a.red())
                     .arg(a.green())
                     .arg(a.blue())
                     .arg(b.red())
                     .arg(b.green())
                     .arg(b.blue());
    }
    facts += QString("; worst %1/255").arg(worst);
    QVERIFY2(worst <= kPatchTolerance, qPrintable(facts + job));
    qInfo().noquote() << facts;
}

QTEST_GUILESS_MAIN(TestKorvexFidelity)
#include "tst_korvexfidelity.moc"
