#pragma once

#include <QSize>
#include <QString>
#include <QVector>

// What Debian's ffmpeg can do with each encoder and container, as far as the
// jobs of the main program need it. Lookups go to the linked FFmpeg libraries,
// which are the same build as the ffmpeg program; the few limits that the
// libraries do not publish are kept here.
namespace EncoderCaps {

enum class Kind { Video, Audio };

// The encoder this ffmpeg uses for a name the main program writes: the name
// itself, or its stand-in when this ffmpeg lacks it (libfaac gives aac,
// msmpeg4v1 gives msmpeg4v2). Empty for a name that is no usable encoder of
// that kind.
QString resolveEncoder(const QString &name, Kind kind);

// The muxer for an output: from "-f" when given, else from the file's
// extension; empty when neither names one, or when the one named writes
// files of its own rather than the output.
QString muxerFor(const QString &outputPath, const QString &formatOption,
                 const QString &videoEncoder);

// Outputs that carry sound only, by extension: a video stream there would be
// written as cover art or refused.
bool isAudioOnlyOutput(const QString &outputPath);

// Whether the muxer can carry the encoder's streams.
bool containerAccepts(const QString &muxer, const QString &encoder, Kind kind,
                      bool audioOnlyOutput);

// The muxer's own choice of encoder, as this ffmpeg would take it.
QString defaultEncoder(const QString &muxer, Kind kind);

// Sample rates the encoder (inside that muxer) takes; empty means any.
QVector<int> sampleRates(const QString &encoder, const QString &muxer);
int nearest(const QVector<int> &allowed, int wanted);

// The name of the speaker layout that the encoder writes for that many
// channels ("5.1", or AC-3's "5.1(side)").
QString writtenLayout(const QString &encoder, int channels);

// Most channels the encoder takes; 0 means no limit known.
int maxChannels(const QString &encoder, const QString &muxer);

// Audio bitrate (bits per second) the encoder can use nearest to the wish;
// 0 when the encoder has no bitrate to set.
qint64 audioBitrate(const QString &encoder, qint64 wanted, int sampleRate);
bool takesAudioBitrate(const QString &encoder);

// Pixel format the devices expect from the encoder; empty to leave ffmpeg's.
QString pixelFormat(const QString &encoder);
// The encoder writes no more than 8 bits a sample, whatever the source has.
bool writesEightBits(const QString &encoder);
// Its pictures are full range, BT.601, as JPEG's are.
bool writesJpegRange(const QString &encoder);

// A frame size the encoder accepts, close to the wish.
QSize legalFrameSize(const QString &encoder, QSize wanted);

// The largest picture the encoder makes; invalid when it sets no limit of its
// own below what the libraries can hold.
QSize largestPicture(const QString &encoder);

bool takesPreset(const QString &encoder);

// Whether a player learns the pixel aspect from the encoder's stream; where
// not, every pixel is shown square.
bool carriesPixelAspect(const QString &encoder);

} // namespace EncoderCaps
