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

QTEST_GUILESS_MAIN(TestKorvexSound)
#include "tst_korvexsound.moc"
