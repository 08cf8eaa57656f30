#include <cmath>

#include <QtTest>

#include "korvextestsupport.h"
#include "../../support/mediaprograms.h"

using namespace KorvexTest;

// Which sound track a job converts and how loud a surround source comes out
// in fewer channels, and on which speakers, measured on the outputs
// themselves.
class TestKorvexSound : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void takesTheDefaultTrack_data();
    void takesTheDefaultTrack();
    void downmixesAtOneLevel();
    void downmixNeverClips();
    void mixesForTheSpeakersWritten();

private:
    QTemporaryDir m_folder;
};

namespace {

// One decoded channel of the output's sound, in floating point.
QVector<float> channelSamples(const QString &path, int channel = 0) {
    QProcess p;
    p.start(MediaPrograms::ffmpeg(),
            {"-nostdin", "-v", "error", "-i", "file:" + path, "-map", "0:a:0", "-af",
             QString("pan=mono|c0=c%1").arg(channel), "-ar", "16000", "-f", "f32le", "-"});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    const QByteArray bytes = p.readAllStandardOutput();
    QVector<float> samples(bytes.size() / int(sizeof(float)));
    memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

// The middle of the tone: encoder priming and the last frame left out.
QVector<float> middle(const QVector<float> &samples) {
    const int edge = samples.size() / 8;
    return samples.mid(edge, samples.size() - 2 * edge);
}

double toneFrequency(const QVector<float> &samples, int rate = 16000) {
    int crossings = 0;
    for (int i = 1; i < samples.size(); ++i)
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    return samples.isEmpty() ? 0 : crossings / 2.0 * rate / samples.size();
}

// The tone's peak level in dBFS, from its RMS.
double tonePeakDb(const QVector<float> &samples) {
    double sum = 0;
    for (const float s : samples)
        sum += double(s) * s;
    return samples.isEmpty() ? -999 : 10 * std::log10(2 * sum / samples.size());
}

// The amplitude of one frequency in the samples (at 16 kHz).
double toneAmplitude(const QVector<float> &samples, double frequency) {
    double re = 0;
    double im = 0;
    for (int i = 0; i < samples.size(); ++i) {
        re += samples[i] * std::cos(2 * M_PI * frequency * i / 16000);
        im += samples[i] * std::sin(2 * M_PI * frequency * i / 16000);
    }
    return samples.isEmpty() ? 0 : 2 * std::hypot(re, im) / samples.size();
}

// The output's channel layout as ffprobe names it.
QString channelLayout(const QString &path) {
    QProcess p;
    p.start(MediaPrograms::ffprobe(), {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                       "stream=channel_layout", "-of", "csv=p=0", "file:" + path});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

bool makeClip(const QStringList &arguments, const QString &path) {
    QProcess p;
    p.start(MediaPrograms::ffmpeg(),
            QStringList{"-nostdin", "-v", "error", "-y"} + arguments + QStringList{path});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

} // namespace

void TestKorvexSound::initTestCase() {
    QVERIFY(QFileInfo(korvex()).isExecutable());
    QVERIFY(QFileInfo::exists(media(".complete")));
    QVERIFY(m_folder.isValid());
}

void TestKorvexSound::takesTheDefaultTrack_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("mp4") << "two.mp4" << QStringList{"-vcodec", "libx264", "-acodec", "aac"};
    QTest::newRow("mp3") << "two.mp3" << QStringList{"-acodec", "libmp3lame"};
}

void TestKorvexSound::takesTheDefaultTrack() {
    QFETCH(QString, output);
    QFETCH(QStringList, options);
    const QString out = m_folder.filePath(output);
    const Run run = runKorvex(job(media("two-tracks.mkv"), options, out));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    // The default stereo track holds 440 Hz, the 5.1 one 1000 Hz.
    const double frequency = toneFrequency(middle(channelSamples(out)));
    QVERIFY2(qAbs(frequency - 440) < 10, qPrintable(QString::number(frequency)));
}

void TestKorvexSound::downmixesAtOneLevel() {
    // A centre-only tone at -6 dBFS, into encoders of every sample format,
    // stereo and mono.
    const QList<std::pair<QString, QStringList>> jobs = {
        {"aac.mp4", {"-vcodec", "libx264", "-acodec", "aac", "-ac", "2"}},
        {"lame.mp3", {"-acodec", "libmp3lame"}},
        {"pcm.wav", {"-acodec", "pcm_s16le", "-ac", "2"}},
        {"layer2.mp2", {"-acodec", "mp2"}},
        {"dolby.ac3", {"-acodec", "ac3", "-ac", "2"}},
        {"mono.3gp", {"-vcodec", "h263", "-s", "176x144", "-acodec", "aac", "-ac", "1"}},
    };
    QStringList levels;
    double lowest = 0;
    double highest = -999;
    for (const auto &[name, options] : jobs) {
        const QString out = m_folder.filePath(name);
        const Run run = runKorvex(job(media("centre-tone.mkv"), options, out));
        QVERIFY2(run.exitCode == 0, qPrintable(run.text));
        const double level = tonePeakDb(middle(channelSamples(out)));
        levels << QString("%1 %2 dB").arg(name).arg(level, 0, 'f', 1);
        lowest = std::min(lowest, level);
        highest = std::max(highest, level);
    }
    // The centre at -3 dB in each front channel: about -9 dBFS.
    QVERIFY2(highest - lowest <= 1.0, qPrintable(levels.join(", ")));
    QVERIFY2(lowest > -10.5 && highest < -7.5, qPrintable(levels.join(", ")));
}

void TestKorvexSound::downmixNeverClips() {
    // 7.1 as loud as sound gets in each channel (pink noise peaking at
    // -4 dBFS), the same in all: mixed at the standard levels it would
    // reach three times full scale.
    const QString loud = m_folder.filePath("loud.wav");
    QVERIFY(makeClip({"-f", "lavfi", "-i", "anoisesrc=r=48000:a=0.5:c=pink:d=2", "-af",
                      "volume=1.6,pan=7.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0|c6=c0|c7=c0", "-c:a",
                      "pcm_f32le"},
                     loud));
    const QList<std::pair<QString, QStringList>> jobs = {
        {"loud.wav", {"-acodec", "pcm_s16le", "-ac", "2"}},
        {"loud.mp2", {"-acodec", "mp2"}},
        {"loud.m4a", {"-acodec", "libfaac", "-ac", "2"}},
        {"loud.mp3", {"-acodec", "libmp3lame"}},
    };
    QStringList peaks;
    double highest = 0;
    for (const auto &[name, options] : jobs) {
        const QString out = m_folder.filePath("out-" + name);
        const Run run = runKorvex(job(loud, options, out));
        QVERIFY2(run.exitCode == 0, qPrintable(run.text));
        for (int channel = 0; channel < 2; ++channel) {
            double peak = 0;
            for (const float sample : channelSamples(out, channel))
                peak = std::max(peak, double(std::abs(sample)));
            peaks << QString("%1 %2").arg(name).arg(peak, 0, 'f', 3);
            highest = std::max(highest, peak);
        }
    }
    QVERIFY2(highest < 0.99, qPrintable(peaks.join(", ")));
}

void TestKorvexSound::mixesForTheSpeakersWritten() {
    // 7.1 with a tone of its own in each channel at -12 dBFS: the back pair
    // 500 and 600 Hz, the side pair 700 and 800 Hz.
    const QString source = m_folder.filePath("seven.wav");
    QVERIFY(makeClip({"-f", "lavfi", "-i",
                      "aevalsrc=0.25*sin(2*PI*200*t)|0.25*sin(2*PI*300*t)|0.25*sin(2*PI*400*t)|"
                      "0.25*sin(2*PI*50*t)|0.25*sin(2*PI*500*t)|0.25*sin(2*PI*600*t)|"
                      "0.25*sin(2*PI*700*t)|0.25*sin(2*PI*800*t):c=7.1:s=48000:d=2",
                      "-c:a", "pcm_s16le"},
                     source));
    // AC-3 writes its 5.1 surrounds as side speakers, AAC as back ones: each
    // pair in its own place, the other added at -3 dB.
    const QList<std::pair<QString, QString>> jobs = {{"five.ac3", "ac3"}, {"five.m4a", "libfaac"}};
    for (const auto &[name, encoder] : jobs) {
        const QString out = m_folder.filePath(name);
        const Run run = runKorvex(job(source, {"-acodec", encoder, "-ac", "6"}, out));
        QVERIFY2(run.exitCode == 0, qPrintable(run.text));
        const QString layout = channelLayout(out);
        const bool sides = layout == "5.1(side)";
        QVERIFY2(sides || layout == "5.1", qPrintable(layout));
        const QVector<float> left = middle(channelSamples(out, 4));
        const double own = toneAmplitude(left, sides ? 700 : 500);
        const double added = toneAmplitude(left, sides ? 500 : 700);
        const QString levels =
            QString("%1 %2: %3 and %4").arg(name, layout).arg(own, 0, 'f', 3).arg(added, 0, 'f', 3);
        QVERIFY2(qAbs(own - 0.25) < 0.03 && qAbs(added - 0.25 * M_SQRT1_2) < 0.03,
                 qPrintable(levels));
    }
}

QTEST_GUILESS_MAIN(TestKorvexSound)
#include "tst_korvexsound.moc"
