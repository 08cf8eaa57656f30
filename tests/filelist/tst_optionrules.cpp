#include <QtTest>

#include "filelist/optionrules.h"
#include "profiles/argumentlist.h"

using namespace OptionRules;

namespace {

const QString kIn = QStringLiteral("/media/in/clip.mp4");
const QString kOut = QStringLiteral("/media/out/clip.mp4");

QStringList x264Group() {
    return {"libx264", "-fpre", "x264/libx264-veryfast.ffpreset", "-threads", "0"};
}

// A list as the builder makes it for an H.264 profile.
ArgumentList builtList() {
    return QStringList{"-i", kIn, "-y", "-s", "320x240", "-b", "768K", "-vcodec"} + x264Group() +
           QStringList{"-acodec", "libfaac", "-ar", "44100", "-ab", "128K", "-ac", "2", kOut};
}

// The same list after the editor trimmed and cropped it.
ArgumentList editedList() {
    return QStringList{"-ss", "12", "-t", "30", "-i", kIn, "-cropleft", "8", "-croptop", "4", "-y",
                       "-vcodec", "mpeg4", "-acodec", "libmp3lame", kOut};
}

RowState row(const ArgumentList &arguments) {
    RowState state;
    state.arguments = arguments;
    state.settingsIndexes = FileRow::emptySettingsIndexList();
    state.mediaInfo = FileRow::emptyMediaInfo();
    state.mediaInfo[FileRow::InputSize] = "640x480";
    state.mediaInfo[FileRow::InputFrameRate] = "29.97";
    state.mediaInfo[FileRow::InputBitrate] = "1200";
    state.mediaInfo[FileRow::DurationSeconds] = "100";
    state.mediaInfo[FileRow::OutputVideoBitrate] = "768";
    state.mediaInfo[FileRow::OutputAudioBitrate] = "128";
    return state;
}

} // namespace

class TestOptionRules : public QObject {
    Q_OBJECT

private slots:
    void videoSize();
    void videoBitrate();
    void frameRate();
    void aspect();
    void insertionKeepsEditedPairsWhole();
    void codecGroups();
    void xvidForcesTheAspect();
    void codecWithoutVideoOrTable();
    void audioCodec();
    void sampleRateAndChannels();
    void audioBitrate();
    void recordOutput();
    void labels();
};

void TestOptionRules::videoSize() {
    RowState r = row(builtList());
    chooseVideoSize(r, 0, "Auto");
    QCOMPARE(r.arguments.mid(3, 2), (QStringList{"-s", "640x480"}));
    QCOMPARE(r.mediaInfo[FileRow::OutputSize], QString("640x480"));
    QCOMPARE(r.settingsIndexes[FileRow::VSizeIndex], QString("0"));

    chooseVideoSize(r, 4, "1280x720");
    QCOMPARE(r.arguments.mid(3, 2), (QStringList{"-s", "1280x720"}));
    QCOMPARE(r.arguments.size(), builtList().size());

    // Texts the transcoder cannot take leave the pair out.
    chooseVideoSize(r, 5, "big");
    QCOMPARE(r.arguments.indexOf("-s"), -1);
    QCOMPARE(r.mediaInfo[FileRow::OutputSize], QString("big"));

    // "Auto" on a list without "-s" inserts nothing; the source size stays.
    chooseVideoSize(r, 0, "Auto");
    QCOMPARE(r.arguments.indexOf("-s"), -1);
    QCOMPARE(r.mediaInfo[FileRow::OutputSize], QString("640x480"));

    chooseVideoSize(r, 2, "320x240");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-s", "320x240"}));
}

void TestOptionRules::videoBitrate() {
    RowState r = row(builtList());
    SlotEffect effect = chooseVideoBitrate(r, 0, "Auto");
    // "Auto" keeps the source's bitrate: no "-b Auto" for the transcoder.
    QCOMPARE(r.arguments.indexOf("-b"), -1);
    QVERIFY(!r.arguments.contains("Auto"));
    QCOMPARE(r.mediaInfo[FileRow::OutputVideoBitrate], QString("1200"));
    // 100 s × (1200 + 128) kb/s ÷ 8192
    QCOMPARE(r.mediaInfo[FileRow::EstimatedMB], QString("16.211"));
    QVERIFY(effect.sizeChanged);
    QCOMPARE(effect.sizeText, QString("16.2MB"));
    QVERIFY(effect.showOutputInfo);

    chooseVideoBitrate(r, 9, "1500K");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-b", "1500K"}));
    QCOMPARE(r.mediaInfo[FileRow::OutputVideoBitrate], QString("1500"));
    chooseVideoBitrate(r, 10, "2000K");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-b", "2000K"}));
    QCOMPARE(r.settingsIndexes[FileRow::VBitrateIndex], QString("10"));

    // An empty text (an empty box) leaves the list as it is; the estimate
    // then counts no video.
    const ArgumentList before = r.arguments;
    effect = chooseVideoBitrate(r, -1, "");
    QCOMPARE(r.arguments, before);
    QCOMPARE(r.mediaInfo[FileRow::OutputVideoBitrate], QString());
    QCOMPARE(effect.sizeText, QString("1.5MB"));
    QCOMPARE(r.settingsIndexes[FileRow::VBitrateIndex], QString("-1"));
}

void TestOptionRules::frameRate() {
    RowState r = row(builtList());
    chooseFrameRate(r, 6, "25fps");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-r", "25"}));
    QCOMPARE(r.mediaInfo[FileRow::OutputFrameRate], QString("25"));

    chooseFrameRate(r, 0, "Auto");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-r", "29.97"}));
    QCOMPARE(r.mediaInfo[FileRow::OutputFrameRate], QString("29.97"));

    chooseFrameRate(r, 1, "30");
    QCOMPARE(Arguments::value(r.arguments, "-r"), QString("30"));

    // "fps" alone has no number: no "-r" with an empty value.
    chooseFrameRate(r, 2, "fps");
    QCOMPARE(r.arguments.indexOf("-r"), -1);
    QVERIFY(!r.arguments.contains(QString()));
}

void TestOptionRules::aspect() {
    RowState r = row(builtList());
    SlotEffect effect = chooseAspect(r, 2, "16:9");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-aspect", "16:9"}));
    QCOMPARE(r.settingsIndexes[FileRow::VaspectIndex], QString("2"));
    QVERIFY(!effect.showOutputInfo);
    chooseAspect(r, 1, "4:3");
    QCOMPARE(Arguments::value(r.arguments, "-aspect"), QString("4:3"));
    chooseAspect(r, 0, "default");
    QCOMPARE(r.arguments, builtList());
    chooseAspect(r, -1, "");
    QCOMPARE(r.arguments, builtList());
    QCOMPARE(r.settingsIndexes[FileRow::VaspectIndex], QString("-1"));
}

void TestOptionRules::insertionKeepsEditedPairsWhole() {
    RowState r = row(editedList());
    chooseVideoSize(r, 1, "320x240");
    chooseVideoBitrate(r, 2, "512K");
    chooseFrameRate(r, 3, "25fps");
    chooseAspect(r, 1, "4:3");
    chooseSampleRate(r, 2, "44100");
    chooseChannels(r, 1, "Stereo");
    chooseAudioBitrate(r, 5, "128K");
    // Each missing pair goes directly after "-y", the audio bitrate after the
    // "-acodec" pair; the trim pairs stay in front and the crop pairs before "-y".
    QCOMPARE(r.arguments, (QStringList{"-ss", "12", "-t", "30", "-i", kIn, "-cropleft", "8",
                                       "-croptop", "4", "-y", "-ac", "2", "-ar", "44100", "-aspect",
                                       "4:3", "-r", "25", "-b", "512K", "-s", "320x240", "-vcodec",
                                       "mpeg4", "-acodec", "libmp3lame", "-ab", "128K", kOut}));
}

void TestOptionRules::codecGroups() {
    RowState r = row(builtList());
    const QStringList aspects = aspectItems();
    chooseVideoCodec(r, 3, "FLV", aspects);
    QCOMPARE(r.arguments,
             (QStringList{"-i", kIn, "-y", "-s", "320x240", "-b", "768K", "-vcodec", "flv",
                          "-acodec", "libfaac", "-ar", "44100", "-ab", "128K", "-ac", "2", kOut}));
    QCOMPARE(r.mediaInfo[FileRow::OutputVideoCodec], QString("FLV"));
    QCOMPARE(r.settingsIndexes[FileRow::VcodecIndex], QString("3"));

    chooseVideoCodec(r, 0, "H.264/MPEG-4 AVC", aspects);
    QCOMPARE(r.arguments, builtList());

    // A group that does not start with libx264 goes in by its encoder name
    // alone, and only the old encoder name is taken out.
    r.arguments = QStringList{"-i", kIn, "-y", "-vcodec", "libxvid", "-threads", "8", "-acodec",
                              "libmp3lame", kOut};
    chooseVideoCodec(r, 1, "MPEG-4", aspects);
    QCOMPARE(r.arguments, (QStringList{"-i", kIn, "-y", "-vcodec", "mpeg4", "-threads", "8",
                                       "-acodec", "libmp3lame", kOut}));

    // libx264 in a cropped and trimmed list: the group ends at "-acodec".
    r.arguments = editedList();
    chooseVideoCodec(r, 0, "H.264/MPEG-4 AVC", aspects);
    chooseVideoCodec(r, 2, "wmv3", aspects);
    QCOMPARE(r.arguments, editedList().replaceInStrings(QRegularExpression("^mpeg4$"), "wmv2"));
}

void TestOptionRules::xvidForcesTheAspect() {
    // Xvid resets the aspect to the source's own: no "-aspect" pair is left
    // that the job could mistake for the user's choice.
    RowState r = row(builtList());
    chooseAspect(r, 2, "16:9");
    QCOMPARE(Arguments::value(r.arguments, "-aspect"), QString("16:9"));
    const SlotEffect effect = chooseVideoCodec(r, 2, "Xvid", aspectItems());
    QCOMPARE(effect.aspectIndex, 0);
    QCOMPARE(r.settingsIndexes[FileRow::VaspectIndex], QString("0"));
    QCOMPARE(r.settingsIndexes[FileRow::VcodecIndex], QString("2"));
    QCOMPARE(r.arguments, (QStringList{"-i", kIn, "-y", "-s", "320x240", "-b", "768K", "-vcodec",
                                       "libxvid", "-acodec", "libfaac", "-ar", "44100", "-ab",
                                       "128K", "-ac", "2", kOut}));

    // A ratio the user picks afterwards stays the user's.
    chooseAspect(r, 1, "4:3");
    QCOMPARE(Arguments::value(r.arguments, "-aspect"), QString("4:3"));

    // Without the aspect entries ("General Audio" leaves the box empty) the
    // aspect stays untouched.
    RowState plain = row(builtList());
    const SlotEffect none = chooseVideoCodec(plain, 2, "Xvid", {});
    QCOMPARE(none.aspectIndex, -1);
    QCOMPARE(plain.arguments.indexOf("-aspect"), -1);
    QCOMPARE(plain.settingsIndexes[FileRow::VaspectIndex], QString("-1"));
}

void TestOptionRules::codecWithoutVideoOrTable() {
    // A codec text the table does not know never leaves "-vcodec" without a
    // value: the pair goes, and the transcoder uses the format's own codec.
    RowState r = row(builtList());
    chooseVideoCodec(r, 4, "Cinepak", aspectItems());
    QCOMPARE(r.arguments.indexOf("-vcodec"), -1);
    QCOMPARE(r.arguments.mid(5, 4), (QStringList{"-b", "768K", "-acodec", "libfaac"}));

    // ... and a known codec brings it back in front of "-acodec".
    chooseVideoCodec(r, 1, "MPEG-4", aspectItems());
    QCOMPARE(r.arguments.mid(5, 5), (QStringList{"-b", "768K", "-vcodec", "mpeg4", "-acodec"}));

    // An audio-only list stays audio-only.
    const ArgumentList audioOnly{"-i", kIn, "-y", "-vn", "-acodec", "libmp3lame", kOut};
    RowState a = row(audioOnly);
    const SlotEffect effect = chooseVideoCodec(a, 1, "MPEG-4", aspectItems());
    QCOMPARE(a.arguments, audioOnly);
    QVERIFY(!effect.showOutputInfo);
    QCOMPARE(a.settingsIndexes[FileRow::VcodecIndex], QString("1"));
    QCOMPARE(a.mediaInfo[FileRow::OutputVideoCodec], QString());
}

void TestOptionRules::audioCodec() {
    RowState r = row(builtList());
    chooseAudioCodec(r, 1, "MP3");
    QCOMPARE(Arguments::value(r.arguments, "-acodec"), QString("libmp3lame"));
    QCOMPARE(r.mediaInfo[FileRow::OutputAudioCodec], QString("libmp3lame"));
    QCOMPARE(r.settingsIndexes[FileRow::AcodecIndex], QString("1"));
    // The pair stays (the audio options are placed after it) with an empty
    // encoder for a text the table does not hold.
    chooseAudioCodec(r, 2, "Vorbis");
    QCOMPARE(r.arguments.indexOf("-acodec") + 1, r.arguments.indexOf(QString()));
    QCOMPARE(r.arguments.size(), builtList().size());
}

void TestOptionRules::sampleRateAndChannels() {
    RowState r = row(QStringList{"-i", kIn, "-y", "-vn", "-acodec", "libmp3lame", kOut});
    chooseSampleRate(r, 2, "44100");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-ar", "44100"}));
    chooseSampleRate(r, 3, "48000");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-ar", "48000"}));
    QCOMPARE(r.settingsIndexes[FileRow::ASamplerateIndex], QString("3"));
    chooseSampleRate(r, 0, "Auto");
    QCOMPARE(r.arguments.indexOf("-ar"), -1);

    chooseChannels(r, 2, "5.1");
    QCOMPARE(r.arguments.mid(2, 3), (QStringList{"-y", "-ac", "6"}));
    chooseChannels(r, 0, "Mono");
    QCOMPARE(Arguments::value(r.arguments, "-ac"), QString("1"));
    chooseChannels(r, 1, "stereo");
    QCOMPARE(r.arguments.indexOf("-ac"), -1);
    QCOMPARE(r.settingsIndexes[FileRow::AChannelsIndex], QString("1"));
}

void TestOptionRules::audioBitrate() {
    RowState r =
        row(QStringList{"-i", kIn, "-y", "-vn", "-acodec", "libmp3lame", "-ac", "2", kOut});
    SlotEffect effect = chooseAudioBitrate(r, 5, "128K");
    QCOMPARE(r.arguments, (QStringList{"-i", kIn, "-y", "-vn", "-acodec", "libmp3lame", "-ab",
                                       "128K", "-ac", "2", kOut}));
    QCOMPARE(r.mediaInfo[FileRow::OutputAudioBitrate], QString("128"));
    QVERIFY(effect.sizeChanged);

    effect = chooseAudioBitrate(r, 0, "Auto");
    QCOMPARE(r.arguments.indexOf("-ab"), -1);
    QCOMPARE(r.mediaInfo[FileRow::OutputAudioBitrate], QString("64"));
    // 100 s × (768 + 64) kb/s ÷ 8192
    QCOMPARE(r.mediaInfo[FileRow::EstimatedMB], QString("10.156"));
    QCOMPARE(effect.sizeText, QString("10.1MB"));

    effect = chooseAudioBitrate(r, 3, "loud");
    QCOMPARE(r.arguments.indexOf("-ab"), -1);
    QCOMPARE(r.mediaInfo[FileRow::OutputAudioBitrate], QString("loud"));
    QCOMPARE(effect.sizeText, QString("9.3MB"));
}

void TestOptionRules::recordOutput() {
    MediaInfo info = row({}).mediaInfo;
    OutputTexts texts{"AVI", "MPEG-4", "MP3", "Auto", "Auto", "Auto"};
    QCOMPARE(OptionRules::recordOutput(info, texts), QString("16.2MB"));
    QCOMPARE(info[FileRow::OutputFormat], QString("AVI"));
    QCOMPARE(info[FileRow::OutputVideoCodec], QString("MPEG-4"));
    QCOMPARE(info[FileRow::OutputAudioCodec], QString("MP3"));
    QCOMPARE(info[FileRow::OutputFrameRate], QString("29.97"));
    QCOMPARE(info[FileRow::OutputSize], QString("640x480"));
    QCOMPARE(info[FileRow::OutputVideoBitrate], QString("1200"));

    texts = {"MP4", "H.264/MPEG-4 AVC", "AAC", "25fps", "320x240", "768K"};
    QCOMPARE(OptionRules::recordOutput(info, texts), QString("10.9MB"));
    QCOMPARE(info[FileRow::OutputFrameRate], QString("25"));
    QCOMPARE(info[FileRow::OutputSize], QString("320x240"));
    QCOMPARE(info[FileRow::OutputVideoBitrate], QString("768"));
    QCOMPARE(info[FileRow::EstimatedMB], QString("10.938"));
}

void TestOptionRules::labels() {
    MediaInfo info = FileRow::emptyMediaInfo();
    info[FileRow::OutputFormat] = "AVI";
    info[FileRow::OutputAudioCodec] = "libfaac";
    info[FileRow::OutputVideoBitrate] = "1200";
    info[FileRow::OutputSize] = "640x480";
    info[FileRow::OutputVideoCodec] = "MPEG-4";
    OutputLabels l = outputLabels(info, false);
    QCOMPARE(l.format, QString("AVI"));
    QCOMPARE(l.audioCodec, QString("AAC"));
    QCOMPARE(l.frameRate, QString()); // no rate, no unit
    QCOMPARE(l.videoBitrate, QString("1200kbps"));
    QCOMPARE(l.videoSize, QString("640x480"));
    QCOMPARE(l.videoCodec, QString("MPEG-4"));

    info[FileRow::OutputAudioCodec] = "libmp3lame";
    l = outputLabels(info, true);
    QCOMPARE(l.audioCodec, QString("mp3"));
    QCOMPARE(l.format, QString("AVI"));
    QVERIFY(l.frameRate.isEmpty() && l.videoBitrate.isEmpty() && l.videoSize.isEmpty() &&
            l.videoCodec.isEmpty());
}

QTEST_APPLESS_MAIN(TestOptionRules)
#include "tst_optionrules.moc"
