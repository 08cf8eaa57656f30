#include "fielddetector.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include "ffmpegchild.h"

namespace {

constexpr int kSampleFrames = 120;
// Fewer woven frames than this, or than one in kWovenShareOf of those judged,
// are idet's odd mistakes, or motion too slight to show the fields apart.
constexpr int kMinWovenFrames = 4;
constexpr int kWovenShareOf = 20;
// Woven frames hold one field order; this many times the other at least.
constexpr int kOrderDominance = 4;
constexpr int kMeasureTimeoutMs = 30000;
// Decoding is most of a look's work: this many threads hurry it without
// waking one for every core of a busy machine.
constexpr int kDecodeThreads = 2;
// The lines of one PAL field: a picture no taller was taken from one field
// or scaled down, which leaves no two fields to tell apart.
constexpr int kFieldLines = 288;

// Codecs that have no way to code fields and whose sources are whole frames:
// web and phone video, and pictures made as stills or animations.
bool codedWhole(const QString &codec) {
    static const QSet<QString> whole = {
        "av1",  "vp8",  "vp9",  "theora", "vp6",        "vp6f", "vp6a", "flv1",
        "h263", "rv10", "rv20", "rv30",   "rv40",       "svq1", "svq3", "cinepak",
        "gif",  "apng", "png",  "webp",   "mpeg1video", "bmp",  "tiff", "jpegxl",
    };
    return whole.contains(codec);
}

qint64 nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Runs ffmpeg with the arguments and gives its standard error; false when it
// could not run, failed or took too long.
bool runFfmpeg(const QStringList &arguments, QByteArray *standardError) {
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0)
        return false;
    const pid_t child = FfmpegChild::start(arguments, errPipe[1]);
    ::close(errPipe[1]);
    if (child < 0) {
        ::close(errPipe[0]);
        return false;
    }
    const qint64 deadline = nowMs() + kMeasureTimeoutMs;
    bool timedOut = false;
    char buffer[4096];
    for (;;) {
        const qint64 left = deadline - nowMs();
        pollfd fd = {errPipe[0], POLLIN, 0};
        const int ready = left > 0 ? poll(&fd, 1, int(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = true;
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t n = ::read(errPipe[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        standardError->append(buffer, n);
    }
    ::close(errPipe[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

SourceFacts::Weave FieldDetector::judge(const Counts &counts) {
    const int woven = std::max(counts.topFirst, counts.bottomFirst);
    const int other = std::min(counts.topFirst, counts.bottomFirst);
    const int judged = counts.topFirst + counts.bottomFirst + counts.progressive;
    if (woven < kMinWovenFrames || woven * kWovenShareOf < judged ||
        other * kOrderDominance > woven)
        return SourceFacts::Weave::None;
    return counts.topFirst >= counts.bottomFirst ? SourceFacts::Weave::TopFirst
                                                 : SourceFacts::Weave::BottomFirst;
}

int FieldDetector::sampleFrames(const SourceFacts &facts, const FfmpegCommand &job) {
    // A stream that says it is interlaced is looked at all the same: whole
    // frames are often coded so, and deinterlacing them would soften them.
    const bool whole =
        (facts.height > 0 && facts.height <= kFieldLines) || codedWhole(facts.videoCodec);
    if (!job.writesVideo || !facts.hasVideo || facts.statedScan == SourceFacts::Scan::Progressive ||
        (facts.statedScan == SourceFacts::Scan::Unknown && whole))
        return 0;
    const double seconds = job.expectedDuration > 0 ? job.expectedDuration : facts.duration;
    if (seconds <= 0 || facts.frameRate <= 0)
        return kSampleFrames;
    const double frames = std::min(double(kSampleFrames), std::round(seconds * facts.frameRate));
    // Too few for woven ones to be believed: the job would be the same.
    return frames < kMinWovenFrames ? 0 : int(frames);
}

bool FieldDetector::measure(const QString &sourcePath, const SourceFacts &facts, int frames,
                            Counts *counts) {
    QStringList arguments = {"-hide_banner", "-nostdin", "-nostats", "-loglevel", "info"};
    // idet needs no deblocking.
    arguments << "-threads" << QString::number(kDecodeThreads) << "-skip_loop_filter"
              << "all";
    // From the middle: a film's first seconds are often black or still.
    if (facts.duration > 0 && facts.frameRate > 0) {
        const double start = (facts.duration - frames / facts.frameRate) / 2;
        if (start > 0)
            // From the key frame there: the frames up to an exact point
            // would be decoded for nothing.
            arguments << "-noaccurate_seek"
                      << "-ss" << QString::number(start, 'f', 3);
    }
    arguments << facts.inputOptions << "-i"
              << (facts.inputUrl.isEmpty() ? QStringLiteral("file:") + sourcePath : facts.inputUrl)
              << "-map" << QStringLiteral("0:%1").arg(facts.videoIndex) << "-an"
              << "-sn"
              << "-dn"
              << "-vf"
              << "idet"
              << "-frames:v" << QString::number(frames) << "-f"
              << "null"
              << "-";
    QByteArray text;
    if (!runFfmpeg(arguments, &text))
        return false;
    static const QRegularExpression multi(
        QStringLiteral("Multi frame detection: TFF: *(\\d+) BFF: *(\\d+) Progressive: *(\\d+) "
                       "Undetermined: *(\\d+)"));
    const QRegularExpressionMatch m = multi.match(QString::fromUtf8(text));
    if (!m.hasMatch())
        return false;
    counts->topFirst = m.captured(1).toInt();
    counts->bottomFirst = m.captured(2).toInt();
    counts->progressive = m.captured(3).toInt();
    counts->undetermined = m.captured(4).toInt();
    return true;
}

bool FieldDetector::settle(const QString &sourcePath, const FfmpegCommand &job,
                           SourceFacts *facts) {
    const int frames = sampleFrames(*facts, job);
    Counts counts;
    if (frames == 0 || !measure(sourcePath, *facts, frames, &counts))
        return false;
    const SourceFacts::Weave before = facts->weave;
    const SourceFacts::Weave found = judge(counts);
    if (found == SourceFacts::Weave::None)
        facts->weave = found;
    else if (facts->statedScan == SourceFacts::Scan::Interlaced)
        facts->weave = SourceFacts::Weave::Flagged;
    else
        facts->weave = found;
    return facts->weave != before;
}
