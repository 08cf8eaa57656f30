#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

#include "app/version.h"
#include "conversion/rowjobbuilder.h"
#include "filelist/filerow.h"
#include "mainwindow/mainwindow.h"
#include "platform/platform.h"
#include "settingsdialog/settingdialog.h"
#include "ui_mainwindow.h"
#include "../mainwindow/windowtestsupport.h"

using namespace WindowTestSupport;

// The Advance button end to end: the main window's current row goes into the
// real settings dialog, the dialog is worked like a user works it, and what
// comes back must reach the main window's boxes, the row's job and the row's
// AviSynth script.
class tst_SettingButton : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void acceptedChoicesReachWindowRowAndScript();
    void typedValuesSurviveTheReplay();
    void codecChoiceBringsItsLists();
    void cancelGivesTheRowBack();
    void unsuitableScriptIsLeftAloneAndTold();
    void noCurrentRowShowsNoDialog();

private:
    QTreeWidgetItem *addRow();
    // Presses Advance; `work` runs on the dialog once it is shown.
    void advance(const std::function<void(settingDialog *)> &work);
    static settingDialog *shownDialog();
    static QComboBox *box(QWidget *window, const char *name);
    static void click(settingDialog *dialog, const char *button);
    static QByteArray read(const QString &path);
    static QStringList userParameters(const QString &scriptPath);
    Ui::MainWindow *ui() { return window->form(); }

    QTemporaryDir *install = nullptr;
    QTemporaryDir *scripts = nullptr;
    MainWindow *window = nullptr;
    bool dialogRan = false;
};

void tst_SettingButton::initTestCase() {
    actAsTheProgram();
}

void tst_SettingButton::init() {
    install = new QTemporaryDir;
    scripts = new QTemporaryDir;
    QVERIFY(install->isValid() && scripts->isValid());
    copyInstallation(install->path());
    useInstallation(install->path());
    window = new MainWindow;
    dialogRan = false;
}

void tst_SettingButton::cleanup() {
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox *>(top))
            top->close();
    }
    delete window;
    window = nullptr;
    leaveInstallation();
    delete scripts;
    scripts = nullptr;
    delete install;
    install = nullptr;
}

QComboBox *tst_SettingButton::box(QWidget *owner, const char *name) {
    auto *found = owner->findChild<QComboBox *>(QLatin1String(name));
    if (!found)
        qFatal("no combo box %s", name);
    return found;
}

void tst_SettingButton::click(settingDialog *dialog, const char *button) {
    QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
}

QByteArray tst_SettingButton::read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList tst_SettingButton::userParameters(const QString &scriptPath) {
    const QStringList lines = QString::fromUtf8(read(scriptPath)).split(QLatin1Char('\n'));
    const int marker = lines.indexOf(QStringLiteral("#User parameters"));
    return marker < 0 ? QStringList() : lines.mid(marker + 1, 6);
}

settingDialog *tst_SettingButton::shownDialog() {
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<settingDialog *>(top); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

QTreeWidgetItem *tst_SettingButton::addRow() {
    auto state = [](QComboBox *combo) {
        ComboFill fill;
        fill.items = comboItems(combo);
        fill.current = combo->currentIndex();
        return fill;
    };
    RowJobInput input;
    input.deviceIndex = ui()->ProfileDevice->currentIndex();
    input.profileIndex = ui()->ProfileDetails->currentIndex();
    input.profileDetails = state(ui()->ProfileDetails);
    input.vcodec = state(ui()->Vcodec);
    input.vsize = state(ui()->VSize);
    input.vbitrate = state(ui()->VBitrate);
    input.vframeRate = state(ui()->VframeRate);
    input.vaspect = state(ui()->Vaspect);
    input.acodec = state(ui()->Acodec);
    input.asamplerate = state(ui()->ASamplerate);
    input.abitrate = state(ui()->ABitrate);
    input.achannels = state(ui()->AChannels);
    input.newInputPath = QStringLiteral("/media/clips/clip one.mp4");
    input.outputPath = scripts->filePath(QStringLiteral("clip one.avi"));
    input.mediaInfo = FileRow::emptyMediaInfo();
    input.mediaInfo[FileRow::InputFormat] = QStringLiteral("mp4");
    input.mediaInfo[FileRow::InputSize] = QStringLiteral("1280x720");
    input.mediaInfo[FileRow::InputFrameRate] = QStringLiteral("25");
    input.mediaInfo[FileRow::InputBitrate] = QStringLiteral("900");
    input.mediaInfo[FileRow::DurationSeconds] = QStringLiteral("12");
    input.mediaInfo[FileRow::DisplayRatio] = QStringLiteral("1.778");
    input.mediaInfo[FileRow::ExactDuration] = QStringLiteral("12.0");
    input.scriptFolder = scripts->path();
    input.avsPluginPath = QStringLiteral("/opt/quillora/plugins/ffms2.so");
    input.avsImportPath = QStringLiteral("/opt/quillora/plugins/a.avsi");
    input.avsHeaderPath = QStringLiteral("/opt/quillora/HEADER.avs");
    const RowJob job = RowJobBuilder::buildAndWrite(input);
    if (!job.valid || !job.error.isEmpty())
        qFatal("cannot build a row: %s", qPrintable(job.error));

    auto *row = new QTreeWidgetItem;
    RowJobBuilder::store(row, job);
    FileRow::setMediaInfo(row, input.mediaInfo);
    ui()->treeWidget->addTopLevelItem(row);
    ui()->treeWidget->setCurrentItem(row);
    return row;
}

void tst_SettingButton::advance(const std::function<void(settingDialog *)> &work) {
    QTimer::singleShot(0, window, [this, work] {
        settingDialog *dialog = shownDialog();
        QVERIFY(dialog);
        dialogRan = true;
        work(dialog);
        // Whatever the work did, the dialog must not stay up.
        if (dialog->isVisible())
            dialog->reject();
    });
    // A dialog that the work left open must not hang the test.
    QTimer::singleShot(5000, window, [] {
        if (settingDialog *dialog = shownDialog())
            dialog->reject();
    });
    window->on_SettingButton_clicked();
}

void tst_SettingButton::acceptedChoicesReachWindowRowAndScript() {
    QVERIFY2(ui()->Vcodec->count() > 0, "the main window's profile slots fill no boxes yet");
    QTreeWidgetItem *row = addRow();
    const QString script = FileRow::effects(row).value(FileRow::ScriptPathEntry);
    QVERIFY(QFile::exists(script));

    QStringList dialogTexts;
    advance([&](settingDialog *dialog) {
        pick(box(dialog, "ProfileDevice"), QStringLiteral("iPod"));
        pick(box(dialog, "ProfileDetails"), 6);
        pick(box(dialog, "VSize"), QStringLiteral("320x240"));
        pick(box(dialog, "AChannels"), 0);
        pick(box(dialog, "ASamplerate"), QStringLiteral("32000"));
        for (const char *name :
             {"ProfileDevice", "ProfileDetails", "Vcodec", "VSize", "VBitrate", "VframeRate",
              "Vaspect", "Acodec", "ASamplerate", "ABitrate", "AChannels"})
            dialogTexts << box(dialog, name)->currentText();
        click(dialog, "pushButtonOk");
    });
    QVERIFY(dialogRan);

    // The main window shows what the dialog showed, and the row holds it.
    QStringList windowTexts;
    for (const char *name :
         {"ProfileDevice", "ProfileDetails", "Vcodec", "VSize", "VBitrate", "VframeRate", "Vaspect",
          "Acodec", "ASamplerate", "ABitrate", "AChannels"})
        windowTexts << box(window, name)->currentText();
    QCOMPARE(windowTexts, dialogTexts);
    const SettingsIndexList saved = FileRow::settingsIndexes(row);
    QCOMPARE(saved.at(0), QStringLiteral("4"));
    QCOMPARE(saved.at(1), QStringLiteral("6"));
    QCOMPARE(saved.at(FileRow::VSizeIndex), QString::number(ui()->VSize->currentIndex()));

    const ArgumentList arguments = FileRow::arguments(row);
    QVERIFY(arguments.last().endsWith(QStringLiteral(".m4v")));
    QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("-s")) + 1),
             QStringLiteral("320x240"));
    QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("-ac")) + 1), QStringLiteral("1"));
    QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("-ar")) + 1),
             QStringLiteral("32000"));

    // Patched away from the window's thread.
    QTRY_COMPARE(userParameters(script),
                 QStringList({"OutputWidth = 320/4*4", "OutputHeight = 240/2*2",
                              "OutputFrameRate = 21", "OutputChannels = 1",
                              "OutputSamplesPerSec = 32000", "OutputBitsPerSample = 16"}));
}

void tst_SettingButton::typedValuesSurviveTheReplay() {
    QVERIFY2(ui()->Vcodec->count() > 0, "the main window's profile slots fill no boxes yet");
    QTreeWidgetItem *row = addRow();
    const QString script = FileRow::effects(row).value(FileRow::ScriptPathEntry);

    advance([](settingDialog *dialog) {
        QLineEdit *size = box(dialog, "VSize")->lineEdit();
        size->selectAll();
        QTest::keyClicks(size, QStringLiteral("800x600"));
        QTest::keyClick(size, Qt::Key_Return);
        // Typed without Enter: OK takes it as it stands.
        QLineEdit *bitrate = box(dialog, "VBitrate")->lineEdit();
        bitrate->selectAll();
        QTest::keyClicks(bitrate, QStringLiteral("1750K"));
        click(dialog, "pushButtonOk");
    });
    QVERIFY(dialogRan);

    QCOMPARE(ui()->VSize->currentText(), QStringLiteral("800x600"));
    QCOMPARE(ui()->VBitrate->currentText(), QStringLiteral("1750K"));
    const ArgumentList arguments = FileRow::arguments(row);
    QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("-s")) + 1),
             QStringLiteral("800x600"));
    QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("-b")) + 1), QStringLiteral("1750K"));
    QCOMPARE(FileRow::mediaInfo(row).at(FileRow::OutputSize), QStringLiteral("800x600"));
    QCOMPARE(FileRow::settingsIndexes(row).at(FileRow::VSizeIndex),
             QString::number(ui()->VSize->currentIndex()));
    // The row remembers the entry for when it becomes current again.
    QVERIFY(FileRow::optionItems(row, FileRow::VSizeItems).contains(QStringLiteral("800x600")));
    QVERIFY(FileRow::optionItems(row, FileRow::VBitrateItems).contains(QStringLiteral("1750K")));
    QTRY_COMPARE(userParameters(script).mid(0, 2),
                 QStringList({"OutputWidth = 800/4*4", "OutputHeight = 600/2*2"}));

    // Opened again and confirmed as it stands, the row keeps its typed values.
    QString shown;
    advance([&shown](settingDialog *dialog) {
        shown = box(dialog, "VSize")->currentText();
        click(dialog, "pushButtonOk");
    });
    QCOMPARE(shown, QStringLiteral("800x600"));
    QCOMPARE(ui()->VSize->currentText(), QStringLiteral("800x600"));
    QCOMPARE(ui()->VBitrate->currentText(), QStringLiteral("1750K"));
    const ArgumentList again = FileRow::arguments(row);
    QCOMPARE(again.value(again.indexOf(QStringLiteral("-s")) + 1), QStringLiteral("800x600"));
}

// A codec of the profile with lists of its own: the dialog offers only what
// that codec takes, and the job gets what the dialog showed.
void tst_SettingButton::codecChoiceBringsItsLists() {
    QVERIFY2(ui()->Vcodec->count() > 0, "the main window's profile slots fill no boxes yet");
    QTreeWidgetItem *row = addRow();
    QCOMPARE(ui()->Acodec->currentText(), QStringLiteral("MP3"));

    QStringList rates;
    QStringList shown;
    advance([&](settingDialog *dialog) {
        pick(box(dialog, "Acodec"), QStringLiteral("ac3"));
        rates = comboItems(box(dialog, "ASamplerate"));
        shown << box(dialog, "ASamplerate")->currentText()
              << box(dialog, "ABitrate")->currentText();
        if (comboItems(box(dialog, "AChannels")).contains(QStringLiteral("5.1")))
            pick(box(dialog, "AChannels"), QStringLiteral("5.1"));
        click(dialog, "pushButtonOk");
    });
    QVERIFY(dialogRan);

    // ac3's own rates and defaults, not those of the MP3 shown before.
    QCOMPARE(rates, QStringList({"32000", "44100", "48000"}));
    QCOMPARE(shown, QStringList({"48000", "192K"}));
    QCOMPARE(comboItems(ui()->ASamplerate), rates);
    const ArgumentList arguments = FileRow::arguments(row);
    auto valueOf = [&arguments](const char *option) {
        return arguments.value(arguments.indexOf(QLatin1String(option)) + 1);
    };
    QCOMPARE(valueOf("-acodec"), QStringLiteral("ac3"));
    QCOMPARE(valueOf("-ar"), QStringLiteral("48000"));
    QCOMPARE(valueOf("-ab"), QStringLiteral("192K"));
    QCOMPARE(valueOf("-ac"), QStringLiteral("6"));
}

void tst_SettingButton::cancelGivesTheRowBack() {
    QVERIFY2(ui()->Vcodec->count() > 0, "the main window's profile slots fill no boxes yet");
    QTreeWidgetItem *row = addRow();
    const QString script = FileRow::effects(row).value(FileRow::ScriptPathEntry);
    const QByteArray scriptBefore = read(script);
    const ArgumentList argumentsBefore = FileRow::arguments(row);
    const SettingsIndexList indexesBefore = FileRow::settingsIndexes(row);
    const int bitrateBefore = ui()->ABitrate->currentIndex();

    advance([](settingDialog *dialog) {
        pick(box(dialog, "ProfileDevice"), QStringLiteral("General Audio"));
        pick(box(dialog, "ABitrate"), 2);
        click(dialog, "pushButtonCancel");
    });
    QVERIFY(dialogRan);

    QCOMPARE(read(script), scriptBefore);
    QCOMPARE(FileRow::arguments(row), argumentsBefore);
    QCOMPARE(FileRow::settingsIndexes(row), indexesBefore);
    QCOMPARE(ui()->ABitrate->currentIndex(), bitrateBefore);

    // Shown again, the row is the video job it still is, and so is the
    // dialog that opens next.
    window->on_treeWidget_itemSelectionChanged();
    QCOMPARE(ui()->ProfileDevice->currentText(), QStringLiteral("General Video"));
    QVERIFY(ui()->Vcodec->isEnabledTo(ui()->Vcodec->parentWidget()));
    QString shownCategory;
    advance([&shownCategory](settingDialog *dialog) {
        shownCategory = box(dialog, "ProfileDevice")->currentText();
        dialog->reject();
    });
    QCOMPARE(shownCategory, QStringLiteral("General Video"));
}

void tst_SettingButton::unsuitableScriptIsLeftAloneAndTold() {
    QVERIFY2(ui()->Vcodec->count() > 0, "the main window's profile slots fill no boxes yet");
    QTreeWidgetItem *row = addRow();
    const QString script = FileRow::effects(row).value(FileRow::ScriptPathEntry);
    const QByteArray handMade = "# written by hand\nreturn BlankClip()\n";
    {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(handMade);
    }

    advance([](settingDialog *dialog) {
        pick(box(dialog, "VSize"), QStringLiteral("320x240"));
        click(dialog, "pushButtonOk");
    });
    QVERIFY(dialogRan);

    // The settings themselves were applied.
    const ArgumentList arguments = FileRow::arguments(row);
    QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("-s")) + 1),
             QStringLiteral("320x240"));
    const auto told = [] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible())
                return box;
        }
        return static_cast<QMessageBox *>(nullptr);
    };
    QTRY_VERIFY(told());
    QVERIFY(told()->text().contains(script));
    QCOMPARE(read(script), handMade);
}

void tst_SettingButton::noCurrentRowShowsNoDialog() {
    // A dialog that came up anyway is closed again, so that the test ends.
    QTimer::singleShot(0, window, [this] {
        if (settingDialog *dialog = shownDialog()) {
            dialogRan = true;
            dialog->reject();
        }
    });
    window->on_SettingButton_clicked();
    QVERIFY(!dialogRan);
    QCoreApplication::processEvents();
}

QTEST_MAIN(tst_SettingButton)
#include "tst_settingbutton.moc"
