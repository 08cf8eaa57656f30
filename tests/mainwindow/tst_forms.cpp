#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <QtTest>

#include "app/startdlg.h"
#include "mainwindow/errfiledialog.h"
#include "mainwindow/openprogress.h"
#include "mainwindow/videoinfo.h"
#include "mainwindow/about.h"
#include "mainwindow/exitdialog.h"
#include "mainwindow/maxdriverdialog.h"
#include "mainwindow/preferencedialog.h"
#include "profiles/profilecatalogue.h"
#include "settingsdialog/settingdialog.h"
#include "ui_about.h"
#include "ui_errfiledialog.h"
#include "ui_exitdialog.h"
#include "ui_mainwindow.h"
#include "ui_maxdriverdialog.h"
#include "ui_openprogress.h"
#include "ui_preferencedialog.h"
#include "ui_settingdialog.h"
#include "ui_startdlg.h"
#include "ui_videoinfo.h"
#include "../support/mediaprograms.h"

// The main window's form connects these two slots by name.
class FormHost : public QMainWindow {
    Q_OBJECT

public Q_SLOTS:
    void item_selectChanged() {}
    void updateFileName(int, int) {}
};

// The designer forms against the installation data they draw on: skin style
// sheets, pictures, AviSynth files, the x264 preset and the removal tool.
class tst_Forms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void coverLiesOverTheEmptyList();
    void picturesFitTheirWindows();
    void windowPicturesHaveTheirShape();
    void everyReferencedPictureExists();
    void skinSurvivesJoinedLines();
    void skinDressesTheMainWindow();
    void captionsAreShownWhole();

    void pluginsSortAsDiscovered();
    void x264PresetIsAccepted();
    void removalToolAsksAndRefuses();

private:
    QString stage;
};

namespace {

QStringList urlsIn(const QString &styleSheet) {
    QStringList urls;
    static const QRegularExpression url(QStringLiteral("url\\(\\s*\"?([^\")]+)\"?\\s*\\)"));
    auto it = url.globalMatch(styleSheet);
    while (it.hasNext())
        urls << it.next().captured(1).trimmed();
    return urls;
}

// The skin file as the program reads it: lines joined with nothing between.
QString joinedLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    QString text;
    while (!in.atEnd())
        text += in.readLine();
    return text;
}

QStringList parseWarnings;

void collectParseWarnings(QtMsgType, const QMessageLogContext &, const QString &message) {
    if (message.contains(QLatin1String("Could not parse")))
        parseWarnings << message;
}

template <class Form, class Window> void build(Window &window, Form &form) {
    form.setupUi(&window);
}

int stackIndex(const QWidget *widget) {
    return widget->parentWidget()->children().indexOf(const_cast<QWidget *>(widget));
}

template <class Form> QSize formSize() {
    QDialog dialog;
    Form form;
    build(dialog, form);
    return dialog.size();
}

// The captions of a window that its widgets cut off. Only what is on show
// counts: a hidden widget may be sized for a later text.
QStringList clippedCaptions(const QWidget &window) {
    QStringList clipped;
    const auto report = [&](const QWidget *widget, const QString &text, QSize need) {
        clipped << QStringLiteral("%1 %2 \"%3\": needs %4x%5, has %6x%7")
                       .arg(window.metaObject()->className(), widget->objectName(), text.left(40))
                       .arg(need.width())
                       .arg(need.height())
                       .arg(widget->width())
                       .arg(widget->height());
    };
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        const QString text = label->text();
        if (!label->isVisibleTo(&window) || text.isEmpty())
            continue;
        if (label->wordWrap()) {
            const int height = label->heightForWidth(label->width());
            if (height > label->height())
                report(label, text, {label->width(), height});
            continue;
        }
        const QSize need = label->sizeHint();
        // A plain line, centred the way QLabel draws it: its ink must stay
        // inside, though the line's leading may stick out.
        bool inkCut = false;
        if (!Qt::mightBeRichText(text) && !text.contains(QLatin1Char('\n')) &&
            (label->alignment() & Qt::AlignVCenter)) {
            const QFontMetrics metrics = label->fontMetrics();
            const QRect room = label->contentsRect();
            const QRect ink = metrics.tightBoundingRect(text);
            const int baseline =
                room.top() + (room.height() - metrics.height()) / 2 + metrics.ascent();
            inkCut = baseline + ink.top() < room.top() || baseline + ink.bottom() > room.bottom();
        }
        if (need.width() > label->width() || inkCut)
            report(label, text, need);
    }
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        if (!button->isVisibleTo(&window) || button->text().trimmed().isEmpty())
            continue;
        const auto *tool = qobject_cast<const QToolButton *>(button);
        if (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly && !tool->icon().isNull())
            continue;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        const QStyle::SubElement contents =
            qobject_cast<const QCheckBox *>(button)      ? QStyle::SE_CheckBoxContents
            : qobject_cast<const QRadioButton *>(button) ? QStyle::SE_RadioButtonContents
                                                         : QStyle::SE_PushButtonContents;
        const QRect room = tool ? button->contentsRect()
                                : button->style()->subElementRect(contents, &option, button);
        int width = button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&'));
        if (!button->icon().isNull())
            width += button->iconSize().width() + 4;
        const QSize need(width + button->width() - room.width(),
                         button->fontMetrics().height() + button->height() - room.height());
        if (need.width() > button->width() || need.height() > button->height())
            report(button, button->text(), need);
    }
    return clipped;
}

template <class Dialog> QStringList clippedDialogCaptions() {
    Dialog dialog;
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return {QStringLiteral("%1 never showed").arg(dialog.metaObject()->className())};
    return clippedCaptions(dialog);
}

} // namespace

void tst_Forms::initTestCase() {
    stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    QVERIFY2(QFileInfo(stage).isDir(), "QUILLORA_STAGE_DIR must name the staged installation");
    // Style sheets name their pictures relative to the installation folder.
    QVERIFY(QDir::setCurrent(stage));
}

void tst_Forms::coverLiesOverTheEmptyList() {
    FormHost window;
    Ui::MainWindow form;
    build(window, form);
    // Widgets that share a place: the later one is drawn over the earlier.
    QVERIFY(stackIndex(form.frameBackPic) > stackIndex(form.treeWidget));
    QVERIFY(stackIndex(form.PauseContinue) > stackIndex(form.ConvertePushButton));
    QVERIFY(stackIndex(form.widgetTryMovie) > stackIndex(form.MovieWidget));
    QVERIFY(stackIndex(form.PlayButton) > stackIndex(form.PauseButton));
    QVERIFY(stackIndex(form.unMuteButton) > stackIndex(form.MuteButton));
    QVERIFY(stackIndex(form.labelShowState) > stackIndex(form.progressAll));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint overList = form.treeWidget->geometry().center();
    QCOMPARE(form.centralWidget->childAt(overList), form.frameBackPic);
}

// A skinned window takes its picture's size and shape, so every picture must
// fit the form that wears it.
void tst_Forms::picturesFitTheirWindows() {
    FormHost window;
    Ui::MainWindow mainForm;
    build(window, mainForm);
    QDialog question;
    Ui::exitDialog questionForm;
    build(question, questionForm);

    const QList<QPair<QString, QSize>> fits = {
        {"skins/default/background.png", window.size()},
        {"skins/default/loading.png", formSize<Ui::startdlg>()},
        {"skins/default/register.png", formSize<Ui::about>()},
        {"skins/default/config.png", formSize<Ui::preferenceDialog>()},
        {"skins/default/tixe.png", formSize<Ui::exitDialog>()},
        {"skins/default/tixe.png", formSize<Ui::maxDriverDialog>()},
        {"skins/default/tixe_atten.png", questionForm.label_2->size()},
        {"skins/default/Progress.png", formSize<Ui::openProgress>()},
        {"skins/default/errorBackground.png", formSize<Ui::errFiledialog>()},
        {"skins/default/videoinfo.png", formSize<Ui::videoInfo>()},
        {"skins/default/settingsback.png", formSize<Ui::settingDialog>()},
        {"skins/default/filelist_empty.png", mainForm.frameBackPic->size()},
        {"skins/default/convert1.bmp", mainForm.toolButton->iconSize()},
        {"skins/default/convert2.bmp", mainForm.toolButton->iconSize()},
        {"skins/default/convert3.bmp", mainForm.toolButton->iconSize()},
    };
    for (const auto &[path, size] : fits) {
        const QImage picture(path);
        QVERIFY2(!picture.isNull(), qPrintable(path));
        QVERIFY2(picture.size() == size, qPrintable(path));
    }
    for (const QString &path : ProfileCatalogue::devicePictures()) {
        const QImage picture(path);
        QVERIFY2(!picture.isNull(), qPrintable(path));
        QVERIFY2(picture.size() == mainForm.label_pic->size(), qPrintable(path));
    }
}

void tst_Forms::windowPicturesHaveTheirShape() {
    // A window takes its picture's alpha as its mask: the corners are cut off
    // and everything inside is solid, so no hole opens in a window.
    const char *windows[] = {"background.png",      "loading.png",   "register.png",
                             "config.png",          "tixe.png",      "Progress.png",
                             "errorBackground.png", "videoinfo.png", "settingsback.png"};
    for (const char *name : windows) {
        const QImage picture(QStringLiteral("skins/default/") + QLatin1String(name));
        QVERIFY2(picture.hasAlphaChannel(), name);
        const int w = picture.width();
        const int h = picture.height();
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
            QVERIFY2(qAlpha(picture.pixel(corner)) == 0, name);
        int holes = 0;
        for (int y = 8; y < h - 8; ++y)
            for (int x = 0; x < w; ++x)
                holes += qAlpha(picture.pixel(x, y)) != 255;
        QVERIFY2(holes == 0, name);
    }
    // The title strip is dark, the body light: white title text reads on the one,
    // the default black text on the other.
    const QImage main(QStringLiteral("skins/default/background.png"));
    QVERIFY(qGray(main.pixel(400, 12)) < 90);
    QVERIFY(qGray(main.pixel(300, 200)) > 200);
    QVERIFY(qGray(main.pixel(690, 250)) < 20); // the preview screen
}

void tst_Forms::everyReferencedPictureExists() {
    QStringList urls = urlsIn(joinedLines(QStringLiteral("skin.qss")));
    urls += urlsIn(joinedLines(QStringLiteral("skin2.qss")));
    QVERIFY(urls.size() > 100);

    FormHost window;
    Ui::MainWindow mainForm;
    build(window, mainForm);
    QDialog dialogs[6];
    Ui::settingDialog settings;
    Ui::videoInfo info;
    Ui::openProgress progress;
    Ui::exitDialog exitForm;
    Ui::maxDriverDialog full;
    Ui::about about;
    build(dialogs[0], settings);
    build(dialogs[1], info);
    build(dialogs[2], progress);
    build(dialogs[3], exitForm);
    build(dialogs[4], full);
    build(dialogs[5], about);
    QWidgetList widgets = window.findChildren<QWidget *>();
    for (QDialog &d : dialogs) {
        widgets << &d;
        widgets << d.findChildren<QWidget *>();
    }
    for (QWidget *w : widgets)
        urls += urlsIn(w->styleSheet());

    urls.removeDuplicates();
    for (const QString &url : urls)
        QVERIFY2(!QImage(url).isNull(),
                 qPrintable(url + QLatin1String(" is missing or unreadable")));
}

void tst_Forms::skinSurvivesJoinedLines() {
    for (const char *name : {"skin.qss", "skin2.qss"}) {
        const QString sheet = joinedLines(QString::fromLatin1(name));
        QVERIFY2(!sheet.isEmpty(), name);
        // No line comment may swallow the rest of the joined text.
        QString code = sheet;
        code.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/")));
        QVERIFY2(!code.contains(QLatin1String("//")), name);
        QCOMPARE(sheet.count(QLatin1Char('{')), sheet.count(QLatin1Char('}')));

        parseWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectParseWarnings);
        qApp->setStyleSheet(sheet);
        FormHost window;
        Ui::MainWindow form;
        build(window, form);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.grab();
        qInstallMessageHandler(previous);
        qApp->setStyleSheet(QString());
        QVERIFY2(parseWarnings.isEmpty(), qPrintable(parseWarnings.join(QLatin1Char('\n'))));
    }
}

void tst_Forms::skinDressesTheMainWindow() {
    // The look the program gives its window at start: the Windows style, the
    // skin and the background picture as the window brush.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    qApp->setStyleSheet(joinedLines(QStringLiteral("skin.qss")));
    FormHost window;
    Ui::MainWindow form;
    build(window, form);
    const QPixmap background(QStringLiteral("skins/default/background.png"));
    QPalette palette;
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(background));
    window.setPalette(palette);
    // As the window's construction does: the resume button lies over Convert until a pause.
    form.menuBar->hide();
    form.mainToolBar->hide();
    form.PauseContinue->hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = window.grab().toImage();
    qApp->setStyleSheet(QString());

    // Left of the glyph, inside the round face of the button.
    auto colourAt = [&](QWidget *widget) {
        return QColor(shot.pixel(widget->mapTo(&window, QPoint(8, widget->height() / 2))));
    };
    // The convert button is drawn by its green picture, the stop button by its red one.
    const QColor convert = colourAt(form.ConvertePushButton);
    QVERIFY2(convert.green() > convert.red() + 40, qPrintable(convert.name()));
    const QColor stop = colourAt(form.StopConvertePushButton);
    QVERIFY2(stop.red() > stop.green() + 40, qPrintable(stop.name()));
    // The empty-list cover hides the list under it.
    const QImage cover(QStringLiteral("skins/default/filelist_empty.png"));
    QCOMPARE(QColor(shot.pixel(form.frameBackPic->geometry().topLeft() + QPoint(30, 30))),
             QColor(cover.pixel(30, 30)));
    // The title strip of the background shows around the title label.
    QVERIFY(qGray(shot.pixel(600, 12)) < 90);
}

// Every caption reads whole in the skin and the fonts the program runs with.
void tst_Forms::captionsAreShownWhole() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    qApp->setStyleSheet(joinedLines(QStringLiteral("skin.qss")));
    FormHost window;
    Ui::MainWindow form;
    build(window, form);
    // As the window's construction does: left-overs of the form stay hidden.
    form.pushButton_2->hide();
    form.pushButton_3->hide();
    form.toolButton->hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList clipped = clippedCaptions(window);
    clipped << clippedDialogCaptions<about>() << clippedDialogCaptions<errFiledialog>()
            << clippedDialogCaptions<exitDialog>() << clippedDialogCaptions<maxDriverDialog>()
            << clippedDialogCaptions<openProgress>() << clippedDialogCaptions<preferenceDialog>()
            << clippedDialogCaptions<settingDialog>() << clippedDialogCaptions<startdlg>()
            << clippedDialogCaptions<videoInfo>();
    qApp->setStyleSheet(QString());
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
}

void tst_Forms::pluginsSortAsDiscovered() {
    // The scripts import the first file of "plugins" and load the second as the
    // plug-in library, ordered by name with case ignored.
    QDir plugins(QStringLiteral("plugins"));
    const QStringList files = plugins.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    QCOMPARE(files.size(), 2);
    QVERIFY2(files.at(0).endsWith(QLatin1String(".avsi"), Qt::CaseInsensitive),
             qPrintable(files.at(0)));
    QFile script(plugins.filePath(files.at(0)));
    QVERIFY(script.open(QIODevice::ReadOnly));
    QVERIFY(script.readAll().contains("function FFmpegSource2("));
    QFile header(QStringLiteral("HEADER.avs"));
    QVERIFY(header.open(QIODevice::ReadOnly));
    const QByteArray headerText = header.readAll();
    QVERIFY(headerText.contains("function DisplayRatio("));
    QVERIFY(headerText.contains("function ResizeLetterBox("));
}

void tst_Forms::x264PresetIsAccepted() {
    const QString ffmpeg = MediaPrograms::ffmpeg();
    if (!QFileInfo(ffmpeg).isExecutable())
        QSKIP("ffmpeg is not installed");
    QTemporaryDir out;
    QVERIFY(out.isValid());
    QProcess run;
    run.start(ffmpeg, {"-nostdin", "-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
                       "testsrc=size=176x144:rate=10", "-t", "0.5", "-pix_fmt", "yuv420p", "-c:v",
                       "libx264", "-fpre", QDir(stage).filePath("x264/libx264-veryfast.ffpreset"),
                       "-y", out.filePath("preset.mp4")});
    QVERIFY(run.waitForFinished(30000));
    QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
    QVERIFY(QFileInfo(out.filePath("preset.mp4")).size() > 0);
}

void tst_Forms::removalToolAsksAndRefuses() {
    const QString tool = QDir(stage).filePath(QStringLiteral("vorsk"));
    QVERIFY(QFileInfo(tool).isExecutable());

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString install = root.filePath(QStringLiteral("Quillora install"));
    QVERIFY(QDir().mkpath(install + QLatin1String("/skins/default")));
    for (const char *name : {"vorsk", "skin.qss", "HEADER.avs"})
        QVERIFY(QFile::copy(QDir(stage).filePath(QLatin1String(name)),
                            install + QLatin1Char('/') + QLatin1String(name)));
    QFile::setPermissions(install + QLatin1String("/vorsk"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    auto answer = [](const QString &program, const QByteArray &reply) {
        QProcess run;
        run.start(program, {});
        run.write(reply);
        run.closeWriteChannel();
        run.waitForFinished(10000);
        return run.exitCode();
    };
    // Anything but yes keeps the installation.
    QCOMPARE(answer(install + QLatin1String("/vorsk"), "n\n"), 0);
    QVERIFY(QFileInfo(install + QLatin1String("/skin.qss")).exists());
    QCOMPARE(answer(install + QLatin1String("/vorsk"), ""), 0);
    QVERIFY(QFileInfo(install).isDir());

    // A copy in a folder that is not an installation removes nothing.
    const QString stray = root.filePath(QStringLiteral("documents"));
    QVERIFY(QDir().mkpath(stray));
    QVERIFY(QFile::copy(tool, stray + QLatin1String("/vorsk")));
    QFile::setPermissions(stray + QLatin1String("/vorsk"), QFile::ReadOwner | QFile::ExeOwner);
    QCOMPARE(answer(stray + QLatin1String("/vorsk"), "y\n"), 1);
    QVERIFY(QFileInfo(stray + QLatin1String("/vorsk")).exists());

    QCOMPARE(answer(install + QLatin1String("/vorsk"), "y\n"), 0);
    QVERIFY(!QFileInfo::exists(install));
    QVERIFY(QFileInfo(stray).isDir());
}

QTEST_MAIN(tst_Forms)
#include "tst_forms.moc"
