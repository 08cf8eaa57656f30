#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "platform/filecalls.h"
#include "player/packetqueue.h"
#include "player/playertiming.h"

struct RDFTContext;

constexpr int kPictureQueueSize = 2;
constexpr int kSubpictureQueueSize = 4;
constexpr int kSampleRingSize = 131072;
constexpr int kAudioSilenceBytes = 1024;
constexpr int kAudioDisplaySpectrum = 2;
// Where a preview starts: one microsecond into the stream, its very start.
constexpr int64_t kStartSeekTarget = 1;

// One decoded picture waiting for its due time, already converted to the
// preview's size so that showing it costs the GUI thread nothing.
struct PreviewPicture {
    double pts = 0.0;
    double target_clock = 0.0;
    int64_t position = 0;
    QImage image;
    int width = 0;
    int height = 0;
    // The serial of the video queue's flush marker it was decoded after.
    int serial = 0;
};

struct SubtitlePicture {
    double pts = 0.0;
    AVSubtitle subtitle{};
};

// The preview of one opened file. Fields written by one thread and read by
// another are atomics or are guarded by the mutex named beside them; the
// others belong to the thread named beside them. Owned by shared pointers:
// the GUI thread's while the player is open, and each thread's of its own.
struct PlayerState : std::enable_shared_from_this<PlayerState> {
    PlayerState();
    ~PlayerState();
    PlayerState(const PlayerState &) = delete;
    PlayerState &operator=(const PlayerState &) = delete;

    quint64 player_id = 0;

    std::thread read_thread_handle;
    std::thread video_thread_handle;
    std::thread refresh_thread_handle;
    std::thread subtitle_thread_handle;

    std::atomic<int> abort_requested{0};
    // The file calls of the read thread (the input) and of the video thread
    // (snapshots), which the abort ends: a share that stops answering holds
    // neither thread where the close could not end its wait.
    FileCalls::Channel read_calls;
    FileCalls::Channel video_calls;
    std::atomic<int> paused{0};
    int demuxer_paused = 0; // read thread

    // A requester writes target, offset and flags before raising seek_pending.
    std::atomic<int> seek_pending{0};
    std::atomic<int> seek_flags{0};
    std::atomic<int64_t> seek_target{0};
    std::atomic<int64_t> seek_offset{0};
    std::atomic<int> read_pause_result{0};
    bool seek_failure_told = false; // read thread

    std::atomic<AVFormatContext *> format_context{nullptr};
    // Copied from the format context once it is open, for the GUI thread.
    std::atomic<int64_t> media_start_time{AV_NOPTS_VALUE};
    std::atomic<int64_t> media_duration{AV_NOPTS_VALUE};
    // Set by the read thread when the input gave its last packet; cleared by
    // a seek.
    std::atomic<int> eof_reached{0};
    // Drain markers put into the queues: one set per end of the input.
    std::atomic<int> drain_markers_queued{0};
    std::atomic<int> end_reported{0}; // refresh thread

    // Audio. The decoder, converter and buffers belong to SDL's audio thread
    // once the device runs; the clock values are atomics for audioClock().
    std::atomic<int> audio_stream_index{-1};
    std::atomic<AVStream *> audio_stream{nullptr};
    AVCodecContext *audio_codec = nullptr;
    std::atomic<uint32_t> audio_device{0};
    // Held while the device is started or stopped: the GUI thread and the
    // read thread both stop it, and neither may go on while the callback
    // may still run.
    std::mutex audio_device_mutex;
    // The device went away during play (its sound server ended): the preview
    // goes on as a file without sound.
    std::atomic<bool> audio_lost{false};
    // The sound decoded but had no device to play on (read thread).
    bool audio_device_missing = false;
    PacketQueue audio_queue;
    std::atomic<double> audio_pts{0.0};
    std::atomic<int> audio_bytes_per_second{0};
    std::atomic<int> audio_data_size{0};
    std::atomic<int> audio_data_index{0};
    std::atomic<int64_t> audio_callback_time{0};
    // What the device plays, as the last callback left it (audio_clock_mutex):
    // the end of the sound handed over, the wall time of that callback, and
    // whether it handed over sound (not silence only).
    std::mutex audio_clock_mutex;
    double audio_handed_end = 0.0;
    double audio_handed_at = 0.0;
    bool audio_moving = false;
    // Seconds of sound one device buffer holds; set when the device opens.
    std::atomic<double> audio_buffer_seconds{0.0};
    uint8_t *audio_data = nullptr;
    uint8_t *audio_convert_buffer = nullptr;
    unsigned int audio_convert_buffer_size = 0;
    uint8_t audio_silence[kAudioSilenceBytes] = {};
    AVPacket *audio_packet = nullptr;
    AVFrame *audio_frame = nullptr;
    bool audio_decoder_needs_flush = false;
    int audio_decoder_serial = 0; // serial of the last flush marker taken
    // The serial of the sound that audio_pts stands for.
    std::atomic<int> audio_clock_serial{0};
    int audio_drain_serial = 0;
    // A gap in the sound's time stamps is played as silence before the frame
    // that follows it, which waits converted in audio_convert_buffer meanwhile
    // (its bytes, and the time stamp of its end).
    int audio_gap_bytes = 0;
    int audio_held_bytes = 0;
    double audio_held_end = 0.0;
    SwrContext *audio_convert_context = nullptr;
    int audio_source_format = -1;
    int audio_source_rate = 0;
    AVChannelLayout audio_source_layout{};
    int audio_out_channels = 0;
    int audio_out_rate = 0;
    std::atomic<int> audio_convert_message_shown{0};

    std::atomic<int> audio_display_mode{0};
    std::mutex sample_ring_mutex; // guards the ring and its index
    int16_t sample_ring[kSampleRingSize] = {};
    int sample_ring_index = 0;
    // The visualisation's own state: GUI thread.
    int last_display_start = 0;
    RDFTContext *rdft_context = nullptr;
    int rdft_bits = 0;
    int spectrum_column = 0;
    QImage spectrum_image;

    // Subtitles.
    std::atomic<int> subtitle_stream_index{-1};
    std::atomic<int> subtitle_stream_changed{0};
    std::atomic<AVStream *> subtitle_stream{nullptr};
    AVCodecContext *subtitle_codec = nullptr;
    PacketQueue subtitle_queue;
    SubtitlePicture subpictures[kSubpictureQueueSize];
    int subpicture_count = 0;       // subpicture_mutex
    int subpicture_read_index = 0;  // GUI thread
    int subpicture_write_index = 0; // subtitle thread
    std::mutex subpicture_mutex;
    std::condition_variable subpicture_cond;

    // Video.
    std::atomic<int> video_stream_index{-1};
    std::atomic<AVStream *> video_stream{nullptr};
    AVCodecContext *video_codec = nullptr;
    PacketQueue video_queue;
    // frame_timer, last_frame_pts and last_frame_delay: picture_mutex.
    PlayerTiming::FrameSchedule schedule;
    double video_frame_rate = 0.0; // set before the video thread starts
    std::atomic<double> video_pts{0.0};
    // Where the last seek went (seconds), for pictures without time stamps:
    // the time that they are counted from after the flush that follows it.
    std::atomic<double> seek_landing{0.0};
    std::atomic<double> shown_pts{0.0};
    std::atomic<double> shown_pts_drift{0.0};
    std::atomic<int64_t> shown_position{0};
    // False until the first picture has been shown: the pause toggle then has
    // no pinned picture time to measure the pause against.
    std::atomic<bool> shown_pts_pinned{false};
    int shown_serial = 0; // GUI thread; the serial of the picture on show
    std::atomic<double> pause_started_at{0.0};
    PreviewPicture pictures[kPictureQueueSize];
    int picture_count = 0;       // picture_mutex
    int picture_read_index = 0;  // GUI thread
    int picture_write_index = 0; // video thread
    std::mutex picture_mutex;
    std::condition_variable picture_cond;
    SwsContext *scaler = nullptr;         // video thread
    SwsContext *capture_scaler = nullptr; // video thread

    QByteArray file_name; // as handed to libavformat
    QString display_name; // as the user knows it, for messages
    int display_width = 0;
    int display_height = 0;
    int display_left = 0;
    int display_top = 0;

    PlayerTiming::StampTracker stamps; // video thread
    int video_decoder_serial = 0;      // video thread; of the last flush marker
    float skip_ratio = 1.0f;           // picture_mutex
    float skip_counter = 0.0f;         // video thread

    std::atomic<int> refresh_pending{0};
    // Time of the last position update, in microseconds (GUI thread).
    int64_t last_position_update = 0;
    // When the sound server of a stalled device was last looked at (GUI
    // thread, microseconds).
    int64_t last_server_check = 0;
};
