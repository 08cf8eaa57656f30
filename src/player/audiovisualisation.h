#pragma once

#include <cstdint>

class QImage;
struct PlayerState;

// The scrolling spectrum shown in place of the picture for files without
// video: one column a refresh, of the sound being heard at that moment.
void drawAudioVisualisation(PlayerState *is);
// Ends the transform; called when the player state is released.
void releaseAudioVisualisation(PlayerState *is);

namespace AudioVisualisation {

constexpr int kMinTransformBits = 4; // the smallest transform libavcodec makes

// The transform's size exponent for a column of `height` rows: enough bins
// (2^(bits-1)) for one a row.
int transformBits(int height);

// Where in the sample ring the stretch being heard begins. `elapsedUs` is the
// time since the audio callback last ran (0 = it never ran); it is kept in 64
// bits so that a long gap does not wrap round.
int windowStart(int ringIndex, int ringSize, int pendingBytes, int channels, int sampleRate,
                int64_t elapsedUs, int used);

// Paints one column from the transformed blocks of the first and the second
// channel (`second` may be the first again for mono). Row 0 is the top row
// of `image`; low bins go to the bottom. Rows stay inside the image.
void drawColumn(QImage &image, int column, const float *first, const float *second, int bins);

} // namespace AudioVisualisation
