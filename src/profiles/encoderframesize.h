#pragma once

#include <QSize>
#include <QString>

// The frame sizes an encoder can make. The transcoder scales an asked size
// by this rule and the option boxes show what it gives, so that the size a
// window shows is the size the output has.
class EncoderFrameSize {
public:
    // The size the encoder (ffmpeg's name, "libx264") makes closest to
    // `wanted`: one of H.263's five sizes, multiples of 4 for H.263+, even
    // sides for the 4:2:0 encoders.
    static QSize legal(const QString &encoder, QSize wanted);
};
