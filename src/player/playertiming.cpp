#include "player/playertiming.h"

#include <algorithm>
#include <cmath>
#include <limits>

extern "C" {
#include <libavutil/avutil.h>
}

namespace PlayerTiming {

namespace {
constexpr double kMicroseconds = 1000000.0;
constexpr double kFallbackFrameRate = 25.0;
} // namespace

double audioClockAt(double audioPts, int dataSize, int dataIndex, int bytesPerSecond) {
    if (bytesPerSecond == 0)
        return audioPts;
    return audioPts - double(dataSize - dataIndex) / bytesPerSecond;
}

double videoClockAt(bool paused, double shownPts, double shownPtsDrift, double now) {
    return paused ? shownPts : shownPtsDrift + now;
}

double deviceClockAt(double handedEnd, double deviceHeld, double callbackTime, double now,
                     bool moving) {
    const double played = moving ? std::clamp(now - callbackTime, 0.0, deviceHeld) : 0.0;
    return handedEnd - deviceHeld + played;
}

bool deviceStalled(double callbackTime, double now, double bufferSeconds) {
    return callbackTime > 0.0 && now - callbackTime > bufferSeconds + kDeviceStallSlack;
}

int deviceSamples(int sampleRate) {
    int samples = kDeviceSamples;
    while (samples > kMinDeviceSamples && samples > sampleRate * kMaxDeviceBuffer)
        samples /= 2;
    return samples;
}

double correctedDelay(double delay, double diff) {
    const double threshold = std::max(kMinSyncThreshold, delay);
    if (std::fabs(diff) >= kNoSyncThreshold)
        return delay;
    if (diff <= -threshold)
        return 0.0;
    if (diff >= threshold)
        return 2.0 * delay;
    return delay;
}

double targetClock(FrameSchedule &schedule, double pts, bool hasAudio, double videoClock,
                   double masterClock) {
    double delay = pts - schedule.last_frame_pts;
    if (delay > 0.0 && delay < kMaxFrameDelay)
        schedule.last_frame_delay = delay;
    else
        delay = schedule.last_frame_delay;
    schedule.last_frame_pts = pts;

    if (hasAudio)
        delay = correctedDelay(delay, videoClock - masterClock);

    schedule.frame_timer += delay;
    return schedule.frame_timer;
}

void resetSchedule(FrameSchedule &schedule, double now) {
    // So far in the future that the first delay comes out negative and falls
    // back to the last accepted one.
    schedule.last_frame_pts = 9223372036854775808.0;
    schedule.last_frame_delay = 0.0;
    schedule.frame_timer = now;
}

bool skipPicture(float &skipCounter, float skipRatio) {
    skipCounter += 1.0f;
    if (skipCounter < skipRatio)
        return true;
    skipCounter -= std::max(skipRatio, 1.0f);
    return false;
}

float lowerSkipRatio(float skipRatio) {
    return std::max(kMinSkipRatio, skipRatio * kSkipRatioShrink);
}

StampTracker::StampTracker() {
    reset();
}

void StampTracker::reset() {
    last_pts_seen = AV_NOPTS_VALUE;
    last_dts_seen = AV_NOPTS_VALUE;
}

int64_t choosePictureStamp(StampTracker &tracker, int64_t carriedPts, int64_t dts) {
    if (dts != AV_NOPTS_VALUE) {
        if (dts <= tracker.last_dts_seen)
            ++tracker.faulty_dts_count;
        tracker.last_dts_seen = dts;
    }
    if (carriedPts != AV_NOPTS_VALUE) {
        if (carriedPts <= tracker.last_pts_seen)
            ++tracker.faulty_pts_count;
        tracker.last_pts_seen = carriedPts;
    }
    if (carriedPts != AV_NOPTS_VALUE &&
        (tracker.faulty_pts_count < tracker.faulty_dts_count || dts == AV_NOPTS_VALUE))
        return carriedPts;
    if (dts != AV_NOPTS_VALUE)
        return dts;
    return 0;
}

double frameDelay(double frameRate, int repeatPict) {
    const double period = 1.0 / (frameRate > 0.0 ? frameRate : kFallbackFrameRate);
    return period + repeatPict * (period * 0.5);
}

double resumeShift(double now, double shownPts, double shownPtsDrift, bool pinned,
                   double pauseStartedAt) {
    if (pinned)
        return now + shownPtsDrift - shownPts;
    return pauseStartedAt > 0.0 ? std::max(0.0, now - pauseStartedAt) : 0.0;
}

double publishedPosition(bool hasAudio, bool hasVideo, double audioClock, double videoClock) {
    const double master = hasAudio ? audioClock : videoClock;
    if (hasAudio && hasVideo) {
        const double lead = audioClock - videoClock;
        if (lead > kPositionLeadLimit)
            return master - lead;
    }
    return master;
}

bool positionUpdateDue(int64_t lastUpdateUs, int64_t nowUs) {
    if (lastUpdateUs == 0)
        return true;
    const int64_t elapsed = nowUs - lastUpdateUs;
    return elapsed >= kPositionUpdateIntervalUs;
}

double displayPosition(double position, int64_t startTime) {
    if (startTime == AV_NOPTS_VALUE)
        return position;
    return position - startTime / kMicroseconds;
}

int durationSeconds(int64_t duration) {
    if (duration == AV_NOPTS_VALUE || duration <= 0)
        return 0;
    const int64_t seconds = duration / int64_t(kMicroseconds);
    return int(std::min<int64_t>(seconds, std::numeric_limits<int>::max()));
}

int sliderPercent(double position, int64_t duration) {
    const int seconds = durationSeconds(duration);
    if (seconds <= 0 || !std::isfinite(position))
        return 0;
    const double percent = position / seconds * 100.0;
    return int(std::clamp(std::trunc(percent), 0.0, 100.0));
}

int64_t sliderSeekTarget(int value, int64_t duration, int64_t startTime) {
    const double span = duration == AV_NOPTS_VALUE || duration < 0 ? 0.0 : double(duration);
    int64_t target = int64_t(std::trunc(value / 100.0 * span));
    if (startTime != AV_NOPTS_VALUE)
        target += startTime;
    return target;
}

} // namespace PlayerTiming

namespace PreviewGeometry {

QSize displaySize(const QSize &decoded, int sarNum, int sarDen) {
    if (sarNum <= 0 || sarDen <= 0 || sarNum == sarDen)
        return decoded;
    const double width = std::round(double(decoded.width()) * sarNum / sarDen);
    const double widest = std::numeric_limits<int>::max();
    return QSize(int(std::clamp(width, 1.0, widest)), decoded.height());
}

QSize previewPictureSize(const QSize &source, const QSize &box) {
    if (source.width() <= 0 || source.height() <= 0)
        return box;
    if (box.width() <= 0 || box.height() <= 0)
        return source;
    const double w = source.width();
    const double h = source.height();
    if (std::trunc(w / h * box.height()) > box.width()) {
        const int height = std::max(1, int(std::lround(box.width() / w * h)));
        return QSize(box.width(), height);
    }
    return box;
}

QRectF previewTargetRect(const QSize &frame, const QRectF &box) {
    QRectF target = box;
    if (frame.width() <= 0 || frame.height() <= 0)
        return target;
    const double w = frame.width();
    const double h = frame.height();
    if (std::trunc(w / h * box.height()) > box.width()) {
        const double height = box.width() / w * h;
        target.setY(box.y() + (box.height() - std::trunc(box.width() / w * h)) * 0.5);
        target.setHeight(height);
    }
    return target;
}

} // namespace PreviewGeometry
