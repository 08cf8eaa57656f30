#include "player/audiovisualisation.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avfft.h>
#include <libavutil/mem.h>
#include <libavutil/time.h>
}

#include <QImage>

#include "player/playerstate.h"
#include "player/previewframe.h"

namespace AudioVisualisation {

int transformBits(int height) {
    int bits = 1;
    while ((int64_t(1) << bits) < 2 * int64_t(height))
        ++bits;
    return std::max(bits, kMinTransformBits);
}

int windowStart(int ringIndex, int ringSize, int pendingBytes, int channels, int sampleRate,
                int64_t elapsedUs, int used) {
    int64_t delay = pendingBytes / (2 * channels);
    if (elapsedUs != 0)
        delay -= elapsedUs * sampleRate / 1000000;
    delay += 2 * used;
    if (delay < used)
        delay = used;
    int64_t start = (int64_t(ringIndex) - delay * channels) % ringSize;
    if (start < 0)
        start += ringSize;
    return int(start);
}

void drawColumn(QImage &image, int column, const float *first, const float *second, int bins) {
    const int height = image.height();
    if (column < 0 || column >= image.width())
        return;
    const double gain = 1.0 / std::sqrt(double(bins));
    const int rows = std::min(height, bins);
    for (int y = 0; y < rows; ++y) {
        const auto level = [gain, y](const float *block) {
            const double re = block[2 * y];
            const double im = block[2 * y + 1];
            const int value = int(std::sqrt(gain * std::sqrt(re * re + im * im)));
            return std::min(value, 255);
        };
        const int a = level(first);
        const int b = level(second);
        image.setPixel(column, height - 1 - y, qRgb(a, b, (a + b) / 2));
    }
}

} // namespace AudioVisualisation

using namespace AudioVisualisation;

void drawAudioVisualisation(PlayerState *is) {
    const int width = is->display_width;
    const int height = is->display_height;
    const int channels = is->audio_out_channels;
    if (width <= 0 || height <= 0 || channels <= 0)
        return;

    const int bits = transformBits(height);
    const int bins = 1 << (bits - 1);
    const int used = 2 * bins;

    int start;
    if (is->paused) {
        start = is->last_display_start;
    } else {
        const int64_t callbackTime = is->audio_callback_time;
        const int64_t elapsed = callbackTime != 0 ? av_gettime() - callbackTime : 0;
        int ringIndex;
        {
            std::lock_guard<std::mutex> lock(is->sample_ring_mutex);
            ringIndex = is->sample_ring_index;
        }
        start = windowStart(ringIndex, kSampleRingSize, is->audio_data_size - is->audio_data_index,
                            channels, is->audio_out_rate, elapsed, used);
        is->last_display_start = start;
    }

    if (bits != is->rdft_bits) {
        if (is->rdft_context)
            av_rdft_end(is->rdft_context);
        is->rdft_context = av_rdft_init(bits, DFT_R2C);
        is->rdft_bits = is->rdft_context ? bits : 0;
    }
    if (!is->rdft_context)
        return;

    // The transform's SIMD code wants libavutil's alignment.
    const int shown = std::min(channels, 2);
    auto *blocks =
        static_cast<FFTSample *>(av_malloc_array(size_t(shown) * used, sizeof(FFTSample)));
    if (!blocks)
        return;
    {
        std::lock_guard<std::mutex> lock(is->sample_ring_mutex);
        for (int k = 0; k < shown; ++k) {
            FFTSample *block = blocks + size_t(k) * used;
            int i = start + k;
            for (int x = 0; x < used; ++x) {
                const double w = (x - bins) * (1.0 / bins);
                block[x] = FFTSample(is->sample_ring[i] * (1.0 - w * w));
                i += channels;
                if (i >= kSampleRingSize)
                    i -= kSampleRingSize;
            }
        }
    }
    for (int k = 0; k < shown; ++k)
        av_rdft_calc(is->rdft_context, blocks + size_t(k) * used);

    if (is->spectrum_image.size() != QSize(width, height)) {
        is->spectrum_image = QImage(width, height, QImage::Format_RGB32);
        is->spectrum_image.fill(Qt::black);
    }
    if (is->spectrum_column < is->display_left || is->spectrum_column >= width)
        is->spectrum_column = is->display_left;

    // Mono sound shows its one channel as both.
    const FFTSample *second = shown > 1 ? blocks + used : blocks;
    drawColumn(is->spectrum_image, is->spectrum_column, blocks, second, bins);
    av_free(blocks);
    previewFrame.setImage(is->spectrum_image);

    if (++is->spectrum_column >= width)
        is->spectrum_column = is->display_left;
}

void releaseAudioVisualisation(PlayerState *is) {
    if (is->rdft_context)
        av_rdft_end(is->rdft_context);
    is->rdft_context = nullptr;
    is->rdft_bits = 0;
}
