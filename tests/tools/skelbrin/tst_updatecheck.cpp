#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "updatecheck.h"

namespace {

constexpr int kToolTimeoutMs = 30000;
const QString kCurrentVersion = "2.1.2.367";
const QString kCheckPath = "/update/quillora.php";
const QString kInstallerPath = "/download/Quillora.exe";
// Whatever the address calls it: the main program's next start removes the
// file by this name.
const QString kSavedName = "tessaline";

// Just enough HTTP/1.1 for the update tool: one GET per connection, fixed
// answers per path, and a way to break a transfer half-way.
class TinyHttpServer : public QObject {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        // Announce this many bytes but send only the body, then hang up.
        qint64 announcedLength = -1;
    };

    TinyHttpServer() {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }

    void answer(const QString &path, const Answer &answer) { m_answers.insert(path, answer); }
    QString url(const QString &path) const {
        return QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    QStringList requests;

private:
    void serve(QTcpSocket *socket) {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        if (!pending.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
        const QString path = QString::fromLatin1(requestLine.value(1));
        m_pending.remove(socket);
        requests.append(path);

        const Answer answer = m_answers.value(path, Answer{404, "no such page\n"});
        const qint64 length =
            answer.announcedLength >= 0 ? answer.announcedLength : answer.body.size();
        QByteArray reply = QString("HTTP/1.1 %1 %2\r\nContent-Type: application/octet-stream\r\n"
                                   "Content-Length: %3\r\nConnection: close\r\n\r\n")
                               .arg(answer.status)
                               .arg(answer.status == 200 ? "OK" : "Error")
                               .arg(length)
                               .toLatin1();
        reply += answer.body;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runSkelbrin(const QString &checkUrl, const QString &installerUrl, const QString &folder,
                    const QStringList &extra = {}) {
    QProcess tool;
    QSignalSpy finished(&tool, &QProcess::finished);
    tool.start(
        qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/skelbrin",
        QStringList{"-p1", checkUrl, "-p2", installerUrl, "-p3", folder, "-v", kCurrentVersion} +
            extra);
    ToolRun run;
    // The server answers from this event loop, so wait by spinning it.
    if (!finished.wait(kToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return run;
    }
    run.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(tool.readAllStandardError());
    return run;
}

QStringList folderContents(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QByteArray installerBytes() {
    QByteArray bytes;
    for (int i = 0; i < 300000; ++i)
        bytes.append(char(i * 7));
    return bytes;
}

} // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT

private slots:
    void init();

    void newerVersionIsDownloaded_data();
    void newerVersionIsDownloaded();
    void sameOrOlderIsUpToDate_data();
    void sameOrOlderIsUpToDate();
    void unreachableServer();
    void serverError();
    void garbageAnswer_data();
    void garbageAnswer();
    void brokenDownloadLeavesNothing_data();
    void brokenDownloadLeavesNothing();
    void unwritableFolder();
    void nameNeverLeavesTheFolder();

private:
    std::unique_ptr<TinyHttpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestUpdateCheck::init() {
    m_server = std::make_unique<TinyHttpServer>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestUpdateCheck::newerVersionIsDownloaded_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<QStringList>("extra");

    QTest::newRow("build number") << QByteArray("2.1.2.400\n") << "handoff" << QStringList();
    QTest::newRow("numeric fields, odd folder name")
        << QByteArray("2.1.10") << "hand off 日本'\"" << QStringList();
    QTest::newRow("batch switch") << QByteArray("3.0") << "handoff" << QStringList{"--batch"};
}

void TestUpdateCheck::newerVersionIsDownloaded() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, folderName);
    QFETCH(QStringList, extra);

    m_server->answer(kCheckPath, {200, answer});
    m_server->answer(kInstallerPath, {200, installerBytes()});
    const QString folder = m_dir->filePath(folderName);
    // The hand-off folder need not exist yet.
    const ToolRun run =
        runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath), folder, extra);

    QCOMPARE(run.exitCode, 10);
    QCOMPARE(m_server->requests, QStringList({kCheckPath, kInstallerPath}));
    QCOMPARE(folderContents(folder), QStringList{kSavedName});
    QFile installer(folder + "/" + kSavedName);
    QVERIFY(installer.open(QIODevice::ReadOnly));
    QVERIFY(installer.readAll() == installerBytes());
    QVERIFY2(run.out.contains("is available") && run.out.contains(folder + "/" + kSavedName),
             qPrintable(run.out));
    QVERIFY(run.err.isEmpty());
    QCOMPARE(folderContents(m_dir->path()), QStringList{folderName});
}

void TestUpdateCheck::sameOrOlderIsUpToDate_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("same") << QByteArray("2.1.2.367");
    QTest::newRow("same, shorter") << QByteArray("2.1.2.367.0");
    QTest::newRow("older") << QByteArray("2.1.2.99\r\n");
}

void TestUpdateCheck::sameOrOlderIsUpToDate() {
    QFETCH(QByteArray, answer);
    m_server->answer(kCheckPath, {200, answer});
    m_server->answer(kInstallerPath, {200, installerBytes()});
    const QString folder = m_dir->filePath("handoff");

    const ToolRun run =
        runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath), folder);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("up to date"), qPrintable(run.out));
    QCOMPARE(m_server->requests, QStringList{kCheckPath});
    QVERIFY(!QFileInfo::exists(folder));
}

void TestUpdateCheck::unreachableServer() {
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();

    const QString base = QString("http://127.0.0.1:%1").arg(port);
    const ToolRun run = runSkelbrin(base + kCheckPath, base + kInstallerPath, m_dir->path());
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("cannot be reached") && run.err.contains(QString::number(port)),
             qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY(folderContents(m_dir->path()).isEmpty());
}

void TestUpdateCheck::serverError() {
    // No answer registered for the check: the server says 404.
    const ToolRun run =
        runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath), m_dir->path());
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("cannot be reached"), qPrintable(run.err));
    QVERIFY(folderContents(m_dir->path()).isEmpty());
}

void TestUpdateCheck::garbageAnswer_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("web page") << QByteArray("<html><body>Welcome to our shop</body></html>");
    QTest::newRow("empty") << QByteArray();
    // Not read to its end: a version is a few bytes.
    QTest::newRow("endless") << QByteArray(20 * 1024 * 1024, '7');
}

void TestUpdateCheck::garbageAnswer() {
    QFETCH(QByteArray, answer);
    m_server->answer(kCheckPath, {200, answer});
    const ToolRun run =
        runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath), m_dir->path());
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.contains("did not answer with a version number"), qPrintable(run.err));
    QCOMPARE(m_server->requests, QStringList{kCheckPath});
    QVERIFY(folderContents(m_dir->path()).isEmpty());
}

void TestUpdateCheck::brokenDownloadLeavesNothing_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("announced");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("missing installer") << 404 << qint64(-1) << QByteArray("not here");
    QTest::newRow("connection lost") << 200 << qint64(1000000) << installerBytes();
    QTest::newRow("empty file") << 200 << qint64(-1) << QByteArray();
}

void TestUpdateCheck::brokenDownloadLeavesNothing() {
    QFETCH(int, status);
    QFETCH(qint64, announced);
    QFETCH(QByteArray, body);

    m_server->answer(kCheckPath, {200, "2.2"});
    m_server->answer(kInstallerPath, {status, body, announced});
    // An installer of an earlier run stays as it was.
    QFile earlier(m_dir->filePath(kSavedName));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier installer");
    earlier.close();

    const ToolRun run =
        runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath), m_dir->path());
    QCOMPARE(run.exitCode, 5);
    QVERIFY2(run.err.contains("could not be downloaded"), qPrintable(run.err));
    QCOMPARE(folderContents(m_dir->path()), QStringList{kSavedName});
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier installer"));
}

void TestUpdateCheck::unwritableFolder() {
    m_server->answer(kCheckPath, {200, "2.2"});
    m_server->answer(kInstallerPath, {200, installerBytes()});
    // A file stands where the hand-off folder should be.
    const QString blocked = m_dir->filePath("blocked");
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    const ToolRun run =
        runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath), blocked);
    QCOMPARE(run.exitCode, 6);
    QVERIFY2(run.err.contains("could not be saved"), qPrintable(run.err));
    QCOMPARE(folderContents(m_dir->path()), QStringList{"blocked"});
}

void TestUpdateCheck::nameNeverLeavesTheFolder() {
    const QString sneaky = "/download/..%2F..%2Fescaped";
    m_server->answer(kCheckPath, {200, "2.2"});
    m_server->answer(sneaky, {200, installerBytes()});
    const QString folder = m_dir->filePath("a/b");

    const ToolRun run = runSkelbrin(m_server->url(kCheckPath), m_server->url(sneaky), folder);
    QCOMPARE(run.exitCode, 10);
    QCOMPARE(folderContents(folder), QStringList{kSavedName});
    QCOMPARE(folderContents(m_dir->path()), QStringList{"a"});
    QCOMPARE(folderContents(m_dir->filePath("a")), QStringList{"b"});
}

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
