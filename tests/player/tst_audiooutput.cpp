#include <cmath>
#include <cstdlib>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "playertestutil.h"
#include "../support/mediaprograms.h"

using namespace PlayerTest;

// The sound that reached the device, read back from SDL's disk driver: signed
// 16-bit, interleaved, at the device's rate and channel count.
namespace {

struct Level {
    double rms = 0.0;
    int peak = 0;
    double frequency = 0.0;
};

Level measure(const QByteArray &pcm, int channels, int rate) {
    Level level;
    const auto *samples = reinterpret_cast<const int16_t *>(pcm.constData());
    const int frames = int(pcm.size() / (2 * channels));
    if (frames == 0)
        return level;
    double sum = 0.0;
    int crossings = 0;
    int previous = samples[0];
    for (int i = 0; i < frames; ++i) {
        const int sample = samples[i * channels];
        sum += double(sample) * sample;
        level.peak = std::max(level.peak, std::abs(sample));
        if ((previous < 0) != (sample < 0))
            ++crossings;
        previous = sample;
    }
    level.rms = std::sqrt(sum / frames);
    level.frequency = crossings / 2.0 / (double(frames) / rate);
    return level;
}

// The longest run of silent sample frames (in seconds) that has sound on
// both sides of it.
double longestInnerSilence(const QByteArray &pcm, int channels, int rate) {
    const auto *samples = reinterpret_cast<const int16_t *>(pcm.constData());
    const int frames = int(pcm.size() / (2 * channels));
    constexpr int kSilent = 8;
    int lastLoud = -1;
    int longest = 0;
    for (int i = 0; i < frames; ++i) {
        if (std::abs(samples[i * channels]) <= kSilent)
            continue;
        if (lastLoud >= 0)
            longest = std::max(longest, i - lastLoud - 1);
        lastLoud = i;
    }
    return double(longest) / rate;
}

bool runTool(const QString &program, const QStringList &arguments, QByteArray *output = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kEventTimeoutMs) || process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

} // namespace

class TestAudioOutput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void toneReachesDeviceAtItsLevel();
    void muteAndPauseGiveSilence();
    void surroundIsMixedToStereo();
    void soundGapIsSilenceAndPicturesKeepTheirPace();

private:
    // The bytes the device received from now on, over `ms` milliseconds.
    QByteArray recordFor(int ms);

    QTemporaryDir m_dir;
    QString m_output;
};

void TestAudioOutput::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_output = m_dir.filePath("device.raw");
    // Before SDL starts: the disk driver writes what the callback mixes.
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_output));
    QVERIFY(initPreviewAudio());
}

void TestAudioOutput::cleanup() {
    closePlayer();
    playVolume = 128;
    playEndFlag = 0;
}

void TestAudioOutput::cleanupTestCase() {
    shutdownPlayer();
}

QByteArray TestAudioOutput::recordFor(int ms) {
    const qint64 from = QFileInfo(m_output).size();
    runFor(ms);
    QFile file(m_output);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    file.seek(from & ~qint64(3));
    return file.readAll();
}

void TestAudioOutput::toneReachesDeviceAtItsLevel() {
    playFile(mediaPath("long.mp4"), kPreviewSize);
    QVERIFY(waitForPosition(1.0));
    PlayerState *is = currentPlayerState;
    QCOMPARE(is->audio_out_channels, 2);
    QCOMPARE(is->audio_out_rate, 44100);

    const QByteArray pcm = recordFor(500);
    QVERIFY(pcm.size() > 44100 * 4 / 4); // about real time
    const Level level = measure(pcm, 2, 44100);
    // The clip's tone measures -24.1 dB RMS (ffmpeg's volumedetect): 2046.
    QVERIFY2(level.rms > 1750 && level.rms < 2350, qPrintable(QString::number(level.rms)));
    QVERIFY2(qAbs(level.frequency - 440.0) < 15.0, qPrintable(QString::number(level.frequency)));

    // Half the volume, half the level.
    playVolume = 64;
    runFor(150);
    const Level half = measure(recordFor(300), 2, 44100);
    QVERIFY2(half.rms > level.rms * 0.4 && half.rms < level.rms * 0.6,
             qPrintable(QString::number(half.rms)));
}

void TestAudioOutput::muteAndPauseGiveSilence() {
    playFile(mediaPath("long.mp4"), kPreviewSize);
    QVERIFY(waitForPosition(0.5));

    playVolume = 0;
    runFor(150); // what was already mixed drains
    const Level muted = measure(recordFor(400), 2, 44100);
    QCOMPARE(muted.peak, 0);

    playVolume = 128;
    runFor(150);
    QVERIFY(measure(recordFor(300), 2, 44100).rms > 1500);

    togglePlayerPause(currentPlayerState);
    runFor(200); // the buffered sound and the rest of the packet still play
    const QByteArray paused = recordFor(400);
    QVERIFY(!paused.isEmpty()); // the device keeps running
    QCOMPARE(measure(paused, 2, 44100).peak, 0);

    togglePlayerPause(currentPlayerState);
    runFor(150);
    QVERIFY(measure(recordFor(300), 2, 44100).rms > 1500);
}

void TestAudioOutput::surroundIsMixedToStereo() {
    playFile(mediaPath("surround.ac3"), kPreviewSize);
    QVERIFY(waitForPosition(0.5));
    PlayerState *is = currentPlayerState;
    QCOMPARE(is->audio_out_channels, 2);
    QCOMPARE(is->audio_out_rate, 48000);
    const QByteArray pcm = recordFor(400);
    const Level left = measure(pcm, 2, 48000);
    const Level right = measure(pcm.mid(2), 2, 48000);
    QVERIFY2(left.rms > 1000, qPrintable(QString::number(left.rms)));
    QVERIFY(right.rms > 1000);
    QVERIFY(qAbs(left.frequency - 440.0) < 15.0);
}

void TestAudioOutput::soundGapIsSilenceAndPicturesKeepTheirPace() {
    // Four seconds of pictures whose sound stops at 1 s and comes back at 3 s
    // (the time stamps jump, as after a cut).
    const QString clip = m_dir.filePath("gap.mp4");
    QVERIFY(runTool(MediaPrograms::ffmpeg(),
                    {"-nostdin", "-loglevel",
                     "error",    "-y",
                     "-f",       "lavfi",
                     "-i",       "testsrc2=size=160x120:rate=25:duration=4",
                     "-f",       "lavfi",
                     "-i",       "sine=frequency=440:sample_rate=44100:duration=4",
                     "-af",      "aselect='not(between(t,1,3))'",
                     "-ac",      "2",
                     "-c:v",     "libx264",
                     "-preset",  "ultrafast",
                     "-pix_fmt", "yuv420p",
                     "-c:a",     "aac",
                     clip}));
    QByteArray stamps;
    QVERIFY(runTool(MediaPrograms::ffprobe(),
                    {"-v", "error", "-select_streams", "a", "-show_entries", "packet=pts_time",
                     "-of", "csv=p=0", clip},
                    &stamps));
    double widest = 0.0;
    double previous = 0.0;
    for (const QByteArray &line : stamps.split('\n')) {
        bool ok = false;
        const double pts = line.trimmed().toDouble(&ok);
        if (ok) {
            widest = std::max(widest, pts - previous);
            previous = pts;
        }
    }
    QVERIFY2(widest > 1.9, qPrintable(QString::number(widest)));

    QElapsedTimer wall;
    wall.start();
    playFile(clip, kPreviewSize);
    QVERIFY(waitForPicture());
    // In the gap the pictures run on at their own pace.
    QVERIFY(waitForPosition(2.0));
    QVERIFY2(wall.elapsed() > 1700, qPrintable(QString::number(wall.elapsed())));
    QVERIFY(QTest::qWaitFor([] { return playEndFlag == 1; }, kEventTimeoutMs));
    QVERIFY2(wall.elapsed() > 3500, qPrintable(QString::number(wall.elapsed())));

    // Each device writes its file anew.
    QFile file(m_output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pcm = file.readAll();
    const double silence = longestInnerSilence(pcm, 2, 44100);
    QVERIFY2(silence > 1.8 && silence < 2.3, qPrintable(QString::number(silence)));
}

QTEST_MAIN(TestAudioOutput)
#include "tst_audiooutput.moc"
