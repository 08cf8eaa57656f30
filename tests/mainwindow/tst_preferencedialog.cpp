#include <memory>

#include <QtTest>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include "mainwindow/preferencedialog.h"
#include "mainwindow/settingsfile.h"
#include "windowtestsupport.h"

using namespace WindowTestSupport;

// The preferences dialog on its own: what it shows, and what only OK writes.
class tst_PreferenceDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void firstStartDefaults();
    void showsStoredKeys();
    void storedIndexOutOfRange();
    void enterConfirms();
    void cancelLeavesTheSettingsAsTheyWere();
    void onlyOkWritesTheActionAfterConversion_data();
    void onlyOkWritesTheActionAfterConversion();
    void browseSnapshotKeepsTrailingSeparator();
    void cancelledBrowseChangesNothing();
    void openButtonsOpenTypedFolders();
    void dragsFromStripOrRightEdge();

private:
    template <typename T>
    static T *child(preferenceDialog &dialog, const char *name)
    {
        return dialog.findChild<T *>(QLatin1String(name));
    }
    // Picks `folder` in the folder dialog that the next Browse opens.
    static void pickFolderWhenAsked(const QString &folder);

    std::unique_ptr<QTemporaryDir> box;
};

void tst_PreferenceDialog::initTestCase()
{
    actAsTheProgram();
    QDir::setCurrent(stageDir());
}

void tst_PreferenceDialog::init()
{
    SettingsFile::flush();
    QFile::remove(Platform::settingsFile());
    SettingsFile::load();
    box = std::make_unique<QTemporaryDir>();
    QVERIFY(box->isValid());
}

void tst_PreferenceDialog::pickFolderWhenAsked(const QString &folder)
{
    whenModalOpens<QFileDialog>([folder](QFileDialog *dialog) {
        if (folder.isEmpty())
            dialog->reject();
        else
            typeFolder(dialog, folder);
    });
}

void tst_PreferenceDialog::firstStartDefaults()
{
    QVERIFY(!QFile::exists(Platform::settingsFile()));
    preferenceDialog dialog;
    QCOMPARE(child<QLineEdit>(dialog, "OutputPath")->text(), SettingsFile::defaultOutputFolder());
    QCOMPARE(child<QLineEdit>(dialog, "SnapPath")->text(), SettingsFile::defaultSnapshotFolder());
    QVERIFY(SettingsFile::defaultOutputFolder().endsWith(QStringLiteral("/Quillora/output")));
    QVERIFY(!SettingsFile::defaultOutputFolder().contains(QStringLiteral("//")));
    QCOMPARE(dialog.snapFormat(), 1);
    QVERIFY(child<QCheckBox>(dialog, "checkBoxUpdate")->isChecked());
    QCOMPARE(child<QComboBox>(dialog, "CycleComboBox")->currentText(), QStringLiteral("Every Week"));
    QCOMPARE(dialog.shutdownAction(), 0);
    // The folder fields are the caller's to fill.
    QCOMPARE(dialog.outputFolder(), QString());
    QCOMPARE(dialog.snapshotFolder(), QString());
    // Building the dialog writes nothing.
    QVERIFY(!QFile::exists(Platform::settingsFile()));
}

void tst_PreferenceDialog::showsStoredKeys()
{
    SettingsFile::setValue(SettingsFile::kOutput, QStringLiteral("/srv/films"));
    SettingsFile::setValue(SettingsFile::kSnapshot, QStringLiteral("/srv/pictures/"));
    SettingsFile::setValue(SettingsFile::kUpdateEnabled, false);
    SettingsFile::setValue(SettingsFile::kUpdateCycle, 2);
    preferenceDialog dialog;
    QCOMPARE(child<QLineEdit>(dialog, "OutputPath")->text(), QStringLiteral("/srv/films"));
    QCOMPARE(child<QLineEdit>(dialog, "SnapPath")->text(), QStringLiteral("/srv/pictures/"));
    QVERIFY(!child<QCheckBox>(dialog, "checkBoxUpdate")->isChecked());
    QCOMPARE(child<QComboBox>(dialog, "CycleComboBox")->currentIndex(), 2);
    // The cycle can be chosen while the check is off.
    QVERIFY(child<QComboBox>(dialog, "CycleComboBox")->isEnabled());
}

void tst_PreferenceDialog::storedIndexOutOfRange()
{
    SettingsFile::setValue(SettingsFile::kUpdateCycle, 9);
    preferenceDialog dialog;
    QCOMPARE(child<QComboBox>(dialog, "CycleComboBox")->currentIndex(), -1);
    dialog.setShutdownAction(5);
    QCOMPARE(dialog.shutdownAction(), -1);
    // Choosing a cycle repairs the key.
    QTest::keyClick(child<QComboBox>(dialog, "CycleComboBox"), Qt::Key_Down);
    QTest::mouseClick(child<QPushButton>(dialog, "pushButtonOK"), Qt::LeftButton);
    QCOMPARE(SettingsFile::value(SettingsFile::kUpdateCycle).toInt(),
             child<QComboBox>(dialog, "CycleComboBox")->currentIndex());
    QVERIFY(SettingsFile::value(SettingsFile::kUpdateCycle).toInt() >= 0);
}

void tst_PreferenceDialog::enterConfirms()
{
    preferenceDialog dialog;
    QString defaultButton;
    whenModalOpens<preferenceDialog>([&defaultButton](preferenceDialog *shown) {
        for (const QPushButton *button : shown->findChildren<QPushButton *>()) {
            if (button->isDefault())
                defaultButton = button->objectName();
        }
        // Any other default opens a folder dialog that would wait for an answer.
        if (defaultButton == QLatin1String("pushButtonOK"))
            QTest::keyClick(shown->focusWidget(), Qt::Key_Return);
        else
            shown->reject();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(defaultButton, QStringLiteral("pushButtonOK"));
}

void tst_PreferenceDialog::cancelLeavesTheSettingsAsTheyWere()
{
    const QString films = box->filePath(QStringLiteral("films"));
    QVERIFY(QDir().mkpath(films));

    preferenceDialog dialog;
    dialog.setOutputFolder(QStringLiteral("/home/ana/out"));
    whenModalOpens<preferenceDialog>([films](preferenceDialog *shown) {
        QTest::mouseClick(shown->findChild<QCheckBox *>(QStringLiteral("checkBoxUpdate")),
                          Qt::LeftButton);
        QTest::keyClick(shown->findChild<QComboBox *>(QStringLiteral("CycleComboBox")),
                        Qt::Key_Down);
        shown->findChild<QComboBox *>(QStringLiteral("ShutdownComboBox"))->setCurrentIndex(1);
        pickFolderWhenAsked(films);
        QTest::mouseClick(shown->findChild<QPushButton *>(QStringLiteral("BrowseOutputButton")),
                          Qt::LeftButton);
        QTest::mouseClick(shown->findChild<QPushButton *>(QStringLiteral("pushButtonCancel")),
                          Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));

    for (const QString &key : {SettingsFile::kUpdateEnabled, SettingsFile::kUpdateCycle,
                               SettingsFile::kOutput, SettingsFile::kDown})
        QVERIFY2(!SettingsFile::contains(key), qPrintable(key));
    QCOMPARE(dialog.outputFolder(), films);
}

void tst_PreferenceDialog::onlyOkWritesTheActionAfterConversion_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("OK") << "pushButtonOK" << true;
    QTest::newRow("title close") << "closeButton" << false;
}

void tst_PreferenceDialog::onlyOkWritesTheActionAfterConversion()
{
    QFETCH(QString, button);
    QFETCH(bool, accepted);
    preferenceDialog dialog;
    dialog.setShutdownAction(0);
    whenModalOpens<preferenceDialog>([button](preferenceDialog *shown) {
        QTest::keyClick(shown->findChild<QComboBox *>(QStringLiteral("ShutdownComboBox")),
                        Qt::Key_Down);
        QTest::mouseClick(shown->findChild<QAbstractButton *>(button), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
    if (accepted) {
        QCOMPARE(SettingsFile::value(SettingsFile::kDown).toInt(), 1);
        QCOMPARE(dialog.shutdownAction(), 1);
        QCOMPARE(SettingsFile::value(SettingsFile::kUpdateEnabled).toBool(), true);
    } else {
        QVERIFY(!SettingsFile::contains(SettingsFile::kDown));
        QVERIFY(!SettingsFile::contains(SettingsFile::kUpdateEnabled));
    }
}

void tst_PreferenceDialog::browseSnapshotKeepsTrailingSeparator()
{
    const QString pictures = box->filePath(QStringLiteral("my pictures"));
    QVERIFY(QDir().mkpath(pictures));
    for (const QString &chosen : {pictures, QStringLiteral("/")}) {
        preferenceDialog dialog;
        dialog.setSnapshotFolder(QStringLiteral("/old/snap/"));
        whenModalOpens<preferenceDialog>([chosen](preferenceDialog *shown) {
            pickFolderWhenAsked(chosen);
            QTest::mouseClick(shown->findChild<QPushButton *>(QStringLiteral("BrowseSnapButton")),
                              Qt::LeftButton);
            shown->reject();
        });
        dialog.exec();
        const QString stored = chosen == QStringLiteral("/") ? chosen : chosen + QLatin1Char('/');
        QCOMPARE(dialog.snapshotFolder(), stored);
        QCOMPARE(child<QLineEdit>(dialog, "SnapPath")->text(), stored);
        QVERIFY(!SettingsFile::contains(SettingsFile::kSnapshot));
    }
}

void tst_PreferenceDialog::cancelledBrowseChangesNothing()
{
    SettingsFile::setValue(SettingsFile::kOutput, QStringLiteral("/srv/films"));
    preferenceDialog dialog;
    dialog.setOutputFolder(QStringLiteral("/srv/films"));
    dialog.setSnapshotFolder(QStringLiteral("/srv/snap/"));
    whenModalOpens<preferenceDialog>([](preferenceDialog *shown) {
        pickFolderWhenAsked(QString());
        QTest::mouseClick(shown->findChild<QPushButton *>(QStringLiteral("BrowseOutputButton")),
                          Qt::LeftButton);
        pickFolderWhenAsked(QString());
        QTest::mouseClick(shown->findChild<QPushButton *>(QStringLiteral("BrowseSnapButton")),
                          Qt::LeftButton);
        shown->reject();
    });
    dialog.exec();
    QCOMPARE(dialog.outputFolder(), QStringLiteral("/srv/films"));
    QCOMPARE(dialog.snapshotFolder(), QStringLiteral("/srv/snap/"));
    QCOMPARE(SettingsFile::value(SettingsFile::kOutput).toString(), QStringLiteral("/srv/films"));
    QVERIFY(!SettingsFile::contains(SettingsFile::kSnapshot));
}

void tst_PreferenceDialog::openButtonsOpenTypedFolders()
{
    DesktopRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    preferenceDialog dialog;
    dialog.setOutputFolder(QStringLiteral("/srv/films"));
    child<QLineEdit>(dialog, "OutputPath")->setText(QStringLiteral("/srv/typed films"));
    child<QLineEdit>(dialog, "SnapPath")->setText(QStringLiteral("/srv/日本語/"));
    QTest::mouseClick(child<QPushButton>(dialog, "OpenOutputButton"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "OpenSnapButton"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(recorder.opened.size(), 2);
    QCOMPARE(recorder.opened.at(0).toLocalFile(), QStringLiteral("/srv/typed films"));
    QCOMPARE(recorder.opened.at(1).toLocalFile(), QStringLiteral("/srv/日本語/"));
    // Typing changes what Open shows; only OK hands it over.
    QCOMPARE(dialog.outputFolder(), QStringLiteral("/srv/films"));

    // Without a file manager the button does nothing, quietly.
    QTest::mouseClick(child<QPushButton>(dialog, "OpenOutputButton"), Qt::LeftButton);
}

void tst_PreferenceDialog::dragsFromStripOrRightEdge()
{
    preferenceDialog dialog;
    dialog.move(100, 100);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();

    // A press below the strip with the pointer left of x 519 stays.
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(100, 30));
    QTest::mouseMove(&dialog, QPoint(518, 30));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(518, 30));
    QCOMPARE(dialog.pos(), start);

    // The same press moves once the pointer is at x 519 or more.
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(100, 30));
    QTest::mouseMove(&dialog, QPoint(530, 30));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(530, 30));
    QTRY_COMPARE(dialog.pos(), start + QPoint(430, 0));
}

QTEST_MAIN(tst_PreferenceDialog)
#include "tst_preferencedialog.moc"
