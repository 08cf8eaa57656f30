#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "conversion/editoranswer.h"
#include "conversion/jobpreparation.h"
#include "editordialog.h"
#include "framegrabber.h"
#include "framepreview.h"
#include "parlanetestsupport.h"
#include "../../support/mediaprograms.h"
#include "../../support/hostilemedia.h"

using parlane::EditorDialog;
using parlane::EditRequest;
using ParlaneTest::media;
using ParlaneTest::untouchedAnswer;

namespace {

EditRequest requestFor(const QString &file, parlane::EditMode mode = parlane::EditMode::Crop) {
    EditRequest request;
    request.file = file;
    request.mode = mode;
    return request;
}

template <typename T> T *child(EditorDialog &dialog, const char *name) {
    T *widget = dialog.findChild<T *>(name);
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

void clickOk(EditorDialog &dialog) {
    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
}

// A message box would wait for a click that never comes: close it instead.
void closeNextMessageBox(bool *seen) {
    QTimer::singleShot(200, [seen] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            if (box->inherits("QMessageBox")) {
                *seen = true;
                box->close();
            }
        }
    });
}

// Types into a field as a user does and leaves it with Tab.
void typeInto(QAbstractSpinBox *field, const QString &text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
}

// The script the main window writes from the dialog's answer for a 320x240
// source, with the logo picture where the dialog put it.
EditorEdit scriptFromAnswer(const EditorDialog &dialog, const QString &source,
                            const QString &folder) {
    const std::optional<EditorAnswer> answer = EditorAnswer::parse(dialog.answerText());
    if (!answer)
        return {};
    EditorRow row;
    row.arguments = QStringList{"-i",      source,  "-y",      "-s",         "320x240",
                                "-vcodec", "mpeg4", "-acodec", "libmp3lame", folder + "/out.avi"};
    row.effects =
        QStringList{"1", "0", "1", source, folder + "/avsifile0.avs", folder + "/avsifile0.png"};
    row.sourceSize = "320x240";
    row.displayRatio = "1.333";
    row.trimDuration = "2.0";
    row.sourceDurationText = "00:00:02";
    row.pluginPath = "/opt/quillora/plugins/ffms2.dll";
    row.importPath = "/opt/quillora/plugins/a.avsi";
    row.headerPath = "/opt/quillora/HEADER.avs";
    row.channels = "2";
    row.sampleRate = "44100";
    return applyEditorAnswer(*answer, row);
}

bool ffmpeg(const QStringList &arguments, QByteArray *output = nullptr) {
    QProcess p;
    p.start(MediaPrograms::ffmpeg(), QStringList{"-v", "error", "-nostdin", "-y"} + arguments);
    if (!p.waitForFinished(60000))
        return false;
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The colour at a point of the source picture as the preview shows it, the
// crop leaving the whole 320x240 picture.
QColor shownColour(parlane::FramePreview *preview, QPoint at) {
    const QRectF kept = preview->keptArea();
    const QPointF point(kept.x() + (at.x() + 0.5) * kept.width() / 320,
                        kept.y() + (at.y() + 0.5) * kept.height() / 240);
    return preview->grab().toImage().pixelColor(point.toPoint());
}

bool sameColour(const QColor &a, const QColor &b) {
    constexpr int kTolerance = 12; // two encoders and two colour conversions
    return qAbs(a.red() - b.red()) <= kTolerance && qAbs(a.green() - b.green()) <= kTolerance &&
           qAbs(a.blue() - b.blue()) <= kTolerance;
}

} // namespace

class TestEditorDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void opensOnTheModesTab_data();
    void opensOnTheModesTab();
    void showsTheFrameWithTheCrop();
    void cropStaysInsideThePicture();
    void oddCropShowsWhatTheScriptKeeps();
    void previewHasTheOutputsLook();
    void typedValuesBeyondTheLimitGoToIt();
    void okAnswersTheShownValues();
    void untouchedValuesGoBackAsTheyCame();
    void keepsFilesLongerThanADay();
    void cancelAndCloseAnswerNothing();
    void filesWithoutAPictureStayUsable_data();
    void filesWithoutAPictureStayUsable();
    void oddNamesShowTheirFrame_data();
    void oddNamesShowTheirFrame();
    void logoIsWrittenAndNamedInTheAnswer();
    void removedLogoIsGoneForGood();
    void logoThatCannotBeWrittenKeepsTheDialogOpen();
    void titleStripDragsTheWindow();
    void screenReaderNamesEveryField();
    void framesAFileOnlyByItself_data();
    void framesAFileOnlyByItself();

private:
    QTemporaryDir m_dir;
};

void TestEditorDialog::initTestCase() {
    QVERIFY(HostileMedia::make(QDir(m_dir.path())));
}

void TestEditorDialog::opensOnTheModesTab_data() {
    QTest::addColumn<parlane::EditMode>("mode");
    QTest::addColumn<QString>("tab");
    QTest::newRow("crop") << parlane::EditMode::Crop << "Crop";
    QTest::newRow("trim") << parlane::EditMode::Trim << "Trim";
    QTest::newRow("effects") << parlane::EditMode::Effects << "Effects";
}

void TestEditorDialog::opensOnTheModesTab() {
    QFETCH(parlane::EditMode, mode);
    QFETCH(QString, tab);
    EditorDialog dialog(requestFor(media("av.mp4"), mode));
    QTabWidget *tabs = child<QTabWidget>(dialog, "tabs");
    QCOMPARE(tabs->tabText(tabs->currentIndex()), tab);
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
}

void TestEditorDialog::showsTheFrameWithTheCrop() {
    EditRequest request = requestFor(media("wide.mp4"));
    request.crop = {64, 0, 64, 36};
    EditorDialog dialog(request);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    parlane::FramePreview *preview = child<parlane::FramePreview>(dialog, "preview");
    QVERIFY(preview->hasPicture());
    QVERIFY(child<QLabel>(dialog, "details")->text().contains("640 × 360"));
    QCOMPARE(child<QLabel>(dialog, "cropResult")->text(),
             QString("Picture after cropping: 512 × 324"));

    // The kept rectangle covers the kept share of the shown picture.
    QRectF kept = preview->keptArea();
    const QRectF whole = kept.adjusted(-64 * kept.width() / 512, 0, 64 * kept.width() / 512,
                                       36 * kept.height() / 324);
    QVERIFY(qAbs(whole.width() / whole.height() - 640.0 / 360.0) < 0.01);
    QVERIFY(preview->rect().toRectF().contains(whole.adjusted(1, 1, -1, -1)));

    child<QSpinBox>(dialog, "cropLeft")->setValue(0);
    QVERIFY(preview->keptArea().width() > kept.width());

    // The frame is really the file's: testsrc2 is colourful, not one grey.
    const QImage shot = preview->grab().toImage();
    QSet<QRgb> colours;
    for (int x = 0; x < shot.width(); x += 7)
        colours.insert(shot.pixel(x, shot.height() / 2));
    QVERIFY(colours.size() > 5);
}

void TestEditorDialog::cropStaysInsideThePicture() {
    EditRequest request = requestFor(media("av.mp4"));
    request.crop = {400, 0, 10, 0}; // more than the 320 pixels of the picture
    EditorDialog dialog(request);
    QSpinBox *left = child<QSpinBox>(dialog, "cropLeft");
    QSpinBox *right = child<QSpinBox>(dialog, "cropRight");
    QCOMPARE(left->value(), 304);
    QCOMPARE(right->value(), 0);
    QCOMPARE(right->maximum(), 0);

    left->setValue(100);
    right->setValue(500);
    QCOMPARE(right->value(), 204);
    QCOMPARE(child<QLabel>(dialog, "cropResult")->text(),
             QString("Picture after cropping: 16 × 240"));
}

void TestEditorDialog::oddCropShowsWhatTheScriptKeeps() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    EditorDialog dialog(requestFor(media("av.mp4")));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    child<QSpinBox>(dialog, "cropLeft")->setValue(41);
    child<QSpinBox>(dialog, "cropTop")->setValue(21);
    const QString shown = child<QLabel>(dialog, "cropResult")->text();
    const QRectF kept = child<parlane::FramePreview>(dialog, "preview")->keptArea();
    clickOk(dialog);

    const EditorEdit edit = scriptFromAnswer(dialog, media("av.mp4"), dir.path());
    QVERIFY2(edit.problem.isEmpty(), qPrintable(edit.problem));
    QVERIFY(edit.scriptText.contains("clip = clip.Crop(40, 20, 276, 218)\n"));
    QCOMPARE(shown, QString("Picture after cropping: 276 × 218"));
    QVERIFY(qAbs(kept.width() / kept.height() - 276.0 / 218) < 0.01);
}

void TestEditorDialog::previewHasTheOutputsLook() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath("blue.mkv");
    QVERIFY(ffmpeg({"-f", "lavfi", "-i", "color=c=0x3070B0:s=320x240:r=25:d=2", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=2", "-c:v", "libx264", "-qp", "0", "-pix_fmt",
                    "yuv420p", "-c:a", "flac", source}));
    const QString logo = dir.filePath("logo.png");
    QImage green(64, 48, QImage::Format_ARGB32);
    green.fill(QColor(20, 200, 40));
    QVERIFY(green.save(logo));

    EditRequest request = requestFor(source, parlane::EditMode::Effects);
    request.logoTarget = dir.filePath("avsifile0.png");
    EditorDialog dialog(request);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    child<QSpinBox>(dialog, "saturation")->setValue(-50);
    child<QSpinBox>(dialog, "brightness")->setValue(20);
    child<QSpinBox>(dialog, "contrast")->setValue(-30);
    QVERIFY(dialog.setLogoPicture(logo));
    auto *preview = child<parlane::FramePreview>(dialog, "preview");
    const QColor shownLogo = shownColour(preview, {32, 24});
    const QColor shownPicture = shownColour(preview, {200, 160});
    clickOk(dialog);

    // What korvex makes of the script written from the answer.
    const EditorEdit edit = scriptFromAnswer(dialog, source, dir.path());
    QVERIFY2(edit.problem.isEmpty(), qPrintable(edit.problem));
    QFile script(edit.scriptPath);
    QVERIFY(script.open(QIODevice::WriteOnly) && script.write(edit.scriptText.toUtf8()) > 0);
    script.close();
    const JobPreparation::LaunchPlan job =
        JobPreparation::prepare(edit.arguments, edit.effects, "1.333");
    QVERIFY(job.readsScript);
    QProcess korvex;
    korvex.start(qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/korvex", job.arguments);
    QVERIFY(korvex.waitForFinished(120000));
    QVERIFY2(korvex.exitCode() == 0, korvex.readAllStandardError().constData());
    QByteArray pixels;
    QVERIFY(ffmpeg({"-ss", "1", "-i", "file:" + edit.arguments.last(), "-frames:v", "1", "-f",
                    "rawvideo", "-pix_fmt", "rgb24", "-"},
                   &pixels));
    QCOMPARE(pixels.size(), 320 * 240 * 3);
    const QImage output(reinterpret_cast<const uchar *>(pixels.constData()), 320, 240, 320 * 3,
                        QImage::Format_RGB888);

    const QColor madeLogo = output.pixelColor(32, 24);
    const QColor madePicture = output.pixelColor(200, 160);
    QVERIFY2(sameColour(shownLogo, madeLogo),
             qPrintable(shownLogo.name() + " shown, made " + madeLogo.name()));
    QVERIFY2(sameColour(shownPicture, madePicture),
             qPrintable(shownPicture.name() + " shown, made " + madePicture.name()));
}

void TestEditorDialog::typedValuesBeyondTheLimitGoToIt() {
    EditorDialog dialog(requestFor(media("long.mp4"), parlane::EditMode::Trim));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto *start = child<QSpinBox>(dialog, "trimStart");
    auto *length = child<QSpinBox>(dialog, "trimLength");
    typeInto(length, "00:00:20");
    QCOMPARE(length->value(), 12);
    QCOMPARE(length->text(), QString("00:00:12"));
    typeInto(start, "00:00:15");
    QCOMPARE(start->value(), 11);
    QCOMPARE(length->value(), 1);

    child<QTabWidget>(dialog, "tabs")->setCurrentIndex(int(parlane::EditMode::Crop));
    auto *left = child<QSpinBox>(dialog, "cropLeft");
    typeInto(left, "400");
    QCOMPARE(left->value(), 304);
    auto *saturation = child<QSpinBox>(dialog, "saturation");
    child<QTabWidget>(dialog, "tabs")->setCurrentIndex(int(parlane::EditMode::Effects));
    typeInto(saturation, "150");
    QCOMPARE(saturation->value(), 100);
}

void TestEditorDialog::okAnswersTheShownValues() {
    EditorDialog dialog(requestFor(media("long.mp4"), parlane::EditMode::Trim));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    child<QSpinBox>(dialog, "cropLeft")->setValue(10);
    child<QSpinBox>(dialog, "cropBottom")->setValue(6);
    child<QSpinBox>(dialog, "trimStart")->setValue(3);
    child<QSpinBox>(dialog, "trimLength")->setValue(20); // only 9 s are left
    child<QSlider>(dialog, "saturationSlider")->setValue(50);
    child<QSpinBox>(dialog, "contrast")->setValue(-100);
    clickOk(dialog);

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.answerText(),
             QString("parlane: -ss 3 -t 9 -cropleft 10 -croptop 0 -cropright 2 -cropbottom 6 "
                     "-saturation 50 -brightness 0 -contrast -100 -drop 0\n"));
    QCOMPARE(child<QLabel>(dialog, "trimEnd")->text(), QString("Ends at 00:00:12 of 00:00:12"));
}

void TestEditorDialog::untouchedValuesGoBackAsTheyCame() {
    EditRequest request = requestFor(media("long.mp4"), parlane::EditMode::Effects);
    request.saturation = 5.55556;
    request.brightness = 4.70588;
    request.contrast = 250; // outside the sliders' range, but not ours to change
    request.trimStart = 2;
    request.trimEnd = 7;
    request.crop = {4, 2, 0, 8};
    EditorDialog dialog(request);
    QCOMPARE(child<QSpinBox>(dialog, "saturation")->value(), 6);
    QCOMPARE(child<QSpinBox>(dialog, "contrast")->value(), 100);
    clickOk(dialog);
    QCOMPARE(dialog.answerText(),
             QString("parlane: -ss 2 -t 5 -cropleft 4 -croptop 2 -cropright 0 -cropbottom 8 "
                     "-saturation 5.55556 -brightness 4.70588 -contrast 250 -drop 0\n"));

    // A whole file, untrimmed: the answer's length is the file's.
    EditorDialog whole(requestFor(media("long.mp4")));
    clickOk(whole);
    QCOMPARE(whole.answerText(), untouchedAnswer(12));

    EditorDialog reset(request);
    QTest::mouseClick(child<QPushButton>(reset, "effectsReset"), Qt::LeftButton);
    clickOk(reset);
    QVERIFY(reset.answerText().contains("-saturation 0 -brightness 0 -contrast 0 -drop 0"));
}

void TestEditorDialog::keepsFilesLongerThanADay() {
    // 25 hours: one frame at the start, one at the end.
    EditorDialog dialog(requestFor(media("day-and-hour.mkv"), parlane::EditMode::Trim));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *length = child<QSpinBox>(dialog, "trimLength");
    QCOMPARE(length->text(), QString("25:00:01"));
    typeInto(child<QSpinBox>(dialog, "trimStart"), "24:30:00");
    typeInto(child<QSpinBox>(dialog, "trimStart"), "0:00:00");
    typeInto(length, "99:00:00");
    QCOMPARE(length->value(), 90001);
    clickOk(dialog);
    QCOMPARE(dialog.answerText(), untouchedAnswer(90001));

    // The main window takes the untouched answer as the whole file.
    const std::optional<EditorAnswer> answer = EditorAnswer::parse(dialog.answerText());
    QVERIFY(answer);
    EditorRow row;
    row.arguments = QStringList{"-i", "day.mkv", "-y", "-vcodec", "mpeg4", "/tmp/out.avi"};
    row.effects = QStringList{"1", "0", "1", "day.mkv", "/tmp/avsifile0.avs", "/tmp/avsifile0.png"};
    row.sourceSize = "160x120";
    row.displayRatio = "1.333";
    row.trimDuration = "90001";
    row.sourceDurationText = "25:00:01";
    const EditorEdit edit = applyEditorAnswer(*answer, row);
    QVERIFY2(edit.problem.isEmpty(), qPrintable(edit.problem));
    QCOMPARE(edit.outputDurationText, QString("25:00:01"));
    QVERIFY2(edit.scriptText.contains("clip = clip.Trim(0, 1890021)\n"),
             qPrintable(edit.scriptText));
}

void TestEditorDialog::cancelAndCloseAnswerNothing() {
    EditorDialog cancelled(requestFor(media("av.mp4")));
    cancelled.show();
    QTest::mouseClick(child<QPushButton>(cancelled, "cancelButton"), Qt::LeftButton);
    QCOMPARE(cancelled.result(), int(QDialog::Rejected));
    QVERIFY(cancelled.answerText().isEmpty());

    EditorDialog closed(requestFor(media("av.mp4")));
    closed.show();
    QTest::mouseClick(child<QToolButton>(closed, "closeButton"), Qt::LeftButton);
    QCOMPARE(closed.result(), int(QDialog::Rejected));
    QVERIFY(closed.answerText().isEmpty());

    EditorDialog escaped(requestFor(media("av.mp4")));
    escaped.show();
    QVERIFY(QTest::qWaitForWindowActive(&escaped));
    QTest::keyClick(&escaped, Qt::Key_Escape);
    QCOMPARE(escaped.result(), int(QDialog::Rejected));
    QVERIFY(escaped.answerText().isEmpty());
}

void TestEditorDialog::filesWithoutAPictureStayUsable_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("length");
    QTest::newRow("not media") << media("notmedia.mp4") << "-t 86399";
    QTest::newRow("empty") << media("empty.mp4") << "-t 86399";
    QTest::newRow("missing") << media("no such file.mp4") << "-t 86399";
    QTest::newRow("sound only") << media("audio.mp3") << "-t 2";
}

void TestEditorDialog::filesWithoutAPictureStayUsable() {
    QFETCH(QString, file);
    QFETCH(QString, length);
    EditRequest request = requestFor(file);
    request.crop = {8, 0, 0, 0};
    EditorDialog dialog(request);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!child<parlane::FramePreview>(dialog, "preview")->hasPicture());
    QVERIFY(!child<QSpinBox>(dialog, "cropLeft")->isEnabled());
    child<QSlider>(dialog, "brightnessSlider")->setValue(-20);
    clickOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // What cannot be edited passes through as it came.
    QCOMPARE(dialog.answerText(),
             "parlane: -ss 0 " + length +
                 " -cropleft 8 -croptop 0 -cropright 0 -cropbottom 0 -saturation 0 -brightness "
                 "-20 -contrast 0 -drop 0\n");
}

void TestEditorDialog::oddNamesShowTheirFrame_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("blank") << "with space.mp4";
    QTest::newRow("single quote") << "quote'single.mp4";
    QTest::newRow("double quote") << "quote\"double.mp4";
    QTest::newRow("non-Latin letters") << "日本語 ファイル.mp4";
    QTest::newRow("broken") << "broken.mp4";
    QTest::newRow("odd size") << "odd.avi";
}

void TestEditorDialog::oddNamesShowTheirFrame() {
    QFETCH(QString, name);
    EditorDialog dialog(requestFor(media(name)));
    QVERIFY(child<parlane::FramePreview>(dialog, "preview")->hasPicture());
    QVERIFY(dialog.windowTitle().contains(name));
}

void TestEditorDialog::logoIsWrittenAndNamedInTheAnswer() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString picture = dir.filePath("Mon logo ロゴ.jpg");
    QImage logo(64, 32, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(picture, "JPG"));
    const QString target = dir.filePath("avsifile1.png");

    EditRequest request = requestFor(media("av.mp4"), parlane::EditMode::Effects);
    request.logoTarget = target;
    EditorDialog dialog(request);
    QVERIFY(!child<QPushButton>(dialog, "logoRemove")->isEnabled());
    QVERIFY(!dialog.setLogoPicture(media("notmedia.mp4")));
    QVERIFY(dialog.setLogoPicture(picture));
    QVERIFY(child<QPushButton>(dialog, "logoRemove")->isEnabled());
    QVERIFY(!QFile::exists(target)); // only OK writes
    clickOk(dialog);

    QCOMPARE(dialog.answerText(),
             untouchedAnswer(2).replace("\n", " -watermark " + picture + "\n"));
    QImage written;
    QVERIFY(written.load(target, "PNG"));
    QCOMPARE(written.size(), QSize(64, 32));

    // The next launch gets the tail back and shows the logo as set.
    request.logoTail = "-watermark " + picture;
    EditorDialog again(request);
    QVERIFY(child<QPushButton>(again, "logoRemove")->isEnabled());
    QCOMPARE(child<QLabel>(again, "logoName")->text(), QString("Mon logo ロゴ.jpg (64 × 32)"));
    clickOk(again);
    QVERIFY(again.answerText().endsWith("-watermark " + picture + "\n"));

    // No place for the picture, or the video itself as the place: no logo.
    request.logoTarget.clear();
    EditorDialog nowhere(request);
    QVERIFY(!child<QPushButton>(nowhere, "logoChoose")->isEnabled());
    QVERIFY(!nowhere.setLogoPicture(picture));
    request.logoTarget = media("av.mp4");
    EditorDialog overVideo(request);
    QVERIFY(!overVideo.setLogoPicture(picture));
}

void TestEditorDialog::removedLogoIsGoneForGood() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("avsifile2.png");
    QImage logo(20, 20, QImage::Format_ARGB32);
    logo.fill(Qt::blue);
    QVERIFY(logo.save(target, "PNG"));

    EditRequest request = requestFor(media("av.mp4"));
    request.logoTarget = target;
    request.logoTail = "-watermark /somewhere/logo.png";
    EditorDialog dialog(request);
    QVERIFY(child<QPushButton>(dialog, "logoRemove")->isEnabled());
    QTest::mouseClick(child<QPushButton>(dialog, "logoRemove"), Qt::LeftButton);
    clickOk(dialog);
    QVERIFY(!dialog.answerText().contains("-watermark"));
    QVERIFY(!QFile::exists(target));

    // The main window keeps the old tail; without the picture it means nothing.
    EditorDialog later(request);
    QVERIFY(!child<QPushButton>(later, "logoRemove")->isEnabled());
    clickOk(later);
    QVERIFY(!later.answerText().contains("-watermark"));
}

void TestEditorDialog::logoThatCannotBeWrittenKeepsTheDialogOpen() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString picture = dir.filePath("logo.png");
    QImage logo(20, 20, QImage::Format_ARGB32);
    logo.fill(Qt::green);
    QVERIFY(logo.save(picture, "PNG"));

    EditRequest request = requestFor(media("av.mp4"));
    request.logoTarget = dir.filePath("no such folder/avsifile1.png");
    EditorDialog dialog(request);
    dialog.show();
    QVERIFY(dialog.setLogoPicture(picture));
    bool warned = false;
    closeNextMessageBox(&warned);
    clickOk(dialog);
    QVERIFY(warned);
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.answerText().isEmpty());
}

void TestEditorDialog::titleStripDragsTheWindow() {
    EditorDialog dialog(requestFor(media("av.mp4")));
    dialog.move(100, 100);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint before = dialog.pos();

    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(60, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(90, 30), dialog.mapToGlobal(QPointF(90, 30)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(90, 30));
    QCOMPARE(dialog.pos(), before + QPoint(30, 20));

    // Below the strip the window stays put.
    const QPoint after = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(60, 200));
    QMouseEvent below(QEvent::MouseMove, QPointF(90, 230), dialog.mapToGlobal(QPointF(90, 230)),
                      Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &below);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(90, 230));
    QCOMPARE(dialog.pos(), after);
}

// Every field of every page has the name its label shows, and the title
// strip's × its word.
void TestEditorDialog::screenReaderNamesEveryField() {
    EditorDialog dialog(requestFor(media("av.mp4")));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(QAccessible::queryAccessibleInterface(child<QToolButton>(dialog, "closeButton"))
                 ->text(QAccessible::Name),
             QStringLiteral("Close"));
    auto *tabs = child<QTabWidget>(dialog, "tabs");
    QStringList unnamed;
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        for (QWidget *field : tabs->currentWidget()->findChildren<QWidget *>()) {
            if (!qobject_cast<QAbstractSpinBox *>(field) && !qobject_cast<QSlider *>(field))
                continue;
            if (QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name).isEmpty())
                unnamed << field->objectName();
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
}

// A playlist or a list under a media name has no frame of its own; a name
// that would be a pattern names one picture.
void TestEditorDialog::framesAFileOnlyByItself_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size"); // invalid: no picture
    QTest::newRow("playlist named .mp4, relative") << HostileMedia::kRelativePlaylist << QSize();
    QTest::newRow("playlist named .m3u8, absolute") << HostileMedia::kAbsolutePlaylist << QSize();
    QTest::newRow("concat list") << HostileMedia::kConcatList << QSize();
    QTest::newRow("pattern name") << HostileMedia::kPattern << HostileMedia::kPatternPictureSize;
}

void TestEditorDialog::framesAFileOnlyByItself() {
    QFETCH(QString, file);
    QFETCH(QSize, size);
    const parlane::SourcePicture picture = parlane::grabSourcePicture(m_dir.filePath(file));
    QCOMPARE(picture.hasVideo, size.isValid());
    QCOMPARE(picture.size, size);
}

QTEST_MAIN(TestEditorDialog)
#include "tst_editordialog.moc"
