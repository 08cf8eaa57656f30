#include <cmath>
#include <vector>

#include <QtTest>

#include "player/audiovisualisation.h"
#include "player/playerstate.h"
#include "player/previewframe.h"

using namespace AudioVisualisation;

namespace {

// A 440 Hz tone in the ring, interleaved for `channels`; the second channel
// (when there is one) is silent so that the two colours can be told apart.
void fillRing(PlayerState &state, int channels) {
    for (int i = 0; i < kSampleRingSize; ++i) {
        const int frame = i / channels;
        const bool first = i % channels == 0;
        state.sample_ring[i] =
            first ? int16_t(8000 * std::sin(2 * M_PI * 440.0 * frame / 44100.0)) : 0;
    }
    state.sample_ring_index = 4096;
}

void setUpState(PlayerState &state, int channels, int width, int height) {
    state.audio_out_channels = channels;
    state.audio_out_rate = 44100;
    state.display_width = width;
    state.display_height = height;
    fillRing(state, channels);
}

} // namespace

class TestAudioVisualisation : public QObject {
    Q_OBJECT

private slots:
    void transformSize_data();
    void transformSize();
    void longGapSinceCallbackDoesNotWrap();
    void windowStartStaysInRing();
    void columnRowsStayInsideImage();
    void monoShowsItsChannelAsBoth();
    void stereoShowsChannelsApart();
    void columnScrollsAndWraps();
    void pausedRedrawsSameStretch();
    void transformIsFreed();
};

void TestAudioVisualisation::transformSize_data() {
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bits");
    QTest::newRow("240") << 240 << 9;
    QTest::newRow("237") << 237 << 9;
    QTest::newRow("256") << 256 << 9;
    QTest::newRow("257") << 257 << 10;
    QTest::newRow("tiny") << 2 << kMinTransformBits;
}

void TestAudioVisualisation::transformSize() {
    QFETCH(int, height);
    QFETCH(int, bits);
    QCOMPARE(transformBits(height), bits);
    QVERIFY((1 << (bits - 1)) >= height); // a bin for every row
}

void TestAudioVisualisation::longGapSinceCallbackDoesNotWrap() {
    // 100 ms since the last callback at 44100 Hz is 4410 sample frames. Kept
    // in 16 bits the gap would read as a negative time.
    const int used = 512;
    const int start = windowStart(50000, kSampleRingSize, 0, 2, 44100, 100000, used);
    const int expectedDelay = 2 * used - 4410 < used ? used : 2 * used - 4410;
    QCOMPARE(start, 50000 - expectedDelay * 2);

    const int recent = windowStart(50000, kSampleRingSize, 0, 2, 44100, 1000, used);
    QCOMPARE(recent, 50000 - (2 * used - 44) * 2);
}

void TestAudioVisualisation::windowStartStaysInRing() {
    const int start = windowStart(10, kSampleRingSize, 4000, 2, 44100, 0, 512);
    QVERIFY(start >= 0 && start < kSampleRingSize);
    QCOMPARE(start, kSampleRingSize + 10 - (1000 + 1024) * 2);
}

void TestAudioVisualisation::columnRowsStayInsideImage() {
    const int height = 20;
    const int bins = 1 << (transformBits(height) - 1);
    std::vector<float> block(size_t(2 * bins), 0.0f);
    block[0] = 1.0e6f; // the lowest bin is loud
    QImage image(8, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QTest::failOnWarning(QRegularExpression(".*"));
    drawColumn(image, 3, block.data(), block.data(), bins);
    // The lowest bin is the bottom row, inside the image.
    QVERIFY(qRed(image.pixel(3, height - 1)) > 0);
    QCOMPARE(image.pixel(3, 0), qRgb(0, 0, 0));
    for (int y = 0; y < height; ++y)
        QCOMPARE(image.pixel(2, y), qRgb(0, 0, 255));       // the neighbours are untouched
    drawColumn(image, 8, block.data(), block.data(), bins); // outside: ignored
}

void TestAudioVisualisation::monoShowsItsChannelAsBoth() {
    PlayerState state;
    setUpState(state, 1, 16, 64);
    drawAudioVisualisation(&state);
    const QImage image = previewFrame.image();
    QCOMPARE(image.size(), QSize(16, 64));
    int lit = 0;
    for (int y = 0; y < 64; ++y) {
        const QRgb pixel = image.pixel(0, y);
        QCOMPARE(qGreen(pixel), qRed(pixel));
        lit += qRed(pixel) > 0;
    }
    QVERIFY(lit > 0);
}

void TestAudioVisualisation::stereoShowsChannelsApart() {
    PlayerState state;
    setUpState(state, 2, 16, 64);
    drawAudioVisualisation(&state);
    const QImage image = previewFrame.image();
    int redOnly = 0;
    for (int y = 0; y < 64; ++y) {
        const QRgb pixel = image.pixel(0, y);
        QCOMPARE(qGreen(pixel), 0); // the silent second channel
        redOnly += qRed(pixel) > 0;
    }
    QVERIFY(redOnly > 0);
}

void TestAudioVisualisation::columnScrollsAndWraps() {
    PlayerState state;
    setUpState(state, 2, 3, 32);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(state.spectrum_column, i);
        drawAudioVisualisation(&state);
    }
    QCOMPARE(state.spectrum_column, 0);
}

void TestAudioVisualisation::pausedRedrawsSameStretch() {
    PlayerState state;
    setUpState(state, 2, 8, 32);
    drawAudioVisualisation(&state);
    const int start = state.last_display_start;
    state.paused = 1;
    state.sample_ring_index = 90000;
    drawAudioVisualisation(&state);
    QCOMPARE(state.last_display_start, start);
    const QImage image = previewFrame.image();
    for (int y = 0; y < 32; ++y)
        QCOMPARE(image.pixel(1, y), image.pixel(0, y));
}

void TestAudioVisualisation::transformIsFreed() {
    PlayerState state;
    setUpState(state, 2, 8, 32);
    drawAudioVisualisation(&state);
    QVERIFY(state.rdft_context);
    QCOMPARE(state.rdft_bits, transformBits(32));
    // A taller area needs a bigger transform: the old one is ended first.
    state.display_height = 300;
    drawAudioVisualisation(&state);
    QCOMPARE(state.rdft_bits, transformBits(300));
    releaseAudioVisualisation(&state);
    QVERIFY(!state.rdft_context);
    QCOMPARE(state.rdft_bits, 0);
}

QTEST_APPLESS_MAIN(TestAudioVisualisation)
#include "tst_audiovisualisation.moc"
