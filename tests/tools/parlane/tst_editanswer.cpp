#include <cmath>

#include <QTest>

#include "conversion/editoranswer.h"
#include "editanswer.h"

using parlane::CropMargins;
using parlane::EditAnswer;
using parlane::TrimRange;

namespace {

EditAnswer sampleAnswer() {
    EditAnswer answer;
    answer.trim = {10, 30};
    answer.crop = {3, 1, 2, 0};
    answer.saturation = 50;
    answer.brightness = -20;
    answer.contrast = 5.55556;
    return answer;
}

} // namespace

class TestEditAnswer : public QObject {
    Q_OBJECT

private slots:
    void answerShape();
    void readBackByTheMainWindowsRule_data();
    void readBackByTheMainWindowsRule();
    void wholeSeconds_data();
    void wholeSeconds();
    void trimRange_data();
    void trimRange();
    void fitCrop_data();
    void fitCrop();
};

void TestEditAnswer::answerShape() {
    QCOMPARE(parlane::answerText(sampleAnswer()),
             QString("parlane: -ss 10 -t 30 -cropleft 3 -croptop 1 -cropright 2 -cropbottom 0 "
                     "-saturation 50 -brightness -20 -contrast 5.55556 -drop 0\n"));

    EditAnswer withLogo = sampleAnswer();
    withLogo.logoPicture = "/home/ann/logo.png";
    QVERIFY(parlane::answerText(withLogo).endsWith("-drop 0 -watermark /home/ann/logo.png\n"));
}

void TestEditAnswer::readBackByTheMainWindowsRule_data() {
    QTest::addColumn<QString>("logo");
    QTest::addColumn<QString>("tail");

    // clang-format off
    QTest::newRow("no logo") << "" << "";
    QTest::newRow("plain logo") << "/home/ann/logo.png" << "-watermark /home/ann/logo.png";
    QTest::newRow("blanks, keys and letters in the name")
        << "/home/ann/Mes logos -ss -t/ロゴ  2.png" << "-watermark /home/ann/Mes logos -ss -t/ロゴ 2.png";
    // clang-format on
}

void TestEditAnswer::readBackByTheMainWindowsRule() {
    QFETCH(QString, logo);
    QFETCH(QString, tail);

    EditAnswer answer = sampleAnswer();
    answer.logoPicture = logo;
    const std::optional<EditorAnswer> read = EditorAnswer::parse(parlane::answerText(answer));
    QVERIFY(read);
    QCOMPARE(QStringList({read->start, read->length, read->cropLeft, read->cropTop, read->cropRight,
                          read->cropBottom, read->saturation, read->brightness, read->contrast}),
             QStringList({"10", "30", "3", "1", "2", "0", "50", "-20", "5.55556"}));
    QCOMPARE(read->hasWatermark, !tail.isEmpty());
    QCOMPARE(read->watermark, tail);
}

void TestEditAnswer::wholeSeconds_data() {
    QTest::addColumn<double>("duration");
    QTest::addColumn<int>("seconds");

    QTest::newRow("unknown") << 0.0 << 0;
    QTest::newRow("negative") << -3.0 << 0;
    QTest::newRow("not a number") << double(NAN) << 0;
    QTest::newRow("exact") << 12.0 << 12;
    QTest::newRow("container sliver") << 2.02 << 2;
    QTest::newRow("a real fraction rounds up") << 12.5 << 13;
    QTest::newRow("very short") << 0.04 << 1;
    QTest::newRow("longer than a day") << 200000.0 << 200000;
    QTest::newRow("beyond any count") << 1e12 << parlane::kLongestDurationSeconds;
}

void TestEditAnswer::wholeSeconds() {
    QFETCH(double, duration);
    QFETCH(int, seconds);
    QCOMPARE(parlane::wholeSeconds(duration), seconds);
}

void TestEditAnswer::trimRange_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("expectedStart");
    QTest::addColumn<int>("expectedLength");

    QTest::newRow("untrimmed") << 0 << -1 << 12 << 0 << 12;
    QTest::newRow("earlier trim") << 12 << 42 << 60 << 12 << 30;
    QTest::newRow("end past the file") << 5 << 100 << 12 << 5 << 7;
    QTest::newRow("start past the file") << 20 << -1 << 12 << 11 << 1;
    QTest::newRow("end before start") << 3 << 2 << 12 << 3 << 9;
    QTest::newRow("unknown length") << 0 << -1 << 0 << 0 << parlane::kUnknownDurationSeconds;
    QTest::newRow("unknown length, earlier trim") << 4 << 10 << 0 << 4 << 6;
}

void TestEditAnswer::trimRange() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, total);
    QFETCH(int, expectedStart);
    QFETCH(int, expectedLength);
    const TrimRange range = parlane::trimRange(start, end, total);
    QCOMPARE(range.start, expectedStart);
    QCOMPARE(range.length, expectedLength);
}

void TestEditAnswer::fitCrop_data() {
    QTest::addColumn<QList<int>>("crop");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<int>>("fitted");

    using C = QList<int>;
    const QSize qvga(320, 240);
    // clang-format off
    QTest::newRow("inside")                           << C{10, 6, 4, 2}       << qvga          << C{10, 6, 4, 2};
    QTest::newRow("up to the minimum")                << C{300, 0, 4, 224}    << qvga          << C{300, 0, 4, 224};
    QTest::newRow("too much: the far side gives way") << C{300, 200, 100, 100} << qvga         << C{300, 200, 4, 24};
    QTest::newRow("one side alone too much")          << C{400, 0, 0, 0}      << qvga          << C{304, 0, 0, 0};
    QTest::newRow("tiny picture")                     << C{1, 1, 1, 1}        << QSize(10, 8)  << C{0, 0, 0, 0};
    QTest::newRow("unknown size")                     << C{-2, 5000, 3, -1}   << QSize()       << C{0, 5000, 3, 0};
    // clang-format on
}

void TestEditAnswer::fitCrop() {
    QFETCH(QList<int>, crop);
    QFETCH(QSize, size);
    QFETCH(QList<int>, fitted);
    const CropMargins result = parlane::fitCrop({crop[0], crop[1], crop[2], crop[3]}, size);
    QCOMPARE(QList<int>({result.left, result.top, result.right, result.bottom}), fitted);
}

QTEST_APPLESS_MAIN(TestEditAnswer)
#include "tst_editanswer.moc"
