#include <QDir>
#include <QTest>

#include "updatearguments.h"

using skelbrin::UpdateArguments;

class TestUpdateArguments : public QObject {
    Q_OBJECT

private slots:
    void theMainWindowsCommandLine();
    void batchAndOrder();
    void refused_data();
    void refused();
};

void TestUpdateArguments::theMainWindowsCommandLine() {
    UpdateArguments parsed;
    QString error;
    QVERIFY(
        skelbrin::parseUpdateArguments({"-p1", "http://updates.example.com/update/quillora.php",
                                        "-p2", "http://updates.example.com/download/Quillora.exe",
                                        "-p3", "/tmp/hand off/", "-v", "2.1.2.367"},
                                       &parsed, &error));
    QCOMPARE(parsed.checkUrl.path(), QString("/update/quillora.php"));
    QCOMPARE(parsed.installerUrl.path(), QString("/download/Quillora.exe"));
    QCOMPARE(parsed.handOffFolder, QString("/tmp/hand off"));
    QCOMPARE(parsed.currentVersion, QString("2.1.2.367"));
    QVERIFY(!parsed.batch);
}

void TestUpdateArguments::batchAndOrder() {
    UpdateArguments parsed;
    QString error;
    QVERIFY(skelbrin::parseUpdateArguments(
        {"--batch", "-v", "2.1", "-p3", "relative", "-p2", "https://h/i", "-p1", "https://h/c"},
        &parsed, &error));
    QVERIFY(parsed.batch);
    QCOMPARE(parsed.handOffFolder, QDir::current().absoluteFilePath("relative"));
    QCOMPARE(parsed.checkUrl, QUrl("https://h/c"));
}

void TestUpdateArguments::refused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QStringList good = {"-p1", "http://h/c", "-p2", "http://h/i",
                              "-p3", "/tmp/x",     "-v",  "2.1.2.367"};
    QTest::newRow("nothing") << QStringList() << "-p1";
    QTest::newRow("unknown word") << (good + QStringList{"-x"}) << "Unknown argument \"-x\"";
    QTest::newRow("value missing") << (good.mid(0, 7)) << "\"-v\" needs a value";
    QStringList noFolder = good;
    noFolder.remove(4, 2);
    QTest::newRow("no folder") << noFolder << "(-p3) is missing";
    QStringList badVersion = good;
    badVersion[7] = "latest";
    QTest::newRow("bad version") << badVersion << "(-v)";
    QStringList fileAddress = good;
    fileAddress[1] = "file:///etc/passwd";
    QTest::newRow("not a web address") << fileAddress << "(-p1)";
    QStringList noHost = good;
    noHost[3] = "http:///i";
    QTest::newRow("no host") << noHost << "(-p2)";
    QTest::newRow("time limit not a number")
        << (good + QStringList{"--time-limit", "soon"}) << "needs a number of seconds";
}

void TestUpdateArguments::refused() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    UpdateArguments parsed;
    QString error;
    QVERIFY(!skelbrin::parseUpdateArguments(arguments, &parsed, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
}

QTEST_APPLESS_MAIN(TestUpdateArguments)
#include "tst_updatearguments.moc"
