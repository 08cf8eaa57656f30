#include <cmath>

#include <QtTest>

#include "korvextestsupport.h"

using namespace KorvexTest;

// Which sound track a job converts and how loud a surround source comes out
// in fewer channels, measured on the outputs themselves.
class TestKorvexSound : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void takesTheDefaultTrack_data();
    void takesTheDefaultTrack();
    void downmixesAtOneLevel();

private:
    QTemporaryDir m_folder;
};

namespace {

// The decoded first channel of the output's sound, in floating point.
QVector<float> firstChannel(const QString &path) {
    QProcess p;
    p.start("ffmpeg", {"-nostdin", "-v", "error", "-i", "file:" + path, "-map", "0:a:0", "-af",
                       "pan=mono|c0=c0", "-ar", "16000", "-f", "f32le", "-"});
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
    const double frequency = toneFrequency(middle(firstChannel(out)));
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
        const double level = tonePeakDb(middle(firstChannel(out)));
        levels << QString("%1 %2 dB").arg(name).arg(level, 0, 'f', 1);
        lowest = std::min(lowest, level);
        highest = std::max(highest, level);
    }
    // The centre at -3 dB in each front channel: about -9 dBFS.
    QVERIFY2(highest - lowest <= 1.0, qPrintable(levels.join(", ")));
    QVERIFY2(lowest > -10.5 && highest < -7.5, qPrintable(levels.join(", ")));
}

QTEST_GUILESS_MAIN(TestKorvexSound)
#include "tst_korvexsound.moc"
