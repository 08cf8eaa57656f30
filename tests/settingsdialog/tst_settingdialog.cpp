#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <QScopeGuard>
#include <QtTest>

#include "filelist/filerow.h"
#include "platform/platform.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"
#include "settingsdialog/settingdialog.h"
#include "../mainwindow/windowtestsupport.h"

using namespace WindowTestSupport;

using EntryChanges = QMap<int, QString>; // SettingsIndexList entry -> text

// The per-file settings dialog driven the way a user drives it: combo boxes
// are picked (the box's own activated signals), typed into and the dialog
// ended with its buttons. Rows are real file-list items; the profiles and
// the skin are the staged installation's.
class tst_SettingDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void freshDialog();
    void skinIsAppliedOnce();
    void dragsByTheTitleStripOnly();
    void rowSurvivesLoadAndOk_data();
    void rowSurvivesLoadAndOk();
    void choicesReachTheRowAtOnce();
    void xvidForcesTheAspect();
    void savedAspectOutlivesTheXvidRule();
    void generalAudioDisablesTheVideoBoxes();
    void cancelAndCloseGiveTheRowBack();
    void typedValuesBecomeEntries();
    void typedValuesOfTheRowComeBack();
    void typedValuesAreChecked();
    void profilesReadAsTheMainWindowReadsThem();
    void missingProfileFileEmptiesTheLists();

private:
    QComboBox *box(const char *name) const;
    QWidget *widget(const char *name) const;
    SettingsIndexList entries() const { return FileRow::settingsIndexes(row); }
    // Runs the dialog modally and clicks `button` once it is up.
    int execAndClick(QAbstractButton *button);
    // The list that choosing category/profile in a dialog writes into a row.
    SettingsIndexList chosenList(int category, int profile);

    QString stage;
    QString workingFolder;
    settingDialog *dialog = nullptr;
    QTreeWidgetItem *row = nullptr;
};

void tst_SettingDialog::initTestCase() {
    stage = stageDir();
    QVERIFY2(QFile::exists(stage + QStringLiteral("/profile/avi.format.xml")), qPrintable(stage));
    // The program runs in its installation folder, which its skin paths are
    // relative to.
    QVERIFY(QDir::setCurrent(stage));
    workingFolder = QDir::currentPath();
}

void tst_SettingDialog::init() {
    Platform::setInstallDir(stage);
    dialog = new settingDialog;
    // A row as the main window builds it for a new file: General Video, AVI.
    row = new QTreeWidgetItem;
    FileRow::setSettingsIndexes(row, chosenList(0, 0));
}

void tst_SettingDialog::cleanup() {
    delete dialog;
    dialog = nullptr;
    delete row;
    row = nullptr;
    QCOMPARE(QDir::currentPath(), workingFolder);
}

QComboBox *tst_SettingDialog::box(const char *name) const {
    auto *found = dialog->findChild<QComboBox *>(QLatin1String(name));
    if (!found)
        qFatal("no combo box %s", name);
    return found;
}

QWidget *tst_SettingDialog::widget(const char *name) const {
    auto *found = dialog->findChild<QWidget *>(QLatin1String(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

int tst_SettingDialog::execAndClick(QAbstractButton *button) {
    QTimer::singleShot(0, button, [button] {
        QVERIFY(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
    });
    return dialog->exec();
}

SettingsIndexList tst_SettingDialog::chosenList(int category, int profile) {
    settingDialog chooser;
    QTreeWidgetItem fresh;
    FileRow::setSettingsIndexes(&fresh, FileRow::emptySettingsIndexList());
    chooser.loadFromItem(&fresh);
    auto *device = chooser.findChild<QComboBox *>(QStringLiteral("ProfileDevice"));
    auto *details = chooser.findChild<QComboBox *>(QStringLiteral("ProfileDetails"));
    pick(device, category);
    pick(details, profile);
    return FileRow::settingsIndexes(&fresh);
}

void tst_SettingDialog::freshDialog() {
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(dialog->windowFlags() & ~Qt::WindowType_Mask,
             Qt::WindowFlags(Qt::FramelessWindowHint));
    QCOMPARE(dialog->size(), QSize(490, 270));
    QCOMPARE(dialog->item(), nullptr);
    // The skin picture is the window's brush.
    QVERIFY(!dialog->palette().brush(QPalette::Window).texture().isNull());

    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QVERIFY(!widget("buttonBoxOKCANCEL")->isVisible());
    QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("labeltext"))->text(),
             QStringLiteral("Settings"));

    QCOMPARE(comboItems(box("ProfileDevice")), ProfileCatalogue::deviceCategoryList());
    QCOMPARE(box("ProfileDevice")->currentIndex(), 0);
    QCOMPARE(comboItems(box("ProfileDetails")), ProfileCatalogue::descriptions(0));
    QCOMPARE(box("ProfileDetails")->currentIndex(), 0);
    for (const char *name : {"Vcodec", "VSize", "VBitrate", "VframeRate", "Vaspect", "Acodec",
                             "ASamplerate", "ABitrate", "AChannels"})
        QCOMPARE(box(name)->count(), 0);
}

void tst_SettingDialog::skinIsAppliedOnce() {
    // A private installation whose picture can change under the dialog.
    QTemporaryDir install;
    QVERIFY(install.isValid());
    QVERIFY(QDir(install.path()).mkpath(QStringLiteral("skins/default")));
    const QString picture = QStringLiteral("skins/default/settingsback.png");
    QVERIFY(QFile::copy(stage + QLatin1Char('/') + picture, install.filePath(picture)));
    QVERIFY(QDir::setCurrent(install.path()));
    const auto back = qScopeGuard([this] { QDir::setCurrent(stage); });

    settingDialog skinned;
    skinned.show();
    QVERIFY(QTest::qWaitForWindowExposed(&skinned));
    const qint64 before = skinned.palette().brush(QPalette::Window).texture().cacheKey();

    QImage other(490, 270, QImage::Format_ARGB32);
    other.fill(Qt::red);
    QVERIFY(QFile::remove(install.filePath(picture)));
    QVERIFY(other.save(install.filePath(picture)));
    skinned.repaint();
    QCoreApplication::processEvents();

    QCOMPARE(skinned.palette().brush(QPalette::Window).texture().cacheKey(), before);
}

void tst_SettingDialog::dragsByTheTitleStripOnly() {
    dialog->move(100, 100);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const QPoint start = dialog->pos();

    auto drag = [this](QPoint press, QPoint by) {
        const QPoint global = dialog->mapToGlobal(press);
        QMouseEvent down(QEvent::MouseButtonPress, press, global, Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(dialog, &down);
        QMouseEvent move(QEvent::MouseMove, press + by, global + by, Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(dialog, &move);
        QMouseEvent up(QEvent::MouseButtonRelease, press + by, global + by, Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(dialog, &up);
    };

    // The lowest row of the title strip drags, the pressed point staying
    // under the pointer; one row further down nothing moves.
    drag(QPoint(200, 25), QPoint(50, 40));
    QTRY_COMPARE(dialog->pos(), start + QPoint(50, 40));
    drag(QPoint(200, 26), QPoint(30, 30));
    QCoreApplication::processEvents();
    QCOMPARE(dialog->pos(), start + QPoint(50, 40));
}

void tst_SettingDialog::rowSurvivesLoadAndOk_data() {
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("profile");
    QTest::addColumn<EntryChanges>("changes"); // entries set after the choice

    QTest::newRow("AVI defaults") << 0 << 0 << EntryChanges();
    QTest::newRow("AVI, every option moved")
        << 0 << 0 << EntryChanges{{FileRow::VcodecIndex, "4"},      {FileRow::VSizeIndex, "9"},
                                  {FileRow::VBitrateIndex, "3"},    {FileRow::VframeRateIndex, "6"},
                                  {FileRow::VaspectIndex, "2"},     {FileRow::AcodecIndex, "2"},
                                  {FileRow::ASamplerateIndex, "0"}, {FileRow::ABitrateIndex, "7"},
                                  {FileRow::AChannelsIndex, "0"}};
    QTest::newRow("iPod Nano5 m4v") << 4 << 6 << EntryChanges();
    QTest::newRow("Mobile Phone 37") << 11 << 37 << EntryChanges();
    QTest::newRow("General Audio FLAC") << 1 << 5 << EntryChanges();
    QTest::newRow("an option not set") << 2 << 1 << EntryChanges{{FileRow::AChannelsIndex, "-1"}};
}

void tst_SettingDialog::rowSurvivesLoadAndOk() {
    QFETCH(int, category);
    QFETCH(int, profile);
    QFETCH(EntryChanges, changes);

    SettingsIndexList saved = chosenList(category, profile);
    QCOMPARE(saved.at(0), QString::number(category));
    QCOMPARE(saved.at(1), QString::number(profile));
    for (auto it = changes.cbegin(); it != changes.cend(); ++it)
        saved[it.key()] = it.value();
    FileRow::setSettingsIndexes(row, saved);

    dialog->loadFromItem(row);
    QCOMPARE(dialog->item(), row);
    QCOMPARE(entries(), saved);
    const char *names[] = {"ProfileDevice", "ProfileDetails", "Vcodec",   "VSize",
                           "VBitrate",      "VframeRate",     "Vaspect",  "Acodec",
                           "ASamplerate",   "ABitrate",       "AChannels"};
    for (int k = 0; k < FileRow::SettingsIndexCount; ++k) {
        // Boxes of a category without video stay empty whatever was saved.
        if (category == 1 && k == FileRow::VaspectIndex)
            continue;
        QCOMPARE(box(names[k])->currentIndex(), saved.at(k).toInt());
    }

    auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOk"));
    QCOMPARE(execAndClick(ok), int(QDialog::Accepted));
    QCOMPARE(dialog->item(), row);
    QCOMPARE(entries(), saved);
}

void tst_SettingDialog::choicesReachTheRowAtOnce() {
    dialog->loadFromItem(row);
    const SettingsIndexList before = entries();

    pick(box("ABitrate"), 2);
    SettingsIndexList expected = before;
    expected[FileRow::ABitrateIndex] = QStringLiteral("2");
    QCOMPARE(entries(), expected);

    // Choosing a category rewrites the whole list from the new profile.
    pick(box("ProfileDevice"), QStringLiteral("iPod"));
    pick(box("ProfileDetails"), 11);
    QCOMPARE(entries().at(0), QStringLiteral("4"));
    QCOMPARE(entries().at(1), QStringLiteral("11"));
    const ProfileSelection touch =
        ProfileLoader::load(stage, QStringLiteral("ipodtouch_m4v.format.xml"));
    QVERIFY(touch.loaded);
    QCOMPARE(entries().at(FileRow::ABitrateIndex), QString::number(touch.abitrate.current));
    QCOMPARE(box("Vcodec")->currentText(), touch.vcodec.currentText());
}

void tst_SettingDialog::xvidForcesTheAspect() {
    dialog->loadFromItem(row);
    pick(box("Vaspect"), 2);
    pick(box("Vcodec"), QStringLiteral("Xvid"));
    // The source's own shape: a 16:9 source is not squeezed to 4:3.
    QCOMPARE(box("Vaspect")->currentText(), QStringLiteral("default"));
    QCOMPARE(entries().at(FileRow::VcodecIndex),
             QString::number(box("Vcodec")->findText(QStringLiteral("Xvid"))));
    QCOMPARE(entries().at(FileRow::VaspectIndex), QStringLiteral("0"));

    // Any other codec leaves the aspect alone.
    pick(box("Vaspect"), 2);
    pick(box("Vcodec"), QStringLiteral("MPEG-4"));
    QCOMPARE(box("Vaspect")->currentText(), QStringLiteral("16:9"));
    QCOMPARE(entries().at(FileRow::VaspectIndex), QStringLiteral("2"));

    // A profile whose default codec is Xvid starts at the source's shape.
    pick(box("Vaspect"), 2);
    pick(box("ProfileDetails"), QStringLiteral("Xvid - Video(*.avi)"));
    QCOMPARE(box("Vcodec")->currentText(), QStringLiteral("Xvid"));
    QCOMPARE(box("Vaspect")->currentText(), QStringLiteral("default"));
    QCOMPARE(entries().at(FileRow::VaspectIndex), QStringLiteral("0"));
}

void tst_SettingDialog::savedAspectOutlivesTheXvidRule() {
    SettingsIndexList saved = chosenList(0, 5); // Xvid - Video(*.avi)
    QCOMPARE(saved.at(FileRow::VcodecIndex), QStringLiteral("0"));
    saved[FileRow::VaspectIndex] = QStringLiteral("2");
    FileRow::setSettingsIndexes(row, saved);

    dialog->loadFromItem(row);
    QCOMPARE(box("Vcodec")->currentText(), QStringLiteral("Xvid"));
    QCOMPARE(box("Vaspect")->currentText(), QStringLiteral("16:9"));
    QCOMPARE(entries(), saved);
}

void tst_SettingDialog::generalAudioDisablesTheVideoBoxes() {
    dialog->loadFromItem(row);
    pick(box("ProfileDevice"), QStringLiteral("General Audio"));

    QCOMPARE(comboItems(box("ProfileDetails")), ProfileCatalogue::descriptions(1));
    QCOMPARE(box("ProfileDetails")->currentIndex(), 0);
    for (const char *name : {"Vcodec", "VSize", "VBitrate", "VframeRate", "Vaspect"})
        QVERIFY2(!box(name)->isEnabled(), name);
    for (const char *name : {"Acodec", "ASamplerate", "ABitrate", "AChannels"})
        QVERIFY2(box(name)->isEnabled(), name);
    QCOMPARE(box("Vaspect")->count(), 0);
    QCOMPARE(box("Acodec")->currentText(), QStringLiteral("AAC"));
    QCOMPARE(entries().at(0), QStringLiteral("1"));
    QCOMPARE(entries().at(1), QStringLiteral("0"));
    QCOMPARE(entries().at(FileRow::VaspectIndex), QStringLiteral("-1"));

    pick(box("ProfileDevice"), QStringLiteral("iPad"));
    for (const char *name : {"Vcodec", "VSize", "VBitrate", "VframeRate", "Vaspect"})
        QVERIFY2(box(name)->isEnabled(), name);
    QCOMPARE(comboItems(box("Vaspect")), QStringList({"default", "4:3", "16:9"}));
    QCOMPARE(entries().at(0), QStringLiteral("2"));
}

void tst_SettingDialog::cancelAndCloseGiveTheRowBack() {
    // A profile index the category lacks: loading alone rewrites it, and
    // that too is undone.
    SettingsIndexList before = chosenList(0, 2);
    before[FileRow::ProfileIndex] = QStringLiteral("40");
    FileRow::setSettingsIndexes(row, before);
    dialog->loadFromItem(row);
    pick(box("ProfileDevice"), QStringLiteral("General Audio"));
    pick(box("ABitrate"), 2);
    QCOMPARE(entries().at(FileRow::DeviceIndex), QStringLiteral("1"));

    auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("pushButtonCancel"));
    QCOMPARE(execAndClick(cancel), int(QDialog::Rejected));
    QCOMPARE(entries(), before);

    dialog->loadFromItem(row);
    pick(box("AChannels"), 0);
    auto *close = dialog->findChild<QToolButton *>(QStringLiteral("closeButton"));
    QCOMPARE(execAndClick(close), int(QDialog::Rejected));
    QCOMPARE(entries(), before);
}

void tst_SettingDialog::typedValuesBecomeEntries() {
    FileRow::setSettingsIndexes(row, chosenList(0, 0));
    dialog->loadFromItem(row);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QComboBox *size = box("VSize");
    QComboBox *bitrate = box("VBitrate");
    const int sizes = size->count();
    const int bitrates = bitrate->count();

    // Enter takes the text as a new last entry at once.
    size->lineEdit()->selectAll();
    QTest::keyClicks(size->lineEdit(), QStringLiteral("800x600"));
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    QCOMPARE(size->count(), sizes + 1);
    QCOMPARE(entries().at(FileRow::VSizeIndex), QString::number(sizes));
    QCOMPARE(dialog->optionText(FileRow::VSizeIndex, sizes), QStringLiteral("800x600"));

    // A text typed without Enter still counts when OK is pressed; one that
    // equals an entry chooses that entry.
    bitrate->lineEdit()->selectAll();
    QTest::keyClicks(bitrate->lineEdit(), QStringLiteral("1750K"));
    auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOk"));
    QCOMPARE(execAndClick(ok), int(QDialog::Accepted));
    QCOMPARE(bitrate->count(), bitrates + 1);
    QCOMPARE(entries().at(FileRow::VBitrateIndex), QString::number(bitrates));
    QCOMPARE(dialog->optionText(FileRow::VBitrateIndex, bitrates), QStringLiteral("1750K"));

    dialog->loadFromItem(row);
    size->lineEdit()->selectAll();
    QTest::keyClicks(size->lineEdit(), QStringLiteral("640x480"));
    QCOMPARE(execAndClick(ok), int(QDialog::Accepted));
    QCOMPARE(size->count(), sizes);
    QCOMPARE(entries().at(FileRow::VSizeIndex),
             QString::number(size->findText(QStringLiteral("640x480"))));
}

void tst_SettingDialog::typedValuesOfTheRowComeBack() {
    // A row whose size was typed earlier: the index lies past the profile's
    // entries, and the row's copy of the main window's items holds the text.
    SettingsIndexList saved = chosenList(0, 0);
    const ProfileSelection avi = ProfileLoader::load(stage, QStringLiteral("avi.format.xml"));
    saved[FileRow::VSizeIndex] = QString::number(avi.vsize.items.size());
    FileRow::setSettingsIndexes(row, saved);
    FileRow::setOptionItems(row, FileRow::VSizeItems,
                            avi.vsize.items + QStringList{QStringLiteral("800x600")});

    dialog->loadFromItem(row);
    QCOMPARE(box("VSize")->currentText(), QStringLiteral("800x600"));
    QCOMPARE(entries(), saved);

    // A copy made from another profile's list brings nothing back.
    FileRow::setOptionItems(row, FileRow::VSizeItems,
                            QStringList{QStringLiteral("Auto"), QStringLiteral("800x600")} +
                                avi.vsize.items);
    dialog->loadFromItem(row);
    QCOMPARE(box("VSize")->count(), avi.vsize.items.size());
    QCOMPARE(box("VSize")->currentIndex(), -1);
    QCOMPARE(entries(), saved);
}

void tst_SettingDialog::typedValuesAreChecked() {
    dialog->loadFromItem(row);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QComboBox *size = box("VSize");
    QComboBox *bitrate = box("VBitrate");
    const SettingsIndexList before = entries();
    const QStringList sizes = comboItems(size);
    const QStringList bitrates = comboItems(bitrate);
    auto type = [](QComboBox *into, const QString &text) {
        into->lineEdit()->selectAll();
        QTest::keyClicks(into->lineEdit(), text);
        QTest::keyClick(into->lineEdit(), Qt::Key_Return);
    };
    // The message that names the text, closed once read.
    auto told = [](const QString &text) {
        bool found = false;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *message = qobject_cast<QMessageBox *>(top);
            if (message && message->isVisible() && message->text().contains(text)) {
                found = true;
                message->close();
            }
        }
        return found;
    };

    // Text that is no size or bitrate is refused at once; the box shows its
    // value again and the row keeps it.
    for (const QString &text : {QStringLiteral("abc"), QStringLiteral("0x0")}) {
        type(size, text);
        QVERIFY2(told(text), qPrintable(text));
        QCOMPARE(size->currentText(), size->itemText(size->currentIndex()));
    }
    type(bitrate, QStringLiteral("abc"));
    QVERIFY(told(QStringLiteral("abc")));
    QCOMPARE(bitrate->currentText(), bitrate->itemText(bitrate->currentIndex()));
    QCOMPARE(comboItems(size), sizes);
    QCOMPARE(comboItems(bitrate), bitrates);
    QCOMPARE(entries(), before);

    // A size that H.264 cannot make is taken as the size it makes of it.
    pick(box("Vcodec"), QStringLiteral("H.264/MPEG-4 AVC"));
    type(size, QStringLiteral("641x479"));
    QCOMPARE(size->currentText(), QStringLiteral("640x478"));
    QCOMPARE(dialog->optionText(FileRow::VSizeIndex, entries().at(FileRow::VSizeIndex).toInt()),
             QStringLiteral("640x478"));
}

void tst_SettingDialog::profilesReadAsTheMainWindowReadsThem() {
    // The dialog holds what the one profile reader selects, the bitrate rule
    // included (the last matching entry wins, the last entry too).
    dialog->loadFromItem(row);
    for (int category : {0, 2, 6, 7, 11}) {
        pick(box("ProfileDevice"), category);
        for (int profile = 0; profile < box("ProfileDetails")->count(); ++profile) {
            pick(box("ProfileDetails"), profile);
            const auto entry = ProfileCatalogue::entry(category, profile);
            QVERIFY(entry);
            const ProfileSelection expected = ProfileLoader::load(stage, entry->fileName);
            const struct {
                const char *name;
                ComboFill fill;
            } boxes[] = {{"Vcodec", expected.vcodec},     {"VSize", expected.vsize},
                         {"VBitrate", expected.vbitrate}, {"VframeRate", expected.vframeRate},
                         {"Acodec", expected.acodec},     {"ASamplerate", expected.asamplerate},
                         {"ABitrate", expected.abitrate}, {"AChannels", expected.achannels}};
            for (const auto &b : boxes) {
                QCOMPARE(comboItems(box(b.name)), b.fill.items);
                QCOMPARE(box(b.name)->currentIndex(), b.fill.current);
            }
        }
    }
}

void tst_SettingDialog::missingProfileFileEmptiesTheLists() {
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    dialog->loadFromItem(row);
    Platform::setInstallDir(empty.path());
    pick(box("ProfileDetails"), 1);
    for (const char *name : {"Vcodec", "VSize", "VBitrate", "VframeRate", "Acodec", "ASamplerate",
                             "ABitrate", "AChannels"})
        QCOMPARE(box(name)->count(), 0);
    QCOMPARE(entries().at(1), QStringLiteral("1"));
    QCOMPARE(entries().at(FileRow::VcodecIndex), QStringLiteral("-1"));

    Platform::setInstallDir(stage);
    pick(box("ProfileDetails"), 2);
    QVERIFY(box("Vcodec")->count() > 0);
}

QTEST_MAIN(tst_SettingDialog)
#include "tst_settingdialog.moc"
