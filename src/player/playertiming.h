#pragma once

#include <cstdint>

#include <QRectF>
#include <QSize>

// The player's clock and timing arithmetic as plain functions of their inputs,
// so that the sync rules can be checked without threads or media.
namespace PlayerTiming {

// Nominal delays outside (0, kMaxFrameDelay) are taken as broken time stamps.
constexpr double kMaxFrameDelay = 10.0;
// Beyond this distance between the clocks the video is not corrected at all.
constexpr double kNoSyncThreshold = 10.0;
constexpr double kMinSyncThreshold = 0.01;
// A single late picture is still shown up to this far past its successor's due time.
constexpr double kLateShowLimit = 0.5;
constexpr double kSkipRatioGrowth = 1.05;
constexpr float kSkipRatioShrink = 0.95f;
constexpr float kMinSkipRatio = 0.95f;
constexpr int64_t kPositionUpdateIntervalUs = 30000;
// Sound running this far ahead of the pictures makes the position follow the pictures.
constexpr double kPositionLeadLimit = 1.0;

// Time of the next sample the audio callback hands to the device.
double audioClockAt(double audioPts, int dataSize, int dataIndex, int bytesPerSecond);
double videoClockAt(bool paused, double shownPts, double shownPtsDrift, double now);

// The sound the device plays at `now`. The callback that ran at
// `callbackTime` had handed over the sound up to `handedEnd`, of which the
// device still held `deviceHeld` seconds (the buffer just handed over). While
// the sound moves the device plays on at the wall clock's pace, for one
// buffer at most: a device that takes nothing more plays nothing more.
double deviceClockAt(double handedEnd, double deviceHeld, double callbackTime, double now,
                     bool moving);
// A device that has not asked for sound for this long past its buffer's
// length has stopped taking it (a suspended or lost device).
constexpr double kDeviceStallSlack = 0.2;
bool deviceStalled(double callbackTime, double now, double bufferSeconds);
// Sample frames of one device buffer at `sampleRate`: the usual 1024, fewer
// at low rates, so that a buffer never holds much more than kMaxDeviceBuffer
// seconds of sound (the picture can only be as close to the sound as that).
constexpr int kDeviceSamples = 1024;
constexpr int kMinDeviceSamples = 256;
constexpr double kMaxDeviceBuffer = 0.032;
int deviceSamples(int sampleRate);

// The part of the video thread's state that schedules pictures.
struct FrameSchedule {
    double frame_timer = 0.0;
    double last_frame_pts = 0.0;
    double last_frame_delay = 0.0;
};

// The delay correction against the master clock: `diff` is video clock minus
// master clock.
double correctedDelay(double delay, double diff);
// The wall-clock time at which the picture with time stamp `pts` is due;
// advances the schedule. The correction applies only when sound is open.
double targetClock(FrameSchedule &schedule, double pts, bool hasAudio, double videoClock,
                   double masterClock);
// The state a flush leaves: the next picture falls back to the last delay (0)
// and is due at once.
void resetSchedule(FrameSchedule &schedule, double now);

// Frame skipping: true when the picture is to be dropped.
bool skipPicture(float &skipCounter, float skipRatio);
float lowerSkipRatio(float skipRatio);

// Chooses a decoded picture's time stamp between the one carried from its
// packet and the packet's decoding time stamp, trusting whichever went
// backwards less often.
struct StampTracker {
    int64_t faulty_pts_count = 0;
    int64_t faulty_dts_count = 0;
    int64_t last_pts_seen;
    int64_t last_dts_seen;
    StampTracker();
    void reset();
};
int64_t choosePictureStamp(StampTracker &tracker, int64_t carriedPts, int64_t dts);

// The frame delay of one picture from the stream's frame rate.
double frameDelay(double frameRate, int repeatPict);

// How far to move the frame timer when a pause ends. A picture time pinned
// by the display measures the pause from that picture; before the first
// picture the pause is measured from its start.
double resumeShift(double now, double shownPts, double shownPtsDrift, bool pinned,
                   double pauseStartedAt);

// The position offered to the main window.
double publishedPosition(bool hasAudio, bool hasVideo, double audioClock, double videoClock);
bool positionUpdateDue(int64_t lastUpdateUs, int64_t nowUs);

// The position poll's view of the shared position: counted from the file's
// start time, so that a file whose time stamps start late still reaches its
// end. The shared value is not touched.
double displayPosition(double position, int64_t startTime);
// Percent of the duration for the slider; 0 when the duration is unknown or
// under one second.
int sliderPercent(double position, int64_t duration);
// The seek target for a slider value, in stream time (the start time added).
int64_t sliderSeekTarget(int value, int64_t duration, int64_t startTime);
// Whole seconds of a duration, 0 when unknown.
int durationSeconds(int64_t duration);

} // namespace PlayerTiming

// The preview picture's geometry.
namespace PreviewGeometry {

// The picture's size as it is meant to be seen: its width stretched by the
// sample aspect ratio `sarNum`:`sarDen` (a DVD's 720x576 of 16:9 is 1024x576).
// An unknown ratio (0 or negative) leaves the size as it is.
QSize displaySize(const QSize &decoded, int sarNum, int sarDen);
// The size the video thread converts pictures to: frames wider than the box
// keep their aspect ratio at the box's width, narrower ones fill the box
// (the way the window paints them).
QSize previewPictureSize(const QSize &source, const QSize &box);
// Where a frame of `frame` size is painted inside `box`.
QRectF previewTargetRect(const QSize &frame, const QRectF &box);

} // namespace PreviewGeometry
