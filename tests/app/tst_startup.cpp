#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/startup.h"

// The installation check, the splash pacing and the style-sheet loader, run
// against a made-up installation folder.
class tst_Startup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void requiredItemsAreLinuxNames();
    void completeInstallationPasses();
    void missingItemStopsWithError();
    void folderEntryMustBeFolder_data();
    void folderEntryMustBeFolder();
    void damagedItemIsNamed_data();
    void damagedItemIsNamed();
    void waitLastsAtLeastItsTime();
    void styleSheetLinesAreJoined();
    void missingStyleSheetOnlyLogs();
    void emptyStyleSheetApplies();

private:
    void makeInstallation();
    // Answers the next message box and records what it said.
    void answerNextMessageBox();

    QTemporaryDir *folder = nullptr;
    QString previousDir;
    QString seenTitle;
    QString seenText;
    QString seenDetail;
};

void tst_Startup::init()
{
    previousDir = QDir::currentPath();
    folder = new QTemporaryDir;
    QVERIFY(folder->isValid());
    QDir::setCurrent(folder->path());
    seenTitle.clear();
    seenText.clear();
    seenDetail.clear();
}

void tst_Startup::cleanup()
{
    QDir::setCurrent(previousDir);
    delete folder;
    folder = nullptr;
    qApp->setStyleSheet(QString());
}

void tst_Startup::makeInstallation()
{
    for (const RequiredItem &item : requiredItems()) {
        if (item.isFolder) {
            QVERIFY(QDir().mkpath(item.path));
        } else {
            QFile file(item.path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (item.mustRun)
                QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
        }
    }
    for (const QString &profile : requiredProfileFiles()) {
        QFile file(profile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<profile/>");
    }
}

void tst_Startup::answerNextMessageBox()
{
    QTimer::singleShot(50, this, [this] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                seenTitle = box->windowTitle();
                seenText = box->text();
                seenDetail = box->informativeText();
                box->button(QMessageBox::Ok)->click();
                return;
            }
        }
        answerNextMessageBox();
    });
}

void tst_Startup::requiredItemsAreLinuxNames()
{
    const QList<RequiredItem> items = requiredItems();
    QStringList paths;
    for (const RequiredItem &item : items)
        paths << item.path;
    QCOMPARE(paths.first(), QStringLiteral("skins"));
    QCOMPARE(paths.last(), QStringLiteral("quillora"));
    for (const char *tool : {"korvex", "parlane", "haltwick", "skelbrin", "HEADER.avs",
                             "skin.qss", "skin2.qss"})
        QVERIFY2(paths.contains(QLatin1String(tool)), tool);
    for (const QString &path : paths) {
        QVERIFY2(!path.endsWith(QLatin1String(".exe")), qPrintable(path));
        QVERIFY2(!path.endsWith(QLatin1String(".dll")), qPrintable(path));
    }
    // Folders are checked before files.
    bool seenFile = false;
    for (const RequiredItem &item : items) {
        QVERIFY(!(seenFile && item.isFolder));
        seenFile = seenFile || !item.isFolder;
    }
}

void tst_Startup::completeInstallationPasses()
{
    makeInstallation();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(checkRequiredFiles(), 0);
    // Paced for display: one wait per item and a last one.
    QVERIFY(clock.elapsed() >= 20 * (requiredItems().size() + 1));
}

void tst_Startup::missingItemStopsWithError()
{
    makeInstallation();
    QVERIFY(QFile::remove(QStringLiteral("korvex")));
    answerNextMessageBox();
    QCOMPARE(checkRequiredFiles(), -1);
    QCOMPARE(seenTitle, QStringLiteral("Error"));
    QCOMPARE(seenText,
             QStringLiteral("The software missing file(s),please visit the official website."));
}

void tst_Startup::folderEntryMustBeFolder_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("makeFolder");
    QTest::addColumn<int>("expected");
    QTest::newRow("folder entry as a plain file") << "profile" << false << -1;
    QTest::newRow("file entry as a folder") << "HEADER.avs" << true << 0;
}

void tst_Startup::folderEntryMustBeFolder()
{
    QFETCH(QString, item);
    QFETCH(bool, makeFolder);
    QFETCH(int, expected);
    makeInstallation();
    QFileInfo info(item);
    if (info.isDir())
        QVERIFY(QDir(item).removeRecursively());
    else
        QVERIFY(QFile::remove(item));
    if (makeFolder) {
        QVERIFY(QDir().mkdir(item));
    } else {
        QFile file(item);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (expected != 0)
        answerNextMessageBox();
    QCOMPARE(checkRequiredFiles(), expected);
}

void tst_Startup::damagedItemIsNamed_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("content"); // empty: the item is not there
    QTest::addColumn<QString>("detail");
    QTest::newRow("transcoder that cannot run")
        << "korvex" << QByteArray("#!/bin/sh\n") << "korvex cannot be run.";
    QTest::newRow("profile missing") << "profile/avi.format.xml" << QByteArray()
                                     << "profile/avi.format.xml is missing or cannot be read.";
    QTest::newRow("profile malformed") << "profile/avi.format.xml" << QByteArray("<profile><vco")
                                       << "profile/avi.format.xml is missing or cannot be read.";
}

void tst_Startup::damagedItemIsNamed()
{
    QFETCH(QString, item);
    QFETCH(QByteArray, content);
    QFETCH(QString, detail);
    makeInstallation();
    QVERIFY(QFile::remove(item));
    if (!content.isEmpty()) {
        QFile file(item);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    answerNextMessageBox();
    QCOMPARE(checkRequiredFiles(), -1);
    QCOMPARE(seenText,
             QStringLiteral("The software missing file(s),please visit the official website."));
    QCOMPARE(seenDetail, detail);
}

void tst_Startup::waitLastsAtLeastItsTime()
{
    QElapsedTimer clock;
    clock.start();
    waitWithEvents(20);
    QVERIFY(clock.elapsed() >= 20);
    // It ends: a busy machine may add seconds, seconds for milliseconds more.
    QVERIFY(clock.elapsed() < 10000);
}

void tst_Startup::styleSheetLinesAreJoined()
{
    QFile file(QStringLiteral("skin.qss"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("QPushButton\n{color: red;}\nQLabel{\n  color: blue;\n}\n");
    file.close();
    QVERIFY(setSkin(qApp, QStringLiteral("skin.qss")));
    QCOMPARE(qApp->styleSheet(), QStringLiteral("QPushButton{color: red;}QLabel{  color: blue;}"));
}

void tst_Startup::missingStyleSheetOnlyLogs()
{
    qApp->setStyleSheet(QStringLiteral("QLabel{}"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("setSkin: File does not exist or failed "
                                                        "to open nothing.qss"));
    QVERIFY(!setSkin(qApp, QStringLiteral("nothing.qss")));
    QCOMPARE(qApp->styleSheet(), QStringLiteral("QLabel{}"));
}

void tst_Startup::emptyStyleSheetApplies()
{
    QFile file(QStringLiteral("skin.qss"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qApp->setStyleSheet(QStringLiteral("QLabel{}"));
    QVERIFY(setSkin(qApp, QStringLiteral("skin.qss")));
    QCOMPARE(qApp->styleSheet(), QString());
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
