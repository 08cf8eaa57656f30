// Plays one file in a window the way the main window shows the preview (the
// picture painted into a 297 x 237 box every 30 ms) until the given number of
// seconds of it have played, then prints the audio-video drift it saw. Used by
// bench/player-bench.sh, which measures the CPU time of the whole process.

#include <cmath>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include "player/previewplayer.h"

namespace {

const QRectF kPreviewBox(542, 139, 297, 237);
constexpr int kRepaintMs = 30;
constexpr int kDriftSampleMs = 100;
constexpr int kSpareSeconds = 10;

class PreviewWindow : public QWidget {
public:
    PreviewWindow() {
        resize(880, 520);
        m_repaint.setSingleShot(true);
        connect(&m_repaint, &QTimer::timeout, this,
                [this] { update(kPreviewBox.toAlignedRect()); });
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        paintPreview(painter, kPreviewBox);
        if (!m_repaint.isActive())
            m_repaint.start(kRepaintMs);
    }

private:
    QTimer m_repaint;
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FILE SECONDS\n", argv[0]);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const int seconds = QString::fromLocal8Bit(argv[2]).toInt();

    initPreviewAudio();
    PreviewWindow window;
    window.show();
    playFile(file, kPreviewBox.size().toSize());

    // Sound clock minus picture clock while both run, as ffplay's "A-V".
    std::vector<double> drift;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&drift] {
        PlayerState *is = currentPlayerState;
        if (is && is->audio_stream && is->video_stream && is->shown_pts_pinned && !is->paused)
            drift.push_back(audioClock(is) - videoClock(is));
    });
    sampler.start(kDriftSampleMs);

    // Stop once the media has played for `seconds`, like ffplay's -t; give
    // up after a generous wall-clock limit.
    const auto finish = [&] {
        sampler.stop();
        shutdownPlayer();
        app.quit();
    };
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (playPosition >= seconds || playEndFlag)
            finish();
    });
    watch.start(kDriftSampleMs);
    QTimer::singleShot((seconds + kSpareSeconds) * 1000, &app, finish);
    const int result = app.exec();

    double sum = 0.0;
    double worst = 0.0;
    for (double d : drift) {
        sum += std::fabs(d);
        worst = std::max(worst, std::fabs(d));
    }
    const double mean = drift.empty() ? 0.0 : sum / drift.size();
    std::printf("samples=%zu mean_abs_drift_ms=%.1f max_abs_drift_ms=%.1f position=%.2f\n",
                drift.size(), mean * 1000.0, worst * 1000.0, playPosition.load());
    if (drift.empty()) {
        std::fprintf(stderr, "%s: the clip did not play with sound and picture\n", argv[0]);
        return 1;
    }
    return result;
}
