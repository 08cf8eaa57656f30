#pragma once

#include <QString>

#include "fielddetector.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct SwsContext;

// ffmpeg's idet filter, run over frames that korvex decodes in its own
// process: an ffmpeg process of its own took longer to start than the
// frames of a short SD job take to decode and judge.
//
// A frame is judged by how far a line lies from the mean of the frame's lines
// about it, when the line is taken from the frame before, from the frame
// after, or from the frame itself. Woven fields are moments apart: lines of
// the frame before fit best between those of the field shot first, lines of
// the frame after between those shot second. A whole frame fits itself best.
// The counts are of idet's multi-frame judgement, which takes a new verdict
// only once the last frames that it could judge agree on it.
class FieldCounter {
public:
    // Decodes up to frames frames of the source's picture, from the key frame
    // before the stretch of that many in the middle of the source, and counts
    // them by what they were taken for; false when the source or its picture
    // could not be read, or no frame could be judged.
    static bool count(const QString &sourcePath, const SourceFacts &facts, int frames,
                      FieldDetector::Counts *counts);

private:
    // In idet's order, which its judgement of a run of frames keeps.
    enum class Kind {
        TopFirst,
        BottomFirst,
        Whole,
        Undetermined,
    };
    static constexpr int kHistory = 4;

    FieldCounter() = default;
    ~FieldCounter();
    FieldCounter(const FieldCounter &) = delete;
    FieldCounter &operator=(const FieldCounter &) = delete;

    bool decode(AVFormatContext *ctx, const SourceFacts &facts, int frames);
    void receive(AVCodecContext *decoder, AVFrame *frame, int frames);
    void add(const AVFrame *decoded);
    void push(AVFrame *frame);
    void finish();
    Kind kindOfCurrent() const;
    void tally(Kind kind);

    // The frames before, being judged, and after.
    AVFrame *m_prev = nullptr;
    AVFrame *m_cur = nullptr;
    AVFrame *m_next = nullptr;
    SwsContext *m_convert = nullptr;
    Kind m_history[kHistory] = {Kind::Undetermined, Kind::Undetermined, Kind::Undetermined,
                                Kind::Undetermined};
    Kind m_verdict = Kind::Undetermined;
    int m_judged = 0;
    FieldDetector::Counts m_counts;
};
