#include "player/playerclock.h"

#include <cmath>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/time.h>
}

#include <QDebug>

#include "player/audiovisualisation.h"
#include "player/playerstate.h"
#include "player/playertiming.h"
#include "player/playervalues.h"
#include "player/previewframe.h"
#include "player/subtitledecoder.h"

using namespace PlayerTiming;

double playerNow() {
    return av_gettime() / 1000000.0;
}

double audioClock(PlayerState *is, PlayerClock now) {
    {
        std::lock_guard<std::mutex> lock(is->audio_clock_mutex);
        if (is->audio_stream && is->audio_handed_at > 0.0)
            return deviceClockAt(is->audio_handed_end, is->audio_buffer_seconds,
                                 is->audio_handed_at, now(), is->audio_moving);
    }
    return audioClockAt(is->audio_pts, is->audio_data_size, is->audio_data_index,
                        is->audio_stream ? is->audio_bytes_per_second.load() : 0);
}

bool soundIsStalled(PlayerState *is, PlayerClock now) {
    // Taken when a callback has handed its sound over: a callback that is
    // still catching up after a stall does not count yet.
    std::lock_guard<std::mutex> lock(is->audio_clock_mutex);
    return deviceStalled(is->audio_handed_at, now(), is->audio_buffer_seconds);
}

double videoClock(PlayerState *is, PlayerClock now) {
    if (is->paused)
        return is->shown_pts;
    return is->shown_pts_drift + now();
}

double masterClock(PlayerState *is, PlayerClock now) {
    return soundIsMaster(is, now) ? audioClock(is, now) : videoClock(is, now);
}

bool soundIsMaster(PlayerState *is, PlayerClock now) {
    if (!is->audio_stream || is->audio_lost)
        return false;
    if (!is->video_stream)
        return true;
    // A device that takes no sound would hold the pictures with it.
    return soundClockIsCurrent(is) && !packetQueueIsFinished(&is->audio_queue) &&
           !soundIsStalled(is, now);
}

bool pictureIsCurrent(PlayerState *is) {
    return is->video_stream && is->shown_pts_pinned &&
           is->shown_serial == packetQueueSerial(&is->video_queue);
}

bool soundClockIsCurrent(PlayerState *is) {
    return is->audio_stream && is->audio_clock_serial == packetQueueSerial(&is->audio_queue);
}

void togglePlayerPause(PlayerState *is, PlayerClock now) {
    if (!is)
        return;
    if (is->paused) {
        const double resumedAt = now();
        {
            std::lock_guard<std::mutex> lock(is->picture_mutex);
            is->schedule.frame_timer += resumeShift(resumedAt, is->shown_pts, is->shown_pts_drift,
                                                    is->shown_pts_pinned, is->pause_started_at);
        }
        if (is->shown_pts_pinned && is->read_pause_result != AVERROR(ENOSYS))
            is->shown_pts = now() + is->shown_pts_drift;
        is->shown_pts_drift = is->shown_pts - now();
        is->paused = 0;
    } else {
        is->pause_started_at = now();
        is->paused = 1;
    }
}

namespace {

// Frees subtitles whose time has passed (at most one a turn), or all of them
// when the subtitle stream changed.
void expireSubpictures(PlayerState *is) {
    if (is->subtitle_stream_changed) {
        std::lock_guard<std::mutex> lock(is->subpicture_mutex);
        while (is->subpicture_count != 0) {
            freeSubpicture(&is->subpictures[is->subpicture_read_index]);
            is->subpicture_read_index = (is->subpicture_read_index + 1) % kSubpictureQueueSize;
            --is->subpicture_count;
        }
        is->subtitle_stream_changed = 0;
        is->subpicture_cond.notify_all();
        return;
    }

    int count;
    {
        std::lock_guard<std::mutex> lock(is->subpicture_mutex);
        count = is->subpicture_count;
    }
    if (count <= 0)
        return;
    SubtitlePicture *sp = &is->subpictures[is->subpicture_read_index];
    SubtitlePicture *sp2 =
        count > 1 ? &is->subpictures[(is->subpicture_read_index + 1) % kSubpictureQueueSize]
                  : nullptr;
    const double shown = is->shown_pts;
    const bool expired = shown > sp->pts + sp->subtitle.end_display_time / 1000.0 ||
                         (sp2 && shown > sp2->pts + sp2->subtitle.start_display_time / 1000.0);
    if (!expired)
        return;
    freeSubpicture(sp);
    is->subpicture_read_index = (is->subpicture_read_index + 1) % kSubpictureQueueSize;
    std::lock_guard<std::mutex> lock(is->subpicture_mutex);
    --is->subpicture_count;
    is->subpicture_cond.notify_all();
}

void releaseShownPicture(PlayerState *is) {
    is->picture_read_index = (is->picture_read_index + 1) % kPictureQueueSize;
    std::lock_guard<std::mutex> lock(is->picture_mutex);
    --is->picture_count;
    is->picture_cond.notify_all();
}

// Returns false when the picture at the head of the queue is not due yet:
// that turn then changes nothing, not even the published position.
bool showDuePicture(PlayerState *is, PlayerClock now) {
    for (;;) {
        PreviewPicture *vp;
        {
            std::lock_guard<std::mutex> lock(is->picture_mutex);
            if (is->picture_count == 0)
                return true;
            vp = &is->pictures[is->picture_read_index];
            const double current = now();
            if (vp->target_clock > current)
                return false;

            is->shown_pts = vp->pts;
            is->shown_pts_drift = vp->pts - current;
            is->shown_position = vp->position;
            is->shown_pts_pinned = true;
            is->shown_serial = vp->serial;

            double nextTarget;
            if (is->picture_count > 1) {
                const PreviewPicture &next =
                    is->pictures[(is->picture_read_index + 1) % kPictureQueueSize];
                nextTarget = next.target_clock;
                if (nextTarget < vp->target_clock)
                    qWarning("preview: picture due at %.6f queued after one due at %.6f",
                             nextTarget, vp->target_clock);
            } else {
                nextTarget = vp->target_clock + is->video_pts - vp->pts;
            }

            const double late = now();
            if (late > nextTarget) {
                is->skip_ratio = float(is->skip_ratio * kSkipRatioGrowth);
                if (is->picture_count > 1 || late > nextTarget + kLateShowLimit) {
                    is->picture_read_index = (is->picture_read_index + 1) % kPictureQueueSize;
                    --is->picture_count;
                    is->picture_cond.notify_all();
                    continue;
                }
            }
        }

        if (is->subtitle_stream)
            expireSubpictures(is);
        displayVideoFrame(is);
        releaseShownPicture(is);
        return true;
    }
}

void publishPosition(PlayerState *is, PlayerClock now) {
    const int64_t t = std::llround(now() * 1000000.0);
    if (!positionUpdateDue(is->last_position_update, t))
        return;
    const bool hasVideo = is->video_stream != nullptr;
    // Until something from after the last seek is on show the clocks tell
    // the old position, and before the first picture the video clock tells
    // the time since the epoch: the position poll would take either for
    // where the preview stands.
    if (hasVideo ? !pictureIsCurrent(is) : !soundClockIsCurrent(is))
        return;
    const bool hasAudio = soundIsMaster(is, now);
    const double audio = hasAudio ? audioClock(is, now) : 0.0;
    const double video = videoClock(is, now);
    playPosition = publishedPosition(hasAudio, hasVideo, audio, video);
    is->last_position_update = t;
}

} // namespace

void refreshVideo(PlayerState *is, PlayerClock now) {
    if (is->video_stream) {
        if (!showDuePicture(is, now))
            return;
    } else if (is->audio_stream)
        displayVideoFrame(is);
    publishPosition(is, now);
}

void displayVideoFrame(PlayerState *is) {
    if (is->audio_stream && is->audio_display_mode != 0) {
        drawAudioVisualisation(is);
        return;
    }
    if (!is->video_stream)
        return;
    PreviewPicture &vp = is->pictures[is->picture_read_index];
    if (vp.image.isNull())
        return;
    previewFrame.setImage(std::move(vp.image));
    vp.image = QImage();
}
