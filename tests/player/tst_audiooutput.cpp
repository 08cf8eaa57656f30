#include <cmath>
#include <cstdlib>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "playertestutil.h"

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

QTEST_MAIN(TestAudioOutput)
#include "tst_audiooutput.moc"
