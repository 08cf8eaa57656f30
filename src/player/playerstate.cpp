#include "player/playerstate.h"

#include "platform/platform.h"
#include "player/audiovisualisation.h"
#include "player/subtitledecoder.h"

PlayerState::PlayerState()
    : read_calls(Platform::toolPath(FileCalls::kHelperName))
    , video_calls(Platform::toolPath(FileCalls::kHelperName)) {}

PlayerState::~PlayerState() {
    for (SubtitlePicture &sp : subpictures)
        freeSubpicture(&sp);
    sws_freeContext(scaler);
    sws_freeContext(capture_scaler);
    swr_free(&audio_convert_context);
    av_channel_layout_uninit(&audio_source_layout);
    av_freep(&audio_convert_buffer);
    av_frame_free(&audio_frame);
    av_packet_free(&audio_packet);
    avcodec_free_context(&audio_codec);
    avcodec_free_context(&video_codec);
    avcodec_free_context(&subtitle_codec);
    releaseAudioVisualisation(this);
}
