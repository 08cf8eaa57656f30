#include "player/readthread.h"

#include <chrono>
#include <cmath>
#include <thread>

extern "C" {
#include <libavutil/error.h>
}

#include <QFileInfo>
#include <QString>

#include "conversion/contentlength.h"
#include "conversion/sourceinput.h"
#include "platform/playerplatform.h"
#include "player/audiooutput.h"
#include "player/fileinput.h"
#include "player/playercontroller.h"
#include "player/playerstate.h"
#include "player/playerthreads.h"
#include "player/playervalues.h"
#include "player/subtitledecoder.h"
#include "player/videodecoder.h"

namespace {

constexpr int kQueuesFullBytes = 15 * 1024 * 1024;
constexpr int kAudioQueueEnoughBytes = 320 * 1024;
constexpr int kQueueEnoughPackets = 5;
constexpr auto kQueueFullWait = std::chrono::milliseconds(10);
constexpr auto kEndOfFileWait = std::chrono::milliseconds(10);
constexpr auto kReadErrorWait = std::chrono::milliseconds(100);
constexpr auto kRefreshInterval = std::chrono::milliseconds(5);
constexpr auto kVisualisationRefreshInterval = std::chrono::milliseconds(20);
constexpr int kErrorConcealment = FF_EC_GUESS_MVS | FF_EC_DEBLOCK;

QString errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

void sleepFor(std::chrono::milliseconds interval) {
    std::this_thread::sleep_for(interval);
}

// Cover art comes as a one-picture video stream; such a file is sound only.
bool isAttachedPicture(const AVStream *stream) {
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

int chooseVideoStream(AVFormatContext *ic) {
    int best = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best >= 0 && !isAttachedPicture(ic->streams[best]))
        return best;
    for (unsigned int i = 0; i < ic->nb_streams; ++i) {
        const AVStream *stream = ic->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !isAttachedPicture(stream))
            return int(i);
    }
    return -1;
}

// The sound track that the conversion takes too: the one the file marks as
// default, else the first that can be played.
int chooseAudioStream(AVFormatContext *ic) {
    int first = -1;
    for (unsigned int i = 0; i < ic->nb_streams; ++i) {
        const AVStream *stream = ic->streams[i];
        const AVCodecParameters *par = stream->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_AUDIO || par->ch_layout.nb_channels <= 0 ||
            par->sample_rate <= 0)
            continue;
        if (stream->disposition & AV_DISPOSITION_DEFAULT)
            return int(i);
        if (first < 0)
            first = int(i);
    }
    return first;
}

int chooseSubtitleStream(AVFormatContext *ic) {
    for (unsigned int i = 0; i < ic->nb_streams; ++i) {
        if (ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
            return int(i);
    }
    return -1;
}

// Sound for a device that has gone is not kept.
bool soundWanted(PlayerState *is) {
    return is->audio_stream != nullptr && !is->audio_lost;
}

bool queuesFull(PlayerState *is) {
    const bool audio = soundWanted(is);
    const bool video = is->video_stream != nullptr;
    const bool subtitle = is->subtitle_stream != nullptr;
    const int total =
        is->audio_queue.byte_size + is->video_queue.byte_size + is->subtitle_queue.byte_size;
    if (total > kQueuesFullBytes)
        return true;
    return (!audio || is->audio_queue.byte_size > kAudioQueueEnoughBytes) &&
           (!video || is->video_queue.packet_count > kQueueEnoughPackets) &&
           (!subtitle || is->subtitle_queue.packet_count > kQueueEnoughPackets);
}

int64_t streamStart(const AVFormatContext *ic) {
    return ic->start_time == AV_NOPTS_VALUE ? 0 : ic->start_time;
}

void performSeek(PlayerState *is, AVFormatContext *ic) {
    const int64_t target = is->seek_target;
    const int flags = is->seek_flags;
    const int64_t start = streamStart(ic);
    const bool toStart = target <= start + kStartSeekTarget;
    const int64_t readAt = ic->pb ? avio_tell(ic->pb) : -1;
    bool served = avformat_seek_file(ic, -1, INT64_MIN, target, INT64_MAX, flags) >= 0;
    if (!served) {
        // A seek by time that fails has read on in search of its target,
        // often to the end. A stream that cannot seek by time (a raw H.264 or
        // HEVC stream) still goes back by bytes: to its start for a seek to
        // the start, which is then served, else to where reading was.
        const int64_t back = toStart ? 0 : readAt;
        served = back >= 0 &&
                 avformat_seek_file(ic, -1, INT64_MIN, back, INT64_MAX, AVSEEK_FLAG_BYTE) >= 0 &&
                 toStart;
        // Said once: such a stream fails every seek alike.
        if (!served && !is->seek_failure_told) {
            is->seek_failure_told = true;
            postPlayerMessage(is->player_id,
                              QStringLiteral("%1: error while seeking.\n").arg(is->display_name));
        }
    }
    if (served) {
        // Pictures without time stamps (a raw stream's) count from here.
        is->seek_landing = (toStart ? start : target) / double(AV_TIME_BASE);
        PacketQueue *queues[] = {is->audio_stream ? &is->audio_queue : nullptr,
                                 is->subtitle_stream ? &is->subtitle_queue : nullptr,
                                 is->video_stream ? &is->video_queue : nullptr};
        for (PacketQueue *q : queues) {
            if (!q)
                continue;
            packetQueueFlush(q);
            packetQueuePutFlush(q);
        }
    }
    is->eof_reached = 0;
    is->end_reported = 0;
    is->seek_pending = 0;
}

// The decoders are told once that nothing more comes, so that they hand out
// the pictures and sound they still hold.
void queueDrainMarkers(PlayerState *is) {
    if (is->audio_stream)
        packetQueuePutDrain(&is->audio_queue);
    if (is->video_stream)
        packetQueuePutDrain(&is->video_queue);
    ++is->drain_markers_queued;
    is->eof_reached = 1;
}

void dispatchPacket(PlayerState *is, AVPacket *packet) {
    const int index = packet->stream_index;
    if (index == is->audio_stream_index) {
        if (!is->audio_lost)
            packetQueuePut(&is->audio_queue, packet);
    } else if (index == is->video_stream_index) {
        packetQueuePut(&is->video_queue, packet);
    } else if (index == is->subtitle_stream_index) {
        packetQueuePut(&is->subtitle_queue, packet);
    }
    av_packet_unref(packet);
}

void readPackets(PlayerState *is, AVFormatContext *ic) {
    AVPacket *packet = av_packet_alloc();
    if (!packet)
        return;
    bool endOfFile = false;
    bool ioError = false;
    while (!is->abort_requested) {
        const int paused = is->paused;
        if (paused != is->demuxer_paused) {
            is->demuxer_paused = paused;
            is->read_pause_result = paused ? av_read_pause(ic) : av_read_play(ic);
        }
        if (is->seek_pending) {
            performSeek(is, ic);
            endOfFile = false;
        }
        if (queuesFull(is)) {
            sleepFor(kQueueFullWait);
            continue;
        }
        if (endOfFile) {
            sleepFor(kEndOfFileWait);
            continue;
        }
        const int result = av_read_frame(ic, packet);
        if (result < 0) {
            ioError = ic->pb && ic->pb->error != 0 && result != AVERROR_EOF;
            if (result == AVERROR_EOF || ioError || (ic->pb && avio_feof(ic->pb))) {
                endOfFile = true;
                queueDrainMarkers(is);
                if (ioError)
                    break;
                continue;
            }
            sleepFor(kReadErrorWait);
            continue;
        }
        dispatchPacket(is, packet);
    }
    av_packet_free(&packet);
    // After an input error nothing can be read any more; the player stays
    // open until it is closed.
    while (ioError && !is->abort_requested)
        sleepFor(kReadErrorWait);
}

} // namespace

int decodeInterruptCallback(void *opaque) {
    const auto *is = static_cast<const PlayerState *>(opaque);
    return is && is->abort_requested ? 1 : 0;
}

int openStreamComponent(PlayerState *is, int streamIndex) {
    AVFormatContext *ic = is->format_context;
    if (!ic || streamIndex < 0 || streamIndex >= int(ic->nb_streams))
        return -1;
    AVStream *stream = ic->streams[streamIndex];
    const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder)
        return -1;
    AVCodecContext *codec = avcodec_alloc_context3(decoder);
    if (!codec)
        return -1;
    if (avcodec_parameters_to_context(codec, stream->codecpar) < 0) {
        avcodec_free_context(&codec);
        return -1;
    }
    codec->pkt_timebase = stream->time_base;
    codec->workaround_bugs = FF_BUG_AUTODETECT;
    codec->lowres = 0;
    codec->idct_algo = FF_IDCT_AUTO;
    codec->skip_frame = AVDISCARD_DEFAULT;
    codec->skip_idct = AVDISCARD_DEFAULT;
    codec->skip_loop_filter = AVDISCARD_DEFAULT;
    codec->error_concealment = kErrorConcealment;
    codec->thread_count = 1;
    if (avcodec_open2(codec, decoder, nullptr) < 0) {
        avcodec_free_context(&codec);
        return -1;
    }

    switch (codec->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        is->audio_codec = codec;
        is->audio_frame = av_frame_alloc();
        is->audio_packet = av_packet_alloc();
        if (is->audio_frame && is->audio_packet)
            is->audio_device_missing = openAudioDevice(is) < 0;
        if (!is->audio_frame || !is->audio_packet || is->audio_device_missing) {
            av_frame_free(&is->audio_frame);
            av_packet_free(&is->audio_packet);
            avcodec_free_context(&is->audio_codec);
            return -1;
        }
        stream->discard = AVDISCARD_DEFAULT;
        is->audio_data_size = 0;
        is->audio_data_index = 0;
        is->audio_source_format = -1;
        packetQueueInit(&is->audio_queue);
        is->audio_stream_index = streamIndex;
        is->audio_stream = stream;
        startAudioDevice(is);
        break;
    case AVMEDIA_TYPE_VIDEO:
        is->video_codec = codec;
        is->video_frame_rate = av_q2d(av_guess_frame_rate(ic, stream, nullptr));
        stream->discard = AVDISCARD_DEFAULT;
        packetQueueInit(&is->video_queue);
        is->video_stream_index = streamIndex;
        is->video_stream = stream;
        startPlayerThread(is->video_thread_handle, is, videoDecodeThread);
        break;
    case AVMEDIA_TYPE_SUBTITLE:
        is->subtitle_codec = codec;
        stream->discard = AVDISCARD_DEFAULT;
        packetQueueInit(&is->subtitle_queue);
        is->subtitle_stream_index = streamIndex;
        is->subtitle_stream = stream;
        startPlayerThread(is->subtitle_thread_handle, is, subtitleThread);
        break;
    default:
        avcodec_free_context(&codec);
        break;
    }
    return 0;
}

void closeStreamComponent(PlayerState *is, int streamIndex) {
    AVFormatContext *ic = is->format_context;
    if (!ic || streamIndex < 0 || streamIndex >= int(ic->nb_streams))
        return;
    AVStream *stream = ic->streams[streamIndex];

    switch (stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        packetQueueAbort(&is->audio_queue);
        closeAudioDevice(is);
        packetQueueDestroy(&is->audio_queue);
        swr_free(&is->audio_convert_context);
        av_freep(&is->audio_convert_buffer);
        is->audio_convert_buffer_size = 0;
        av_frame_free(&is->audio_frame);
        av_packet_free(&is->audio_packet);
        avcodec_free_context(&is->audio_codec);
        is->audio_stream = nullptr;
        is->audio_stream_index = -1;
        break;
    case AVMEDIA_TYPE_VIDEO:
        packetQueueAbort(&is->video_queue);
        {
            std::lock_guard<std::mutex> lock(is->picture_mutex);
            is->picture_cond.notify_all();
        }
        if (is->video_thread_handle.joinable())
            is->video_thread_handle.join();
        packetQueueDestroy(&is->video_queue);
        avcodec_free_context(&is->video_codec);
        is->video_stream = nullptr;
        is->video_stream_index = -1;
        break;
    case AVMEDIA_TYPE_SUBTITLE:
        packetQueueAbort(&is->subtitle_queue);
        {
            std::lock_guard<std::mutex> lock(is->subpicture_mutex);
            is->subtitle_stream_changed = 1;
            is->subpicture_cond.notify_all();
        }
        if (is->subtitle_thread_handle.joinable())
            is->subtitle_thread_handle.join();
        packetQueueDestroy(&is->subtitle_queue);
        avcodec_free_context(&is->subtitle_codec);
        is->subtitle_stream = nullptr;
        is->subtitle_stream_index = -1;
        break;
    default:
        break;
    }
    stream->discard = AVDISCARD_ALL;
}

void readThread(PlayerState *is) {
    is->video_stream_index = -1;
    is->audio_stream_index = -1;
    is->subtitle_stream_index = -1;
    interruptPlayerState = is;
    FileCalls::Channel::setForThisThread(&is->read_calls);

    bool failed = false;
    AVFormatContext *ic = nullptr;
    AVIOContext *input = nullptr;
    // A listed file may have been replaced by a named pipe or a device since:
    // their open would wait for a writer, where no interrupt reaches it.
    const QString problem = PlayerPlatform::regularFileProblem(is->display_name);
    if (!problem.isEmpty()) {
        failed = true;
        if (!is->abort_requested)
            postPlayerMessage(is->player_id,
                              QStringLiteral("%1: %2\n").arg(is->display_name, problem));
    } else {
        int opened = 0;
        input = FileInput::open(QFileInfo(is->display_name).absoluteFilePath(), &opened);
        if (input) {
            ic = avformat_alloc_context();
            AVDictionary *options = nullptr;
            if (ic) {
                ic->pb = input;
                ic->interrupt_callback.callback = decodeInterruptCallback;
                ic->interrupt_callback.opaque = is;
                SourceInput::confine(ic, &options);
            }
            opened = ic ? avformat_open_input(&ic, is->file_name.constData(), nullptr, &options)
                        : AVERROR(ENOMEM);
            av_dict_free(&options);
        }
        if (opened < 0) {
            // avformat_open_input frees the context when it fails.
            ic = nullptr;
            failed = true;
            if (!is->abort_requested) {
                // A file of a format that reads others in its place says so.
                QString reason =
                    input ? SourceInput::refusal(is->file_name.constData(), input) : QString();
                if (reason.isEmpty())
                    reason = errorText(opened);
                postPlayerMessage(is->player_id,
                                  QStringLiteral("%1: %2\n").arg(is->display_name, reason));
            }
        } else if (is->abort_requested) {
            // Closed while the open waited: nothing more is started for it.
        } else if (avformat_find_stream_info(ic, nullptr) < 0) {
            failed = true;
            postPlayerMessage(
                is->player_id,
                QStringLiteral("%1: could not find codec parameters\n").arg(is->display_name));
        }
    }

    if (!failed && !is->abort_requested) {
        is->format_context = ic;
        is->media_start_time = ic->start_time;
        is->media_duration = ic->duration;
        if (ic->duration != AV_NOPTS_VALUE && ic->start_time != AV_NOPTS_VALUE) {
            // The slider spans what the file plays, from its first timestamp.
            const double plays = ContentLength::of(QString::fromLatin1(ic->iformat->name),
                                                   ic->duration / double(AV_TIME_BASE),
                                                   ic->start_time / double(AV_TIME_BASE));
            is->media_duration = int64_t(std::llround(plays * AV_TIME_BASE));
        }
        if (ic->pb)
            ic->pb->eof_reached = 0;
        for (unsigned int i = 0; i < ic->nb_streams; ++i)
            ic->streams[i]->discard = AVDISCARD_ALL;
        const int audio = chooseAudioStream(ic);
        const int video = chooseVideoStream(ic);
        const int subtitle = chooseSubtitleStream(ic);
        av_dump_format(ic, 0, is->file_name.constData(), 0);

        if (audio >= 0)
            openStreamComponent(is, audio);
        const bool videoOpen = video >= 0 && openStreamComponent(is, video) == 0;
        startPlayerThread(is->refresh_thread_handle, is, refreshThread);
        if (!videoOpen)
            is->audio_display_mode = kAudioDisplaySpectrum;
        if (subtitle >= 0)
            openStreamComponent(is, subtitle);

        if (!is->video_stream && !is->audio_stream) {
            failed = true;
            // Sound alone that decodes is not a codec's fault.
            const QString text = is->audio_device_missing
                                     ? QStringLiteral("%1: no sound device to play it on\n")
                                     : QStringLiteral("%1: could not open codecs\n");
            postPlayerMessage(is->player_id, text.arg(is->display_name));
        } else {
            readPackets(is, ic);
        }
    }

    // A later player's read thread may have taken the place meanwhile.
    PlayerState *running = is;
    interruptPlayerState.compare_exchange_strong(running, nullptr);
    if (ic) {
        closeStreamComponent(is, is->audio_stream_index);
        closeStreamComponent(is, is->video_stream_index);
        closeStreamComponent(is, is->subtitle_stream_index);
        is->format_context = nullptr;
        avformat_close_input(&ic);
    }
    // Not closed with the format context, which the input is no part of.
    FileInput::close(&input);
    if (failed && !is->abort_requested)
        PlayerController::instance()->postQuit(is->player_id);
    // The last of the player's other threads ends with the abort, which the
    // close of a player that failed brings too.
    if (is->refresh_thread_handle.joinable())
        is->refresh_thread_handle.join();
}

bool mediaFinished(PlayerState *is) {
    const bool audio = soundWanted(is);
    const bool video = is->video_stream != nullptr;
    if (!audio && !video)
        return false;
    if (audio && !packetQueueIsFinished(&is->audio_queue))
        return false;
    if (video) {
        if (!packetQueueIsFinished(&is->video_queue))
            return false;
        std::lock_guard<std::mutex> lock(is->picture_mutex);
        if (is->picture_count != 0)
            return false;
    }
    return true;
}

void refreshThread(PlayerState *is) {
    while (!is->abort_requested) {
        if (!is->refresh_pending.exchange(1))
            PlayerController::instance()->postRefresh(is->player_id);
        const bool visualisation = is->audio_stream && is->audio_display_mode != 0;
        sleepFor(visualisation ? kVisualisationRefreshInterval : kRefreshInterval);
        // A seek on its way starts the media again: an end seen now would
        // outlive it.
        if (!is->end_reported && !is->seek_pending && mediaFinished(is)) {
            is->end_reported = 1;
            is->paused = 1;
            playEndFlag = 1;
        }
    }
}
