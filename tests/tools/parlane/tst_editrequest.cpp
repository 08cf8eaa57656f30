#include <QTest>

#include "editrequest.h"
#include "parlanetestsupport.h"

using parlane::EditMode;
using parlane::EditRequest;

namespace {

const QString kClip = "/media/日本語 ファイル \"1\".mp4";
const QString kLogoTarget = "/opt/quillora/tmp/avsifile3.png";

QStringList commandLine(const QStringList &values, const QString &mode,
                        const QString &tail = QString()) {
    return ParlaneTest::commandLine(kClip, mode, values, kLogoTarget, tail);
}

QStringList words(const char *text) {
    return QString(text).split(' ');
}

} // namespace

Q_DECLARE_METATYPE(EditMode)

class TestEditRequest : public QObject {
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void modes_data();
    void modes();
    void logoTail();
    void shortCommandLineTakesDefaults();
    void refused_data();
    void refused();
};

void TestEditRequest::values_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QList<int>>("crop");
    QTest::addColumn<QList<double>>("effects");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    using C = QList<int>;
    using E = QList<double>;
    // clang-format off
    QTest::newRow("fresh row")               << words("0 0 0 0 0 0 0 0 -1")     << C{0, 0, 0, 0} << E{0, 0, 0} << 0  << -1;
    QTest::newRow("trimmed and cropped")     << words("8 4 2 6 0 0 0 12 42")    << C{8, 4, 2, 6} << E{0, 0, 0} << 12 << 42;
    QTest::newRow("fractions of a percent kept")
        << words("0 0 0 0 5.55556 4.70588 -50 0 -1") << C{0, 0, 0, 0} << E{5.55556, 4.70588, -50} << 0 << -1;
    QTest::newRow("row without effect list") << words("0 0 0 0 1 2 3 0 -1")     << C{0, 0, 0, 0} << E{1, 2, 3} << 0  << -1;
    QTest::newRow("start with a fraction")   << words("0 0 0 0 0 0 0 12.5 30")  << C{0, 0, 0, 0} << E{0, 0, 0} << 12 << 30;
    QTest::newRow("end before start means the whole rest")
                                             << words("0 0 0 0 0 0 0 30 12")    << C{0, 0, 0, 0} << E{0, 0, 0} << 30 << -1;
    QTest::newRow("text reads as 0")
        << QStringList{"abc", "-4", "", "7", "x", "nan", "inf", "-3", "y"} << C{0, 0, 0, 7} << E{0, 0, 0} << 0 << -1;
    // clang-format on
}

void TestEditRequest::values() {
    QFETCH(QStringList, values);
    QFETCH(QList<int>, crop);
    QFETCH(QList<double>, effects);
    QFETCH(int, start);
    QFETCH(int, end);

    EditRequest request;
    QString error;
    QVERIFY(parlane::parseEditRequest(commandLine(values, "0"), &request, &error));
    QCOMPARE(request.file, kClip);
    QCOMPARE(
        QList<int>({request.crop.left, request.crop.top, request.crop.right, request.crop.bottom}),
        crop);
    QCOMPARE(request.saturation, effects[0]);
    QCOMPARE(request.brightness, effects[1]);
    QCOMPARE(request.contrast, effects[2]);
    QCOMPARE(request.trimStart, start);
    QCOMPARE(request.trimEnd, end);
    QCOMPARE(request.logoTarget, kLogoTarget);
    QVERIFY(request.logoTail.isEmpty());
}

void TestEditRequest::modes_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<EditMode>("expected");

    QTest::newRow("crop button") << "0" << EditMode::Crop;
    QTest::newRow("trim button") << "1" << EditMode::Trim;
    QTest::newRow("effects button") << "2" << EditMode::Effects;
    QTest::newRow("unknown mode") << "7" << EditMode::Crop;
}

void TestEditRequest::modes() {
    QFETCH(QString, mode);
    QFETCH(EditMode, expected);
    EditRequest request;
    QString error;
    QVERIFY(parlane::parseEditRequest(commandLine(ParlaneTest::kUntouchedValues, mode), &request,
                                      &error));
    QCOMPARE(request.mode, expected);
}

void TestEditRequest::logoTail() {
    const QStringList values = ParlaneTest::kUntouchedValues;
    EditRequest request;
    QString error;
    // The main window hands back the tail as one argument, quotes removed.
    QVERIFY(parlane::parseEditRequest(
        commandLine(values, "2", "-watermark /home/ann/My logos/logo 1.png"), &request, &error));
    QCOMPARE(request.logoTail, QString("-watermark /home/ann/My logos/logo 1.png"));
    QCOMPARE(parlane::logoPathFromTail(request.logoTail), QString("/home/ann/My logos/logo 1.png"));

    QVERIFY(
        parlane::parseEditRequest(commandLine(values, "2", "something else"), &request, &error));
    QVERIFY(request.logoTail.isEmpty());
    QVERIFY(parlane::logoPathFromTail("something else").isEmpty());
}

void TestEditRequest::shortCommandLineTakesDefaults() {
    EditRequest request;
    QString error;
    QVERIFY(parlane::parseEditRequest({"-fileNa", "clip.mp4"}, &request, &error));
    QCOMPARE(request.file, QString("clip.mp4"));
    QCOMPARE(request.trimEnd, -1);
    QCOMPARE(request.mode, EditMode::Crop);
    QVERIFY(request.logoTarget.isEmpty());
}

void TestEditRequest::refused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("no switch") << QStringList{"clip.mp4"};
    QTest::newRow("switch only") << QStringList{"-fileNa"};
    QTest::newRow("empty file") << QStringList{"-fileNa", ""};
}

void TestEditRequest::refused() {
    QFETCH(QStringList, arguments);
    EditRequest request;
    QString error;
    QVERIFY(!parlane::parseEditRequest(arguments, &request, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_APPLESS_MAIN(TestEditRequest)
#include "tst_editrequest.moc"
