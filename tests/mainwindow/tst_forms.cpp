#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

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

// A main window with the two slots that the form connects explicitly, so that
// the connections can be seen to arrive.
class FormHost : public QMainWindow {
    Q_OBJECT

public:
    int selectionChanges = 0;
    QList<QPair<int, int>> renamedCells;

public Q_SLOTS:
    void item_selectChanged() { ++selectionChanges; }
    void updateFileName(int row, int column) { renamedCells.append({row, column}); }
};

// The designer forms of every window, and the installation data they draw
// on: skin style sheets, pictures, AviSynth files and the removal tool.
class tst_Forms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void mainWindowObjects_data();
    void mainWindowObjects();
    void mainWindowFixedAndStacked();
    void mainWindowTextsAndRanges();
    void mainWindowActionsAndMenus();
    void mainWindowConnections();

    void dialogForms();
    void dialogStyleSheetsAndItems();

    void picturesExistAtTheirSizes_data();
    void picturesExistAtTheirSizes();
    void windowPicturesHaveTheirShape();
    void everyReferencedPictureExists();
    void skinSurvivesJoinedLines();
    void skinDressesTheMainWindow();

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

} // namespace

void tst_Forms::initTestCase() {
    stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    QVERIFY2(QFileInfo(stage).isDir(), "QUILLORA_STAGE_DIR must name the staged installation");
    // Style sheets name their pictures relative to the installation folder.
    QVERIFY(QDir::setCurrent(stage));
}

void tst_Forms::mainWindowObjects_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");

    const struct {
        const char *name, *cls, *parent;
        QRect rect;
    } rows[] = {
        {"labeltext", "QLabel", "centralWidget", {7, 5, 361, 20}},
        {"sysInfo", "QToolButton", "centralWidget", {796, 3, 19, 19}},
        {"minimaziAll", "QToolButton", "centralWidget", {814, 3, 19, 19}},
        {"closeAll", "QToolButton", "centralWidget", {832, 3, 19, 19}},
        {"AddFile", "QToolButton", "centralWidget", {40, 42, 48, 48}},
        {"DeleteButton", "QPushButton", "centralWidget", {104, 42, 48, 48}},
        {"DeleteAllButton", "QPushButton", "centralWidget", {168, 42, 48, 48}},
        {"editVideo", "QToolButton", "centralWidget", {247, 42, 48, 48}},
        {"editVideo_Trim", "QToolButton", "centralWidget", {311, 42, 48, 48}},
        {"editVideo_Effect", "QToolButton", "centralWidget", {375, 42, 48, 48}},
        {"tableWidget", "QTableWidget", "centralWidget", {16, 97, 251, 265}},
        {"frameBackPic", "QFrame", "centralWidget", {11, 89, 517, 320}},
        {"treeWidget", "QTreeWidget", "centralWidget", {270, 97, 251, 261}},
        {"MoveUpButton", "QPushButton", "centralWidget", {62, 370, 82, 25}},
        {"MoveDownButton", "QPushButton", "centralWidget", {174, 370, 82, 25}},
        {"widgetSetting", "QWidget", "centralWidget", {12, 407, 520, 106}},
        {"label_pic", "QLabel", "widgetSetting", {4, 5, 90, 90}},
        {"ProfileDevice", "QComboBox", "widgetSetting", {96, 13, 128, 22}},
        {"ProfileDetails", "QComboBox", "widgetSetting", {229, 13, 199, 22}},
        {"SettingButton", "QPushButton", "widgetSetting", {433, 12, 77, 23}},
        {"lab_OutputFormat", "QLabel", "widgetSetting", {189, 40, 101, 16}},
        {"lab_AudioCodec", "QLabel", "widgetSetting", {379, 40, 131, 16}},
        {"lab_VideoCodec", "QLabel", "widgetSetting", {189, 60, 101, 16}},
        {"lab_FrameRate", "QLabel", "widgetSetting", {379, 60, 131, 16}},
        {"lab_VodecBitrate", "QLabel", "widgetSetting", {189, 80, 101, 16}},
        {"lab_VideoSize", "QLabel", "widgetSetting", {379, 80, 131, 16}},
        {"label_13", "QLabel", "centralWidget", {25, 541, 71, 16}},
        {"PathLine", "QLineEdit", "centralWidget", {101, 539, 341, 20}},
        {"browsePushButton", "QPushButton", "centralWidget", {455, 537, 80, 23}},
        {"openPushButton", "QPushButton", "centralWidget", {542, 537, 77, 23}},
        {"progressAll", "QProgressBar", "centralWidget", {25, 570, 595, 20}},
        {"labelShowState", "QLabel", "centralWidget", {28, 570, 560, 21}},
        {"ConvertePushButton", "QPushButton", "centralWidget", {664, 532, 53, 53}},
        {"PauseContinue", "QPushButton", "centralWidget", {664, 532, 53, 53}},
        {"PausePushButton", "QPushButton", "centralWidget", {724, 531, 53, 53}},
        {"StopConvertePushButton", "QPushButton", "centralWidget", {785, 532, 53, 53}},
        {"labelFileName", "QLabel", "centralWidget", {541, 110, 303, 20}},
        {"MovieWidget", "QWidget", "centralWidget", {542, 139, 297, 237}},
        {"widgetTryMovie", "QWidget", "centralWidget", {542, 139, 297, 237}},
        {"labelTime", "QLabel", "centralWidget", {553, 400, 291, 20}},
        {"horizontalSlider", "QSlider", "centralWidget", {552, 430, 281, 21}},
        {"PauseButton", "QToolButton", "centralWidget", {545, 467, 44, 31}},
        {"PlayButton", "QToolButton", "centralWidget", {545, 467, 44, 31}},
        {"StopButton", "QToolButton", "centralWidget", {586, 467, 36, 31}},
        {"PreviousButton", "QToolButton", "centralWidget", {619, 467, 36, 31}},
        {"NextButton", "QToolButton", "centralWidget", {652, 467, 43, 31}},
        {"captureButton", "QToolButton", "centralWidget", {702, 468, 32, 27}},
        {"setCaptureButton", "QToolButton", "centralWidget", {734, 468, 11, 27}},
        {"MuteButton", "QToolButton", "centralWidget", {760, 470, 22, 22}},
        {"unMuteButton", "QToolButton", "centralWidget", {760, 470, 22, 22}},
        {"volumeHSlider", "QSlider", "centralWidget", {786, 470, 51, 21}},
        {"groupBox", "QGroupBox", "centralWidget", {20, 640, 241, 171}},
        {"Vcodec", "QComboBox", "groupBox", {113, 17, 121, 21}},
        {"VSize", "QComboBox", "groupBox", {113, 47, 121, 22}},
        {"VBitrate", "QComboBox", "groupBox", {113, 77, 121, 22}},
        {"VframeRate", "QComboBox", "groupBox", {113, 107, 121, 22}},
        {"Vaspect", "QComboBox", "groupBox", {113, 137, 121, 22}},
        {"groupBox_2", "QGroupBox", "centralWidget", {280, 640, 211, 141}},
        {"Acodec", "QComboBox", "groupBox_2", {104, 15, 101, 22}},
        {"ASamplerate", "QComboBox", "groupBox_2", {104, 46, 101, 22}},
        {"ABitrate", "QComboBox", "groupBox_2", {104, 79, 101, 22}},
        {"AChannels", "QComboBox", "groupBox_2", {104, 110, 101, 22}},
        {"label_12", "QLabel", "centralWidget", {20, 620, 61, 16}},
        {"textEdit", "QTextEdit", "centralWidget", {760, 30, 91, 61}},
        {"pushButton_2", "QPushButton", "centralWidget", {770, 100, 75, 23}},
        {"pushButton_3", "QPushButton", "centralWidget", {780, 690, 71, 21}},
        {"toolButton", "QToolButton", "centralWidget", {790, 720, 51, 21}},
        {"DelFile", "QToolButton", "centralWidget", {510, 700, 110, 40}},
        {"CleanFile", "QToolButton", "centralWidget", {640, 700, 110, 40}},
        {"menuBar", "QMenuBar", "MainWindow", {0, 0, 860, 19}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.name << row.cls << row.parent << row.rect;
}

void tst_Forms::mainWindowObjects() {
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);

    FormHost window;
    Ui::MainWindow form;
    build(window, form);
    QWidget *widget = window.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    QCOMPARE(widget->geometry(), geometry);
}

void tst_Forms::mainWindowFixedAndStacked() {
    FormHost window;
    Ui::MainWindow form;
    build(window, form);
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.minimumSize(), QSize(860, 600));
    QCOMPARE(window.maximumSize(), QSize(860, 600));
    QVERIFY(window.acceptDrops());
    QCOMPARE(window.centralWidget(), form.centralWidget);

    // The option holders and the unused buttons lie below the visible window.
    for (QWidget *w :
         {static_cast<QWidget *>(form.groupBox), static_cast<QWidget *>(form.groupBox_2),
          static_cast<QWidget *>(form.label_12), static_cast<QWidget *>(form.pushButton_3),
          static_cast<QWidget *>(form.toolButton), static_cast<QWidget *>(form.DelFile),
          static_cast<QWidget *>(form.CleanFile)})
        QVERIFY2(w->geometry().top() >= 600, qPrintable(w->objectName()));

    // The cover over the empty list is the topmost child of the central widget.
    QWidget *top = nullptr;
    for (QObject *child : form.centralWidget->children())
        if (child->isWidgetType())
            top = static_cast<QWidget *>(child);
    QCOMPARE(top, form.frameBackPic);
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

void tst_Forms::mainWindowTextsAndRanges() {
    FormHost window;
    Ui::MainWindow form;
    build(window, form);
    QCOMPARE(window.windowTitle(), QStringLiteral("MainWindow"));
    QCOMPARE(form.SettingButton->text(), QStringLiteral("   Advance"));
    QCOMPARE(form.openPushButton->text(), QStringLiteral("    Open"));
    QCOMPARE(form.MoveUpButton->text(), QStringLiteral("   Move Up"));
    QCOMPARE(form.MoveDownButton->text(), QStringLiteral("   Move Down"));
    QCOMPARE(form.DelFile->text(), QStringLiteral("        Delete"));
    QCOMPARE(form.CleanFile->text(), QStringLiteral("        Clear"));
    QCOMPARE(form.labeltext->text(), QStringLiteral("Quillora"));
    QCOMPARE(form.label_pic->text(), QStringLiteral("Profile"));
    QCOMPARE(form.browsePushButton->text(), QStringLiteral("Browse..."));
    QCOMPARE(form.labelShowState->text(), QStringLiteral("TextLabel"));
    QVERIFY(form.AddFile->text().isEmpty());
    QVERIFY(form.ConvertePushButton->text().isEmpty());
    QVERIFY(form.lab_OutputFormat->text().isEmpty());
    QCOMPARE(form.groupBox->title(), QStringLiteral("Video"));
    QCOMPARE(form.groupBox_2->title(), QStringLiteral("Audio"));

    const QList<QComboBox *> combos = window.findChildren<QComboBox *>();
    QCOMPARE(combos.size(), 11);
    for (QComboBox *combo : combos)
        QVERIFY2(combo->count() == 0, qPrintable(combo->objectName()));
    QVERIFY(form.VSize->isEditable());
    QVERIFY(form.VBitrate->isEditable());
    QVERIFY(!form.Vcodec->isEditable());

    QCOMPARE(form.volumeHSlider->minimum(), 0);
    QCOMPARE(form.volumeHSlider->maximum(), 128);
    QCOMPARE(form.volumeHSlider->value(), 128);
    QCOMPARE(form.horizontalSlider->maximum(), 100);
    QCOMPARE(form.horizontalSlider->orientation(), Qt::Horizontal);
    QCOMPARE(form.progressAll->maximum(), 100);
    QCOMPARE(form.progressAll->value(), 0);
    QVERIFY(!form.progressAll->isTextVisible());
    QCOMPARE(form.treeWidget->columnCount(), 0);
    QVERIFY(form.treeWidget->dragEnabled());
    QCOMPARE(form.tableWidget->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(form.sysInfo->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(form.setCaptureButton->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(form.textEdit->styleSheet(), QStringLiteral("QTextEdit{border-radius:10px;}"));

    // One profile combo sheet on both profile combos, and the convert pictures on toolButton.
    QCOMPARE(form.ProfileDevice->styleSheet(), form.ProfileDetails->styleSheet());
    QVERIFY(form.ProfileDevice->styleSheet().contains(
        QLatin1String("url(skins/default/combobox.png) 5 30 5 5")));
    QCOMPARE(urlsIn(form.toolButton->styleSheet()),
             QStringList({"skins/default/convert1.bmp", "skins/default/convert2.bmp",
                          "skins/default/convert3.bmp"}));
    QCOMPARE(form.toolButton->iconSize(), QSize(120, 55));
}

void tst_Forms::mainWindowActionsAndMenus() {
    FormHost window;
    Ui::MainWindow form;
    build(window, form);
    QCOMPARE(form.actionOpen->text(), QStringLiteral("Add File(&A)"));
    QCOMPARE(form.actionOpen->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(form.actionExit_X->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    QCOMPARE(form.actionRemove_del->shortcut(), QKeySequence(QStringLiteral("Del")));
    // The icons are compiled into the program.
    for (QAction *action : {form.actionOpen, form.actionExit_X, form.actionRemove_del})
        QVERIFY2(!action->icon().pixmap(16, 16).isNull(), qPrintable(action->objectName()));

    QCOMPARE(window.menuBar(), form.menuBar);
    const QList<QAction *> menus = form.menuBar->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus.at(0)->menu(), form.menuFiles_F);
    QCOMPARE(form.menuFiles_F->title(), QStringLiteral("Files(&F)"));
    QCOMPARE(form.menuEdit_E->title(), QStringLiteral("Edit(&E)"));
    const QList<QAction *> files = form.menuFiles_F->actions();
    QCOMPARE(files.size(), 3);
    QCOMPARE(files.at(0), form.actionOpen);
    QVERIFY(files.at(1)->isSeparator());
    QCOMPARE(files.at(2), form.actionExit_X);
    QCOMPARE(form.menuEdit_E->actions(), QList<QAction *>({form.actionRemove_del}));
    QCOMPARE(window.toolBarArea(form.mainToolBar), Qt::TopToolBarArea);
    QCOMPARE(form.mainToolBar->actions(),
             QList<QAction *>({form.actionOpen, form.actionRemove_del, form.actionExit_X}));
}

void tst_Forms::mainWindowConnections() {
    FormHost window;
    Ui::MainWindow form;
    build(window, form);
    form.tableWidget->setColumnCount(2);
    form.tableWidget->setRowCount(2);
    QCOMPARE(window.selectionChanges, 0);
    form.tableWidget->selectRow(1);
    QVERIFY(window.selectionChanges >= 1);
    form.tableWidget->setItem(1, 1, new QTableWidgetItem(QStringLiteral("x")));
    form.tableWidget->item(1, 1)->setText(QStringLiteral("y"));
    QVERIFY(window.renamedCells.contains(qMakePair(1, 1)));
}

void tst_Forms::dialogForms() {
    {
        QDialog d;
        Ui::startdlg form;
        build(d, form);
        QCOMPARE(d.objectName(), QStringLiteral("startdlg"));
        QCOMPARE(d.size(), QSize(415, 260));
        QCOMPARE(form.label->geometry(), QRect(30, 180, 331, 21));
        QCOMPARE(form.label->font().pointSize(), 11);
        QCOMPARE(form.labelVersion->geometry(), QRect(330, 130, 61, 41));
    }
    {
        QDialog d;
        Ui::about form;
        build(d, form);
        QCOMPARE(d.size(), QSize(400, 287));
        QCOMPARE(form.labeltext->text(), QStringLiteral("Tessaline"));
        // The white title lies over its black shadow, three pixels to the left and down.
        QWidgetList labels;
        for (QObject *child : d.children())
            if (child->isWidgetType())
                labels << static_cast<QWidget *>(child);
        QCOMPARE(labels.first(), form.labelProductName2);
        QCOMPARE(labels.last(), form.labelProductName);
        QCOMPARE(form.labelProductName2->geometry().translated(3, -3),
                 form.labelProductName->geometry());
        QVERIFY(form.labelHomePage->text().contains(QLatin1String("HomePage:       <a href=")));
        QVERIFY(form.labelSupport->text().contains(QLatin1String("Support Center: <a href=")));
        QVERIFY(!form.labelHomePage->openExternalLinks());
    }
    {
        QDialog d;
        Ui::preferenceDialog form;
        build(d, form);
        QCOMPARE(d.size(), QSize(541, 411));
        QCOMPARE(form.tabWidget->currentIndex(), 0);
        QCOMPARE(form.tabWidget->tabText(0), QStringLiteral("General"));
        QCOMPARE(form.tabWidget->tabText(1), QStringLiteral("Others"));
        QCOMPARE(form.closeButton->maximumSize(), QSize(19, 19));
        QCOMPARE(form.ShutdownComboBox->parentWidget(), form.groupBox_3);
        QCOMPARE(form.OpenSnapButton->geometry(), QRect(430, 38, 75, 23));
    }
    for (int which = 0; which < 2; ++which) {
        QDialog d;
        Ui::exitDialog exitForm;
        Ui::maxDriverDialog fullForm;
        QLabel *attention = nullptr;
        QLabel *message = nullptr;
        if (which == 0) {
            build(d, exitForm);
            attention = exitForm.label_2;
            message = exitForm.label;
            QVERIFY(message->text().contains(QLatin1String(">Are you sure you want to </p>")));
        } else {
            build(d, fullForm);
            attention = fullForm.label_2;
            message = fullForm.label;
            QVERIFY(
                message->text().contains(QLatin1String("The hard disk space is full already!")));
        }
        QCOMPARE(d.minimumSize(), QSize(280, 150));
        QCOMPARE(d.maximumSize(), QSize(280, 150));
        QCOMPARE(attention->styleSheet(),
                 QStringLiteral("QLabel {border-image: url(\"skins/default/tixe_atten.png\")};"));
        QCOMPARE(attention->size(), QSize(32, 28));
    }
    {
        QDialog d;
        Ui::openProgress form;
        build(d, form);
        QCOMPARE(d.size(), QSize(400, 150));
        QCOMPARE(form.labeltext->text(), QStringLiteral("Open"));
        QCOMPARE(form.pushButtonShutDown->text(), QStringLiteral("ShutDown"));
        QCOMPARE(form.progressBarFileNum->value(), 0);
    }
    {
        QDialog d;
        Ui::errFiledialog form;
        build(d, form);
        QCOMPARE(d.maximumSize(), QSize(500, 300));
        QCOMPARE(form.labeltext->text(), QStringLiteral("Error"));
        // The hidden standard buttons still end the dialog through accept().
        QSignalSpy accepted(&d, &QDialog::accepted);
        form.buttonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
    {
        QDialog d;
        Ui::videoInfo form;
        build(d, form);
        QCOMPARE(d.maximumSize(), QSize(400, 330));
        QCOMPARE(form.SourceFile->findChildren<QLabel *>().size(), 12);
        QCOMPARE(form.SourceFile_2->findChildren<QLabel *>().size(), 12);
        QCOMPARE(form.labelOutputAudioCodec->geometry(), QRect(280, 50, 101, 16));
        QCOMPARE(form.label_12->parentWidget(), form.SourceFile_2);
        QCOMPARE(form.label_12->text(), QStringLiteral("File Size:"));
        QCOMPARE(form.labeltext->text(), QStringLiteral("Video Infomations"));
    }
    {
        QDialog d;
        Ui::settingDialog form;
        build(d, form);
        QCOMPARE(d.minimumSize(), QSize(490, 270));
        QCOMPARE(d.maximumSize(), QSize(490, 270));
        QCOMPARE(form.labeltext->text(), QStringLiteral("Settings"));
        QCOMPARE(form.ProfileDetails->sizeAdjustPolicy(), QComboBox::AdjustToContentsOnFirstShow);
        QCOMPARE(form.ProfileDetails->minimumSize(), QSize(49, 22));
        QVERIFY(form.VSize->isEditable() && form.VBitrate->isEditable());
        QSignalSpy rejected(&d, &QDialog::rejected);
        form.buttonBoxOKCANCEL->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(rejected.count(), 1);
    }
}

void tst_Forms::dialogStyleSheetsAndItems() {
    FormHost window;
    Ui::MainWindow mainForm;
    build(window, mainForm);

    // Every combo box of the settings dialog carries the main window's profile combo sheet.
    QDialog settings;
    Ui::settingDialog settingsForm;
    build(settings, settingsForm);
    const QList<QComboBox *> combos = settings.findChildren<QComboBox *>();
    QCOMPARE(combos.size(), 11);
    for (QComboBox *combo : combos) {
        QCOMPARE(combo->styleSheet(), mainForm.ProfileDevice->styleSheet());
        QCOMPARE(combo->count(), 0);
    }
    QCOMPARE(urlsIn(settings.styleSheet()), QStringList({"skins/default/settingsback.png"}));

    QDialog info;
    Ui::videoInfo infoForm;
    build(info, infoForm);
    QCOMPARE(urlsIn(info.styleSheet()), QStringList({"skins/default/videoinfo.png"}));

    QDialog progress;
    Ui::openProgress progressForm;
    build(progress, progressForm);
    QCOMPARE(urlsIn(progress.styleSheet()), QStringList({"skins/default/Progress.png"}));

    QDialog preferences;
    Ui::preferenceDialog preferencesForm;
    build(preferences, preferencesForm);
    auto items = [](QComboBox *combo) {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    };
    QCOMPARE(items(preferencesForm.SnapFormatComboBox),
             QStringList({"TIFF", "BMP", "PNG", "JPG(High Quality)", "JPG(Standard Quality)",
                          "JPG(Low Quality)"}));
    QCOMPARE(items(preferencesForm.CycleComboBox),
             QStringList({"Every Day", "Every Week", "Every Month"}));
    QCOMPARE(items(preferencesForm.ShutdownComboBox), QStringList({"Do Nothing", "Shut Down"}));
}

void tst_Forms::picturesExistAtTheirSizes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    const struct {
        const char *path;
        QSize size;
    } rows[] = {
        {"skins/default/background.png", {860, 600}},
        {"skins/default/loading.png", {415, 260}},
        {"skins/default/register.png", {400, 287}},
        {"skins/default/config.png", {541, 411}},
        {"skins/default/tixe.png", {280, 150}},
        {"skins/default/tixe_atten.png", {32, 28}},
        {"skins/default/Progress.png", {400, 150}},
        {"skins/default/errorBackground.png", {500, 300}},
        {"skins/default/videoinfo.png", {400, 330}},
        {"skins/default/settingsback.png", {490, 270}},
        {"skins/default/filelist_empty.png", {517, 320}},
        {"skins/default/convert1.bmp", {120, 55}},
        {"skins/default/convert2.bmp", {120, 55}},
        {"skins/default/convert3.bmp", {120, 55}},
        {"skins/default/status_finished.png", {16, 16}},
        {"skins/default/status_err.png", {16, 16}},
        {"skins/default/status_stoped.png", {16, 16}},
        {"skins/default/checkbox_indeterminate.png", {13, 13}},
        {"skins/default/checkbox_indeterminate_d.png", {13, 13}},
        {"skins/default/checkbox_unchecked_d.png", {13, 13}},
        {"skins/default/checkbox_checked_p.png", {13, 13}},
        {"images/default.png", {90, 90}},
        {"images/audio.png", {90, 90}},
        {"images/Apple_Ipad.PNG", {90, 90}},
        {"images/Apple_IPhone.png", {90, 90}},
        {"images/Apple_IPod_classic.png", {90, 90}},
        {"images/Apple_IPod_Nano.png", {90, 90}},
        {"images/Apple_IPod_touch.png", {90, 90}},
        {"images/macpro.PNG", {90, 90}},
        {"images/xbox.png", {90, 90}},
        {"images/PSP_SonyPSP.png", {90, 90}},
        {"images/PS3.PNG", {90, 90}},
        {"images/wii.png", {90, 90}},
        {"images/Mobile Phone.png", {90, 90}},
        {"images/Android.png", {90, 90}},
        {"images/Android Pad.png", {90, 90}},
        {"images/windows phone.png", {90, 90}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.path) << QString::fromUtf8(row.path) << row.size;
}

void tst_Forms::picturesExistAtTheirSizes() {
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage picture(path);
    QVERIFY2(!picture.isNull(), qPrintable(path));
    QCOMPARE(picture.size(), size);
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
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
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
