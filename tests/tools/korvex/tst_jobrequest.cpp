#include <QtTest>

#include "jobrequest.h"

class TestJobRequest : public QObject {
    Q_OBJECT

private slots:
    void readsTheWholeVocabulary();
    void readsAnEditedAndTrimmedList();
    void emptyCodecGroupLeavesTheNextOption();
    void refusesWhatIsNotInTheVocabulary_data();
    void refusesWhatIsNotInTheVocabulary();
    void recognisesTheProbeCommandLine();
};

void TestJobRequest::readsTheWholeVocabulary() {
    const QStringList list = QString("-i /in/clip.mts -y -s 640x480 -b 768K -r 25 -aspect 4:3 "
                                     "-vcodec libx264 -fpre x264/libx264-veryfast.ffpreset "
                                     "-threads 0 -acodec libfaac -ar 44100 -ab 128K -ac 2 "
                                     "/out/clip.mp4")
                                 .split(' ');
    JobRequest r;
    QString error;
    QVERIFY2(JobRequest::parse(list, &r, &error), qPrintable(error));
    QCOMPARE(r.input, QString("/in/clip.mts"));
    QCOMPARE(r.output, QString("/out/clip.mp4"));
    QVERIFY(r.overwrite);
    QCOMPARE(r.size, QString("640x480"));
    QCOMPARE(r.videoBitrate, QString("768K"));
    QCOMPARE(r.frameRate, QString("25"));
    QCOMPARE(r.aspect, QString("4:3"));
    QCOMPARE(r.videoCodec, QString("libx264"));
    QCOMPARE(r.presetFile, QString("x264/libx264-veryfast.ffpreset"));
    QCOMPARE(r.threads, QString("0"));
    QVERIFY(r.audioCodecGiven);
    QCOMPARE(r.audioCodec, QString("libfaac"));
    QCOMPARE(r.sampleRate, QString("44100"));
    QCOMPARE(r.audioBitrate, QString("128K"));
    QCOMPARE(r.channels, QString("2"));
    QVERIFY(!r.noVideo);
    QCOMPARE(r.cropLeft, -1);
}

void TestJobRequest::readsAnEditedAndTrimmedList() {
    // clang-format off
    const QStringList list = {"-ss", "12", "-t", "30", "-i", "/in/a b.avi",
                              "-cropleft", "8", "-croptop", "0", "-cropright", "-3", "-cropbottom", "2",
                              "-y", "-aspect", "4:3", "-vn", "-acodec", "", "-ab", "Auto", "/out/-x.mp3"};
    // clang-format on
    JobRequest r;
    QString error;
    QVERIFY2(JobRequest::parse(list, &r, &error), qPrintable(error));
    QCOMPARE(r.seek, QString("12"));
    QCOMPARE(r.length, QString("30"));
    QCOMPARE(r.cropLeft, 8);
    QCOMPARE(r.cropTop, 0);
    QCOMPARE(r.cropRight, 0); // a negative crop crops nothing
    QCOMPARE(r.cropBottom, 2);
    QVERIFY(r.noVideo);
    QVERIFY(r.audioCodecGiven);
    QVERIFY(r.audioCodec.isEmpty());
    QCOMPARE(r.output, QString("/out/-x.mp3"));
}

void TestJobRequest::emptyCodecGroupLeavesTheNextOption() {
    // A codec text outside the table gives "-vcodec" with no group.
    const QStringList list = {"-i", "/in/a.avi", "-y", "-vcodec", "-acodec", "mp2", "/out/a.mpg"};
    JobRequest r;
    QString error;
    QVERIFY2(JobRequest::parse(list, &r, &error), qPrintable(error));
    QVERIFY(r.videoCodec.isEmpty());
    QCOMPARE(r.audioCodec, QString("mp2"));
}

void TestJobRequest::refusesWhatIsNotInTheVocabulary_data() {
    QTest::addColumn<QStringList>("list");
    QTest::newRow("unknown option") << QStringList{"-i", "a.avi", "-filter_complex", "x", "b.avi"};
    QTest::newRow("no input") << QStringList{"-y", "-acodec", "mp2", "b.mp2"};
    QTest::newRow("input without path") << QStringList{"-y", "-i"};
    QTest::newRow("two inputs") << QStringList{"-i", "a.avi", "-i", "c.avi", "b.avi"};
    QTest::newRow("crop not a number") << QStringList{"-i", "a.avi", "-cropleft", "x", "b.avi"};
    QTest::newRow("empty output") << QStringList{"-i", "a.avi", "-y", ""};
    QTest::newRow("nothing") << QStringList{};
}

void TestJobRequest::refusesWhatIsNotInTheVocabulary() {
    QFETCH(QStringList, list);
    JobRequest r;
    QString error;
    QVERIFY(!JobRequest::parse(list, &r, &error));
    QVERIFY(!error.isEmpty());
}

void TestJobRequest::recognisesTheProbeCommandLine() {
    QVERIFY(JobRequest::isProbe({"-i", "/media/clip.mp4"}));
    QVERIFY(JobRequest::isProbe({"-i", "-odd name.mp4"}));
    QVERIFY(!JobRequest::isProbe({"-i", "a.mp4", "b.mp4"}));
    QVERIFY(!JobRequest::isProbe({"-y", "a.mp4"}));
}

QTEST_APPLESS_MAIN(TestJobRequest)
#include "tst_jobrequest.moc"
