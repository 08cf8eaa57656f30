#include <cmath>

#include <QtEndian>
#include <QtTest>

#include "filelist/probeparser.h"
#include "korvextestsupport.h"
#include "../../support/hostilemedia.h"

using namespace KorvexTest;

// The staged korvex's probe text, read by the main program's own reader: the
// fields it pulls out are the contract, not korvex's idea of them.
class TestKorvexProbe : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void givesTheReaderEveryField_data();
    void givesTheReaderEveryField();
    void readsAHundredHoursAndMore();
    void turnsAwayWhatIsNotMedia_data();
    void turnsAwayWhatIsNotMedia();
    void readsWavsThatCannotTellTheirLength_data();
    void readsWavsThatCannotTellTheirLength();
    void readsAFileOnlyByItself_data();
    void readsAFileOnlyByItself();

private:
    QTemporaryDir m_dir;
};

namespace {

constexpr qint64 kFourGigabytes = qint64(1) << 32;
constexpr int kWavRate = 48000;
constexpr int kWavBlock = 4; // 16-bit stereo

// A WAV of dataBytes of sound whose header says sizeField for it, holding a
// 1 kHz tone in its last toneSeconds; the rest is a hole (the file is
// sparse, so it costs no disk however long it is).
bool writeWav(const QString &path, quint16 format, qint64 dataBytes, quint32 sizeField,
              double toneSeconds) {
    QByteArray header = "RIFF____WAVEfmt ";
    auto le32 = [&header](quint32 v) {
        header.append(reinterpret_cast<const char *>(&(v = qToLittleEndian(v))), 4);
    };
    auto le16 = [&header](quint16 v) {
        header.append(reinterpret_cast<const char *>(&(v = qToLittleEndian(v))), 2);
    };
    le32(16);
    le16(format);
    le16(2);
    le32(kWavRate);
    le32(kWavRate * kWavBlock);
    le16(kWavBlock);
    le16(16);
    header += "data";
    le32(sizeField);
    const quint32 riff = sizeField == 0xFFFFFFFF ? sizeField : quint32(sizeField + 36);
    qToLittleEndian(riff, header.data() + 4);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size() ||
        !file.resize(header.size() + dataBytes))
        return false;
    const qint64 samples = qint64(toneSeconds * kWavRate);
    QByteArray tone(samples * kWavBlock, Qt::Uninitialized);
    for (qint64 i = 0; i < samples; ++i) {
        const qint16 v = qint16(8000 * std::sin(2 * M_PI * 1000 * i / kWavRate));
        qToLittleEndian(v, tone.data() + i * kWavBlock);
        qToLittleEndian(v, tone.data() + i * kWavBlock + 2);
    }
    // Whole samples up to the end: a cut-off one stays behind them.
    return file.seek(header.size() + dataBytes / kWavBlock * kWavBlock - tone.size()) &&
           file.write(tone) == tone.size();
}

} // namespace

void TestKorvexProbe::initTestCase() {
    QVERIFY(QFileInfo(korvex()).isExecutable());
    QVERIFY(QFileInfo::exists(media(".complete")));
    QVERIFY(HostileMedia::make(QDir(m_dir.filePath("hostile"))));
}

void TestKorvexProbe::givesTheReaderEveryField_data() {
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("videoCodec");
    QTest::addColumn<QString>("frameSize");
    QTest::addColumn<QString>("frameRate");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QString>("audioCodec");
    const QString no;
    // clang-format off
    QTest::newRow("mp4")              << "av.mp4"            << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("avi")              << "av.avi"            << "2"  << "mpeg4"      << "320x240" << "25" << "1.333" << "mp3";
    QTest::newRow("mkv")              << "av.mkv"            << "2"  << "h264"       << "320x240" << "25" << "1.333" << "vorbis";
    QTest::newRow("flv, sound first") << "av.flv"            << "2"  << "flv1"       << "320x240" << "25" << "1.333" << "mp3";
    QTest::newRow("wmv")              << "av.wmv"            << "2"  << "wmv2"       << "320x240" << "25" << "1.333" << "wmav2";
    QTest::newRow("mpg")              << "av.mpg"            << "2"  << "mpeg2video" << "320x240" << "25" << "1.333" << "mp2";
    QTest::newRow("mov")              << "av.mov"            << "2"  << "mpeg4"      << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("wide")             << "wide.mp4"          << "2"  << "h264"       << "640x360" << "25" << "1.778" << "aac";
    QTest::newRow("long")             << "long.mp4"          << "12" << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("mp3")              << "audio.mp3"         << "2"  << no << no << no << no << "mp3";
    QTest::newRow("wav mono")         << "audio.wav"         << "2"  << no << no << no << no << "pcm_s16le";
    QTest::newRow("ogg")              << "audio.ogg"         << "2"  << no << no << no << no << "vorbis";
    QTest::newRow("m4a")              << "audio.m4a"         << "2"  << no << no << no << no << "aac";
    QTest::newRow("ac3 5.1")          << "surround.ac3"      << "2"  << no << no << no << no << "ac3";
    QTest::newRow("mp4 5.1")          << "surround.mp4"      << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("picture only")     << "video-only.mp4"    << "2"  << "h264"       << "320x240" << "25" << "1.333" << no;
    QTest::newRow("odd avi")          << "odd.avi"           << "2"  << "mjpeg"      << "175x97"  << "25" << "1.804" << "pcm_s16le";
    QTest::newRow("odd mp4")          << "odd.mp4"           << "2"  << "h264"       << "174x98"  << "30" << "1.776" << no;
    QTest::newRow("late start")       << "offset.ts"         << "2"  << "mpeg2video" << "320x240" << "25" << "1.333" << "mp2";
    QTest::newRow("two tracks: the default one, not the one with more channels")
                                      << "two-tracks.mkv"    << "2"  << "h264"       << "160x120" << "25" << "1.333" << "flac";
    QTest::newRow("blank")            << "with space.mp4"    << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("single quote")     << "quote'single.mp4"  << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("double quote")     << "quote\"double.mp4" << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("non-Latin")        << "日本語 ファイル.mp4" << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    // clang-format on
}

void TestKorvexProbe::givesTheReaderEveryField() {
    QFETCH(QString, clip);
    QFETCH(QString, seconds);
    QFETCH(QString, videoCodec);
    QFETCH(QString, audioCodec);

    const Run probe = runKorvex({"-i", media(clip)}, 30000);
    QCOMPARE(probe.exitCode, 0);
    // One write below the pipe's atomic size: the reader gets it in one chunk.
    QVERIFY(probe.text.toUtf8().size() < 4096);
    const ProbeResult r = ProbeParser::parse(probe.text);
    QCOMPARE(r.hasVideo, !videoCodec.isEmpty());
    QCOMPARE(r.audioOnly, videoCodec.isEmpty());
    QCOMPARE(r.probedSeconds, seconds);
    QCOMPARE(r.probedDuration, QString("00:00:%1").arg(seconds.toInt(), 2, 10, QChar('0')));
    QVERIFY2(qAbs(r.probedSecondsExact.toDouble() - seconds.toDouble()) <= 0.1,
             qPrintable(r.probedSecondsExact));
    QVERIFY2(r.probedBitrate.toInt() > 0, qPrintable(probe.text));
    QCOMPARE(r.probedVideoCodec, videoCodec);
    QTEST(r.probedFrameSize, "frameSize");
    QTEST(r.probedFrameRate, "frameRate");
    QTEST(r.probedDisplayRatio, "ratio");
    if (!audioCodec.isEmpty() || videoCodec.isEmpty()) {
        QCOMPARE(r.probedAudioCodec, audioCodec);
        // Where the stream does not say, the overall bitrate stands in.
        QVERIFY2(r.probedAudioBitrate.toInt() > 0, qPrintable(probe.text));
    }
}

void TestKorvexProbe::readsAHundredHoursAndMore() {
    const Run probe = runKorvex({"-i", media("hours.mkv")}, 30000);
    QCOMPARE(probe.exitCode, 0);
    const ProbeResult r = ProbeParser::parse(probe.text);
    QCOMPARE(r.probedDuration, QString("125:00:01"));
    QCOMPARE(r.probedSeconds, QString("450001"));
    QCOMPARE(r.probedSecondsExact.toDouble(), 450001.0);
}

void TestKorvexProbe::turnsAwayWhatIsNotMedia_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << media("notmedia.mp4") << "Invalid data found when processing input";
    QTest::newRow("empty") << media("empty.mp4") << "Invalid data found when processing input";
    // Cut short behind an intact header: its own index points past its end.
    QTest::newRow("truncated") << media("broken.mp4") << "partial file";
    QTest::newRow("missing") << media("no such clip.mp4") << "No such file or directory";
    QTest::newRow("folder") << media("") << "Is a directory";
}

void TestKorvexProbe::turnsAwayWhatIsNotMedia() {
    QFETCH(QString, path);
    QFETCH(QString, message);
    const Run probe = runKorvex({"-i", path}, 30000);
    QCOMPARE(probe.exitCode, 1);
    QVERIFY2(probe.text.contains(path + ": " + message), qPrintable(probe.text));
    QVERIFY(!probe.text.contains("Duration:"));
    QVERIFY(!ProbeParser::parse(probe.text).isMedia());
}

// RIFF counts in 32 bits: past 4 GB a WAV's sizes wrap, and a recorder that
// stopped without closing its file leaves them unknown (0xFFFFFFFF), often
// after a cut-off last sample. Such files are read whole, at once; what
// cannot be read whole is refused with the reason.
void TestKorvexProbe::readsWavsThatCannotTellTheirLength_data() {
    QTest::addColumn<quint16>("format");
    QTest::addColumn<qint64>("dataBytes");
    QTest::addColumn<bool>("unknownSize");
    QTest::addColumn<QString>("refusal");
    const qint64 past = kFourGigabytes + 4 * kWavRate * kWavBlock;
    QTest::newRow("over 4 GB") << quint16(1) << past << false << QString();
    QTest::newRow("size unknown") << quint16(1) << qint64(2 * kWavRate * kWavBlock + 2) << true
                                  << QString();
    QTest::newRow("over 4 GB, not PCM")
        << quint16(2) << past << false << "length that wrapped past 4 GB";
}

void TestKorvexProbe::readsWavsThatCannotTellTheirLength() {
    QFETCH(quint16, format);
    QFETCH(qint64, dataBytes);
    QFETCH(bool, unknownSize);
    QFETCH(QString, refusal);
    QVERIFY(m_dir.isValid());
    const QString wav = m_dir.filePath(QTest::currentDataTag() + QString(".wav"));
    QVERIFY(writeWav(wav, format, dataBytes, unknownSize ? 0xFFFFFFFF : quint32(dataBytes), 2));
    const Run probe = runKorvex({"-i", wav}, 10000);
    if (!refusal.isEmpty()) {
        QCOMPARE(probe.exitCode, 1);
        QVERIFY2(probe.text.contains(wav + ": ") && probe.text.contains(refusal),
                 qPrintable(probe.text));
        return;
    }
    QCOMPARE(probe.exitCode, 0);
    const double seconds = double(dataBytes / kWavBlock) / kWavRate;
    QVERIFY2(qAbs(ProbeParser::parse(probe.text).probedSecondsExact.toDouble() - seconds) <= 0.1,
             qPrintable(probe.text));

    // The last two seconds, the tone, wherever they lie.
    const QString out = m_dir.filePath(QTest::currentDataTag() + QString(".mp3"));
    const Run run = runKorvex(QStringList{"-ss", QString::number(seconds - 2, 'f', 3)} +
                              job(wav, {"-acodec", "libmp3lame"}, out));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    const ProbeResult result = ProbeParser::parse(runKorvex({"-i", out}).text);
    QVERIFY2(qAbs(result.probedSecondsExact.toDouble() - 2) <= 0.1, qPrintable(run.text));
}

// A playlist or a list under a media name is refused, not taken for what it
// names; a name that would be a pattern names one picture.
void TestKorvexProbe::readsAFileOnlyByItself_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("frameSize"); // empty: refused
    const QString refused;
    QTest::newRow("playlist named .mp4, relative") << HostileMedia::kRelativePlaylist << refused;
    QTest::newRow("playlist named .m3u8, absolute") << HostileMedia::kAbsolutePlaylist << refused;
    QTest::newRow("concat list") << HostileMedia::kConcatList << refused;
    QTest::newRow("pattern name") << HostileMedia::kPattern << "640x480";
}

void TestKorvexProbe::readsAFileOnlyByItself() {
    QFETCH(QString, file);
    QFETCH(QString, frameSize);
    const QString path = QDir(m_dir.filePath("hostile")).filePath(file);
    const Run probe = runKorvex({"-i", path}, 30000);
    const ProbeResult r = ProbeParser::parse(probe.text);
    if (frameSize.isEmpty()) {
        QCOMPARE(probe.exitCode, 1);
        QVERIFY2(probe.text.contains(path + ": the file is ") && probe.text.contains("refused"),
                 qPrintable(probe.text));
        QVERIFY(!r.isMedia());
    } else {
        QCOMPARE(probe.exitCode, 0);
        QCOMPARE(r.probedFrameSize, frameSize);
    }
}

QTEST_GUILESS_MAIN(TestKorvexProbe)
#include "tst_korvexprobe.moc"
