#include "player/audiooutput.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

extern "C" {
#include <SDL2/SDL.h>
#include <libavutil/time.h>
}

#include <QString>

#include "platform/playerplatform.h"
#include "player/playerclock.h"
#include "player/playercontroller.h"
#include "player/playerstate.h"
#include "player/playerthreads.h"
#include "player/playervalues.h"

namespace {

constexpr int kBytesPerSample = 2;
// After a stall the sound catches up with the pictures, to the sample: the
// pictures are corrected against the sound only when they are a whole frame
// apart, so that what the catch-up left would stay for the rest of the play.
// Further behind than the longest stall worth catching up the pictures are
// not where the sound was.
constexpr double kLongestCatchUp = 120.0;
// A callback must come back within its buffer period: it waits this long at
// most for a packet before it plays silence.
constexpr auto kPacketWait = std::chrono::milliseconds(5);

// A frame whose time stamp lies this far past the end of the sound before it
// follows a gap (a cut, a lost stretch): the gap is played as silence, so
// that the sound keeps its time and the pictures their pace. Nearer ones are
// rounding.
constexpr double kSoundGapTolerance = 0.01;
// Further than this a jump is taken for a broken time stamp, not a gap:
// the pictures are not corrected against sound so far off anyway.
constexpr double kLongestSoundGap = PlayerTiming::kNoSyncThreshold;

// Ending or restarting SDL's sound waits this long at most for devices that
// are being closed and players that are ending; past it SDL's sound is left
// as it is, since ending it would wait for them.
constexpr auto kAudioIdleWait = std::chrono::milliseconds(1000);
// Opening a device, with the wait for an earlier player's open to end (SDL
// opens one device at a time safely), takes this long at most: a sound
// server that accepts a stream but never starts it would hold the pictures
// for good. The open goes on on a thread of its own, like a close.
constexpr auto kOpenWait = std::chrono::milliseconds(1500);
// How often a player that waits for its device looks whether it is closed.
constexpr auto kOpenAbortPoll = std::chrono::milliseconds(20);
// Some of SDL's drivers (the dummy and disk ones) have one device only: an
// open waits this long at most for an earlier player's device to close.
// Other drivers open a second device beside one that does not close.
constexpr auto kCloseBeforeOpenWait = std::chrono::milliseconds(500);
// How often a stalled device's sound server is looked at.
constexpr int64_t kServerCheckIntervalUs = 100000;

std::atomic<bool> audioInitialised{false};
std::atomic<bool> deviceMessageShown{false};
// SDL chose its sound driver when it started; after a failed open or a lost
// device the next preview starts it again, so that a sound server that came
// up meanwhile is found.
std::atomic<bool> audioRestartWanted{false};
std::mutex initErrorMutex;
QString initError; // initErrorMutex; why SDL's audio did not start

// SDL's closing of a device waits for the device's own thread, which a
// suspended sink holds for as long as it stays suspended: devices are closed
// on threads of their own. Never destroyed, as such a thread may outlive the
// program's static objects.
struct DeviceCloses {
    std::mutex mutex;
    std::condition_variable done;
    int inFlight = 0; // mutex
};

DeviceCloses &deviceCloses() {
    static auto *closes = new DeviceCloses;
    return *closes;
}

// SDL opens one device at a time safely. Not a timed mutex: its timed lock
// is pthread_mutex_clocklock, which ThreadSanitizer does not know, so that it
// would take every unlock for one of a mutex that nobody locked.
struct DeviceOpens {
    std::mutex mutex;
    std::condition_variable free;
    bool busy = false; // mutex: a device is being opened
};

DeviceOpens &deviceOpens() {
    static auto *opens = new DeviceOpens;
    return *opens;
}

// One open on its thread, shared with the player that waits for it. A player
// that has given up leaves the device to be closed when the open ends.
struct DeviceOpen {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;  // mutex
    bool abandoned = false; // mutex
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec wanted{};
    SDL_AudioSpec obtained{};
    QString error;
};

void closeDeviceAside(SDL_AudioDeviceID device) {
    DeviceCloses &closes = deviceCloses();
    {
        std::lock_guard<std::mutex> lock(closes.mutex);
        ++closes.inFlight;
    }
    const auto close = [device, &closes] {
        SDL_CloseAudioDevice(device);
        std::lock_guard<std::mutex> lock(closes.mutex);
        --closes.inFlight;
        closes.done.notify_all();
    };
    try {
        std::thread(close).detach();
    } catch (const std::system_error &) {
        close();
    }
}

bool waitForDeviceCloses(std::chrono::steady_clock::time_point deadline) {
    DeviceCloses &closes = deviceCloses();
    std::unique_lock<std::mutex> lock(closes.mutex);
    return closes.done.wait_until(lock, deadline, [&closes] { return closes.inFlight == 0; });
}

bool waitForDeviceOpens(std::chrono::steady_clock::time_point deadline) {
    DeviceOpens &opens = deviceOpens();
    std::unique_lock<std::mutex> lock(opens.mutex);
    return opens.free.wait_until(lock, deadline, [&opens] { return !opens.busy; });
}

// No device is being opened or closed and no player thread runs that could
// open one: SDL's sound can be ended without waiting on anything.
bool waitForAudioIdle(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (!waitForDeviceCloses(deadline) || !waitForDeviceOpens(deadline))
        return false;
    while (livePlayerThreads() != 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void messageOnce(PlayerState *is, const QString &text) {
    if (!is->audio_convert_message_shown.exchange(1))
        postPlayerMessage(is->player_id, text);
}

void putIntoSampleRing(PlayerState *is, const uint8_t *data, int bytes) {
    const auto *samples = reinterpret_cast<const int16_t *>(data);
    int count = bytes / kBytesPerSample;
    std::lock_guard<std::mutex> lock(is->sample_ring_mutex);
    while (count > 0) {
        const int run = std::min(count, kSampleRingSize - is->sample_ring_index);
        std::memcpy(is->sample_ring + is->sample_ring_index, samples,
                    size_t(run) * sizeof(int16_t));
        samples += run;
        count -= run;
        is->sample_ring_index += run;
        if (is->sample_ring_index >= kSampleRingSize)
            is->sample_ring_index = 0;
    }
}

// Bytes of the sound at the read position that lie behind the picture on
// show, in whole sample frames; 0 when the sound is in step to a sample frame
// (or the picture tells nothing).
int bytesBehindPicture(PlayerState *is, double now) {
    const int bytesPerSecond = is->audio_bytes_per_second;
    if (bytesPerSecond <= 0 || !is->shown_pts_pinned || !soundClockIsCurrent(is))
        return 0;
    const int index = is->audio_data_index;
    const int size = is->audio_data_size;
    const double sound = PlayerTiming::audioClockAt(is->audio_pts, size, index, bytesPerSecond);
    const double behind = is->shown_pts_drift + now - sound;
    if (behind <= 0.0 || behind > kLongestCatchUp)
        return 0;
    const int frameBytes = std::max(1, is->audio_out_channels) * kBytesPerSample;
    const double wanted = std::min(double(size - index), behind * bytesPerSecond);
    return int(wanted) / frameBytes * frameBytes;
}

// The sound after a gap: the gap's silence in pieces, then the frame held
// for it. -1 while paused, as for any other sound.
int playSoundGap(PlayerState *is) {
    if (is->paused || is->audio_queue.abort_requested)
        return -1;
    const int bytesPerSecond = is->audio_bytes_per_second;
    if (is->audio_gap_bytes > 0) {
        const int piece = std::min(is->audio_gap_bytes, kAudioSilenceBytes);
        is->audio_gap_bytes -= piece;
        is->audio_data = is->audio_silence;
        if (bytesPerSecond > 0)
            is->audio_pts = is->audio_pts + double(piece) / bytesPerSecond;
        return piece;
    }
    const int bytes = is->audio_held_bytes;
    is->audio_held_bytes = 0;
    is->audio_data = is->audio_convert_buffer;
    is->audio_pts = is->audio_held_end;
    return bytes;
}

// Silence to play before a frame that starts at `start`: 0 unless the frame
// follows the sound before it, from after the same seek, at a distance.
int soundGapBytes(PlayerState *is, double start) {
    const int bytesPerSecond = is->audio_bytes_per_second;
    if (bytesPerSecond <= 0 || is->audio_clock_serial != is->audio_decoder_serial)
        return 0;
    const double gap = start - is->audio_pts;
    if (gap <= kSoundGapTolerance || gap >= kLongestSoundGap)
        return 0;
    const int frameBytes = std::max(1, is->audio_out_channels) * kBytesPerSample;
    return int(gap * bytesPerSecond) / frameBytes * frameBytes;
}

// Runs on the open's own thread; the gate of DeviceOpens is taken already.
void openDevice(const std::shared_ptr<DeviceOpen> &open) {
    waitForDeviceCloses(std::chrono::steady_clock::now() + kCloseBeforeOpenWait);
    const SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(nullptr, 0, &open->wanted, &open->obtained, 0);
    const QString error = device == 0 ? QString::fromUtf8(SDL_GetError()) : QString();
    {
        DeviceOpens &opens = deviceOpens();
        std::lock_guard<std::mutex> lock(opens.mutex);
        opens.busy = false;
        opens.free.notify_all();
    }
    std::lock_guard<std::mutex> lock(open->mutex);
    // Never started: its callback has not run.
    if (open->abandoned && device != 0)
        closeDeviceAside(device);
    else
        open->device = device;
    open->error = error;
    open->finished = true;
    open->done.notify_all();
}

// Opens a device within kOpenWait. False when the open did not end in time
// (it is left to end by itself) or the player was closed meanwhile;
// `answered` tells the first apart.
bool openDeviceInTime(PlayerState *is, const std::shared_ptr<DeviceOpen> &open, bool *answered) {
    const auto deadline = std::chrono::steady_clock::now() + kOpenWait;
    *answered = false;
    {
        DeviceOpens &opens = deviceOpens();
        std::unique_lock<std::mutex> lock(opens.mutex);
        if (!opens.free.wait_until(lock, deadline, [&opens] { return !opens.busy; }))
            return false;
        opens.busy = true;
    }
    try {
        std::thread(openDevice, open).detach();
    } catch (const std::system_error &) {
        openDevice(open);
    }
    std::unique_lock<std::mutex> lock(open->mutex);
    while (!open->finished && !is->abort_requested && std::chrono::steady_clock::now() < deadline)
        open->done.wait_for(lock, kOpenAbortPoll, [&open] { return open->finished; });
    if (!open->finished) {
        open->abandoned = true;
        return false;
    }
    *answered = true;
    return open->device != 0;
}

bool startSdlAudio() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS) != 0) {
        qWarning("preview: no sound: %s", SDL_GetError());
        std::lock_guard<std::mutex> lock(initErrorMutex);
        initError = QString::fromUtf8(SDL_GetError());
        audioRestartWanted = true;
        return false;
    }
    audioInitialised = true;
    return true;
}

} // namespace

bool initPreviewAudio() {
    // SDL would otherwise turn SIGINT and SIGTERM into its own quit events,
    // which nobody reads here.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_WasInit(SDL_INIT_AUDIO)) {
        audioInitialised = true;
        return true;
    }
    return startSdlAudio();
}

void quitPreviewAudio() {
    if (!audioInitialised)
        return;
    // SDL would close the devices still closing and wait for them again.
    if (!waitForAudioIdle(kAudioIdleWait)) {
        qWarning("preview: a sound device does not close; SDL's sound is left running");
        return;
    }
    if (audioInitialised.exchange(false))
        SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS);
}

void restartPreviewAudioIfWanted() {
    if (!audioRestartWanted.exchange(false))
        return;
    // Tried again at the next preview. An open that its server never ends
    // would hold every Play for the whole wait.
    if (audioInitialised && (!waitForDeviceOpens(std::chrono::steady_clock::now()) ||
                             !waitForAudioIdle(kAudioIdleWait))) {
        audioRestartWanted = true;
        return;
    }
    quitPreviewAudio();
    startSdlAudio();
}

bool takeLostAudioDevice(PlayerState *is, int64_t nowUs) {
    const uint32_t device = is->audio_device;
    if (!audioInitialised || device == 0)
        return false;
    bool lost = false;
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_AUDIODEVICEREMOVED, SDL_AUDIODEVICEREMOVED) >
           0) {
        if (!event.adevice.iscapture && event.adevice.which == device)
            lost = true;
    }
    // Nothing else of SDL's events is read here.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_AUDIODEVICEREMOVED - 1);
    SDL_FlushEvents(SDL_AUDIODEVICEREMOVED + 1, SDL_LASTEVENT);
    // Some of SDL's drivers (PipeWire's) say nothing when their server goes:
    // the device merely stops asking for sound, as a suspended one does.
    // Such a device is lost once its server no longer answers.
    if (!lost && soundIsStalled(is) && nowUs - is->last_server_check >= kServerCheckIntervalUs) {
        is->last_server_check = nowUs;
        lost = PlayerPlatform::soundServerGone(QString::fromUtf8(SDL_GetCurrentAudioDriver()));
    }
    if (lost)
        audioRestartWanted = true;
    return lost;
}

int openAudioDevice(PlayerState *is) {
    AVCodecContext *codec = is->audio_codec;
    SDL_AudioSpec wanted{};
    SDL_AudioSpec obtained{};
    wanted.freq = codec->sample_rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = codec->ch_layout.nb_channels == 1 ? 1 : 2;
    wanted.silence = 0;
    wanted.samples = Uint16(PlayerTiming::deviceSamples(wanted.freq));
    wanted.callback = audioCallback;
    wanted.userdata = is;

    // Without SDL's audio there is nothing to open.
    SDL_AudioDeviceID device = 0;
    bool answered = true;
    auto open = std::make_shared<DeviceOpen>();
    open->wanted = wanted;
    if (audioInitialised && wanted.freq > 0 && openDeviceInTime(is, open, &answered)) {
        device = open->device;
        obtained = open->obtained;
    }
    if (device == 0) {
        // A player being closed may have had its probe cut short; its failure
        // is nobody's concern, and the one message stays for a real one.
        if (is->abort_requested)
            return -1;
        QString reason;
        if (!audioInitialised) {
            std::lock_guard<std::mutex> lock(initErrorMutex);
            reason = initError.isEmpty() ? QStringLiteral("Audio subsystem is not initialized")
                                         : initError;
        } else if (!answered) {
            reason = QStringLiteral("the sound device does not answer");
        } else {
            reason = wanted.freq > 0 ? open->error : QStringLiteral("no sample rate");
        }
        qWarning("preview: no sound device: %s", qPrintable(reason));
        audioRestartWanted = true;
        if (!deviceMessageShown.exchange(true))
            postPlayerMessage(0, QStringLiteral("SDL_OpenAudio: %1\n").arg(reason));
        return -1;
    }
    // The next failure is told again.
    deviceMessageShown = false;
    is->audio_buffer_seconds =
        double(obtained.samples > 0 ? obtained.samples : wanted.samples) / wanted.freq;
    is->audio_out_channels = wanted.channels;
    is->audio_out_rate = wanted.freq;
    is->audio_bytes_per_second = wanted.freq * wanted.channels * kBytesPerSample;
    std::lock_guard<std::mutex> lock(is->audio_device_mutex);
    // A player closed while its device opened (a server slow to answer).
    if (is->abort_requested) {
        closeDeviceAside(device);
        return -1;
    }
    is->audio_device = device;
    return 0;
}

void startAudioDevice(PlayerState *is) {
    std::lock_guard<std::mutex> lock(is->audio_device_mutex);
    if (const SDL_AudioDeviceID device = is->audio_device)
        SDL_PauseAudioDevice(device, 0);
}

void closeAudioDevice(PlayerState *is) {
    std::lock_guard<std::mutex> lock(is->audio_device_mutex);
    const SDL_AudioDeviceID device = is->audio_device.exchange(0);
    if (device == 0)
        return;
    // Waits only for a callback that runs; SDL calls a paused device's
    // callback no more, so the state may go before the device has closed.
    SDL_PauseAudioDevice(device, 1);
    closeDeviceAside(device);
}

void audioCallback(void *opaque, uint8_t *stream, int len) {
    auto *is = static_cast<PlayerState *>(opaque);
    const int64_t nowUs = av_gettime();
    const int64_t lastUs = is->audio_callback_time.exchange(nowUs);
    const double now = nowUs / 1000000.0;
    // While the device took nothing the pictures went on at the wall clock's
    // pace: the sound held up meanwhile is dropped, so that the two are in
    // step again as soon as the device plays.
    bool catchingUp =
        lastUs != 0 && is->video_stream && !is->paused &&
        PlayerTiming::deviceStalled(lastUs / 1000000.0, now, is->audio_buffer_seconds);
    // SDL2 hands the buffer over uninitialised.
    std::memset(stream, 0, size_t(len));

    // Once nothing could be had, the rest of this buffer is silence: asking
    // again would only wait again.
    bool starved = false;
    bool handedSound = false;
    while (len > 0) {
        if (is->audio_data_index >= is->audio_data_size) {
            const int size = starved ? -1 : audioDecodeFrame(is);
            if (size < 0) {
                starved = true;
                is->audio_data = is->audio_silence;
                is->audio_data_size = kAudioSilenceBytes;
            } else {
                if (is->audio_display_mode != 0)
                    putIntoSampleRing(is, is->audio_data, size);
                is->audio_data_size = size;
                handedSound = true;
            }
            is->audio_data_index = 0;
        }
        if (catchingUp && !starved) {
            const int behind = bytesBehindPicture(is, now);
            if (behind > 0) {
                is->audio_data_index = is->audio_data_index + behind;
                continue;
            }
            catchingUp = false;
        }
        const int index = is->audio_data_index;
        const int chunk = std::min(is->audio_data_size - index, len);
        SDL_MixAudioFormat(stream, is->audio_data + index, AUDIO_S16SYS, Uint32(chunk), playVolume);
        len -= chunk;
        stream += chunk;
        is->audio_data_index = index + chunk;
    }

    const double handedEnd = PlayerTiming::audioClockAt(
        is->audio_pts, is->audio_data_size, is->audio_data_index, is->audio_bytes_per_second);
    std::lock_guard<std::mutex> lock(is->audio_clock_mutex);
    is->audio_handed_end = handedEnd;
    is->audio_handed_at = now;
    is->audio_moving = handedSound && !is->paused;
}

int convertAudioFrame(PlayerState *is, AVFrame *frame) {
    const bool changed =
        !is->audio_convert_context || frame->format != is->audio_source_format ||
        frame->sample_rate != is->audio_source_rate ||
        av_channel_layout_compare(&frame->ch_layout, &is->audio_source_layout) != 0;
    if (changed) {
        swr_free(&is->audio_convert_context);
        AVChannelLayout out{};
        av_channel_layout_default(&out, is->audio_out_channels);
        const int made = swr_alloc_set_opts2(
            &is->audio_convert_context, &out, AV_SAMPLE_FMT_S16, is->audio_out_rate,
            &frame->ch_layout, AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&out);
        if (made < 0 || swr_init(is->audio_convert_context) < 0) {
            swr_free(&is->audio_convert_context);
            const char *name = av_get_sample_fmt_name(AVSampleFormat(frame->format));
            messageOnce(is,
                        QStringLiteral("Cannot convert %1 sample format to %3 sample format\n")
                            .arg(QString::fromLatin1(name ? name : "unknown"))
                            .arg(QString::fromLatin1(av_get_sample_fmt_name(AV_SAMPLE_FMT_S16))));
            return -1;
        }
        is->audio_source_format = frame->format;
        is->audio_source_rate = frame->sample_rate;
        av_channel_layout_uninit(&is->audio_source_layout);
        av_channel_layout_copy(&is->audio_source_layout, &frame->ch_layout);
    }

    const int maxSamples = swr_get_out_samples(is->audio_convert_context, frame->nb_samples);
    if (maxSamples < 0)
        return -1;
    const int frameBytes = is->audio_out_channels * kBytesPerSample;
    av_fast_malloc(&is->audio_convert_buffer, &is->audio_convert_buffer_size,
                   size_t(maxSamples) * frameBytes);
    if (!is->audio_convert_buffer)
        return -1;
    uint8_t *out = is->audio_convert_buffer;
    const int samples =
        swr_convert(is->audio_convert_context, &out, maxSamples,
                    const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
    if (samples < 0) {
        messageOnce(is, QStringLiteral("av_audio_convert() failed\n"));
        return -1;
    }
    const int bytes = samples * frameBytes;
    is->audio_data = is->audio_convert_buffer;

    AVStream *stream = is->audio_stream;
    const int64_t stamp = frame->best_effort_timestamp;
    if (stamp != AV_NOPTS_VALUE && stream && frame->sample_rate > 0) {
        const double start = stamp * av_q2d(stream->time_base);
        const double end = start + double(frame->nb_samples) / frame->sample_rate;
        is->audio_gap_bytes = soundGapBytes(is, start);
        if (is->audio_gap_bytes > 0) {
            is->audio_held_bytes = bytes;
            is->audio_held_end = end;
        } else {
            is->audio_pts = end;
        }
    } else if (is->audio_bytes_per_second > 0)
        is->audio_pts = is->audio_pts + double(bytes) / is->audio_bytes_per_second;
    is->audio_clock_serial = is->audio_decoder_serial;
    return bytes;
}

int audioDecodeFrame(PlayerState *is) {
    AVCodecContext *codec = is->audio_codec;
    AVFrame *frame = is->audio_frame;
    AVPacket *packet = is->audio_packet;
    if (is->audio_gap_bytes > 0 || is->audio_held_bytes > 0) {
        // A seek since the gap was found: neither is played.
        if (packetQueueSerial(&is->audio_queue) == is->audio_decoder_serial)
            return playSoundGap(is);
        is->audio_gap_bytes = 0;
        is->audio_held_bytes = 0;
    }
    for (;;) {
        const int received = avcodec_receive_frame(codec, frame);
        if (received == 0) {
            const int bytes = convertAudioFrame(is, frame);
            av_frame_unref(frame);
            if (bytes > 0)
                return is->audio_gap_bytes > 0 ? playSoundGap(is) : bytes;
            continue;
        }
        if (received == AVERROR_EOF && is->audio_drain_serial != 0) {
            packetQueueMarkFinished(&is->audio_queue, is->audio_drain_serial);
            is->audio_drain_serial = 0;
        }

        if (is->paused || is->audio_queue.abort_requested)
            return -1;
        QueuedPacket info;
        if (packetQueueGetTimed(&is->audio_queue, packet, &info, kPacketWait) <= 0)
            return -1;

        switch (info.kind) {
        case QueuedPacketKind::Flush:
            avcodec_flush_buffers(codec);
            swr_free(&is->audio_convert_context);
            is->audio_decoder_needs_flush = false;
            is->audio_drain_serial = 0;
            is->audio_decoder_serial = info.serial;
            break;
        case QueuedPacketKind::Drain:
            if (is->audio_decoder_needs_flush) {
                packetQueueMarkFinished(&is->audio_queue, info.serial);
            } else {
                avcodec_send_packet(codec, nullptr);
                is->audio_decoder_needs_flush = true;
                is->audio_drain_serial = info.serial;
            }
            break;
        case QueuedPacketKind::Data:
            if (is->audio_decoder_needs_flush) {
                avcodec_flush_buffers(codec);
                is->audio_decoder_needs_flush = false;
            }
            // A packet that does not decode is skipped.
            avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
            break;
        }
    }
}
