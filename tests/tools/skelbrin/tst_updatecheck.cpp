#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "updatecheck.h"
#include "updateprogressdialog.h"

namespace {

constexpr int kToolTimeoutMs = 30000;
const QString kCurrentVersion = "2.1.2.367";
const QString kCheckPath = "/update/quillora.php";
const QString kInstallerPath = "/download/Quillora.exe";
// Whatever the address calls it: the main program's next start removes the
// file by this name.
const QString kSavedName = "tessaline";

// Just enough HTTP for the update tool: one GET per connection, fixed answers
// per path, and the ways a transfer goes wrong: cut short, framed by chunks or
// by nothing at all, trickled, or never answered.
class TinyHttpServer : public QObject {
public:
    enum class Framing {
        Length,  // Content-Length
        Chunked, // Transfer-Encoding: chunked
        Close,   // HTTP/1.0 without a length: the body ends where the connection does
    };
    struct Answer {
        Answer(int status = 200, const QByteArray &body = {}, qint64 announcedLength = -1)
            : status(status), body(body), announcedLength(announcedLength) {}

        int status;
        QByteArray body;
        // Announce this many bytes but send only the body, then hang up.
        qint64 announcedLength;
        Framing framing = Framing::Length;
        // Chunked: hang up before the last (empty) chunk.
        bool cutBeforeLastChunk = false;
        // Send the body one byte at a time, this far apart.
        int trickleMs = 0;
        QByteArray location;
        // Read the request and never answer.
        bool silent = false;
        // More header lines, each ending in "\r\n".
        QByteArray headers;
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
        if (answer.silent)
            return;
        const bool http10 = answer.framing == Framing::Close;
        QByteArray head = QString("HTTP/1.%1 %2 %3\r\nContent-Type: application/octet-stream\r\n")
                              .arg(http10 ? 0 : 1)
                              .arg(answer.status)
                              .arg(answer.status == 200 ? "OK" : "Error")
                              .toLatin1();
        if (answer.framing == Framing::Length) {
            const qint64 length =
                answer.announcedLength >= 0 ? answer.announcedLength : answer.body.size();
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        } else if (answer.framing == Framing::Chunked) {
            head += "Transfer-Encoding: chunked\r\n";
        }
        if (!answer.location.isEmpty())
            head += "Location: " + answer.location + "\r\n";
        head += answer.headers;
        if (!http10)
            head += "Connection: close\r\n";
        socket->write(head + "\r\n");

        QByteArray body = answer.body;
        if (answer.framing == Framing::Chunked) {
            body = QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n";
            if (!answer.cutBeforeLastChunk)
                body += "0\r\n\r\n";
        }
        if (answer.trickleMs <= 0) {
            socket->write(body);
            socket->disconnectFromHost();
            return;
        }
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket, body, sent = 0]() mutable {
            if (sent < body.size())
                socket->write(body.mid(sent++, 1));
            else
                socket->disconnectFromHost();
        });
        timer->start(answer.trickleMs);
    }

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

} // namespace

Q_DECLARE_METATYPE(TinyHttpServer::Answer)

namespace {

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
    void cutInstallerIsNeverSaved_data();
    void cutInstallerIsNeverSaved();
    void plantedLinkIsNotFollowed_data();
    void plantedLinkIsNotFollowed();
    void timeLimitEndsTrickle_data();
    void timeLimitEndsTrickle();
    void windowShowsProgressAndCancels();
    void messagesSayWhatHappened_data();
    void messagesSayWhatHappened();
    void unwritableFolder();
    void unfitDownloadSavesNothing_data();
    void unfitDownloadSavesNothing();
    void failedWriteNamesTheReason();
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
    QCOMPARE(installer.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
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
    // It was reached: it gave an answer, only not the one we asked for.
    QVERIFY2(run.err.contains("answered 404") && !run.err.contains("cannot be reached"),
             qPrintable(run.err));
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

void TestUpdateCheck::cutInstallerIsNeverSaved_data() {
    QTest::addColumn<int>("framing");
    QTest::addColumn<int>("tries");

    // Whether a cut chunked body is noticed depends on how its end meets the
    // close: one try proves little.
    QTest::newRow("chunked, no last chunk") << int(TinyHttpServer::Framing::Chunked) << 20;
    // Nothing tells a whole body from a cut one.
    QTest::newRow("HTTP/1.0, no length") << int(TinyHttpServer::Framing::Close) << 1;
}

void TestUpdateCheck::cutInstallerIsNeverSaved() {
    QFETCH(int, framing);
    QFETCH(int, tries);

    TinyHttpServer::Answer cut{200, installerBytes().left(5000)};
    cut.framing = TinyHttpServer::Framing(framing);
    cut.cutBeforeLastChunk = true;
    m_server->answer(kCheckPath, {200, "2.2"});
    m_server->answer(kInstallerPath, cut);
    for (int i = 0; i < tries; ++i) {
        const ToolRun run = runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath),
                                        m_dir->path(), {"--batch"});
        QVERIFY2(run.exitCode == 5,
                 qPrintable(QString("try %1: %2").arg(i).arg(run.out + run.err)));
        QVERIFY2(folderContents(m_dir->path()).isEmpty(), qPrintable(run.err));
    }
}

void TestUpdateCheck::plantedLinkIsNotFollowed_data() {
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<QString>("linkTarget");

    QTest::newRow("installer name links to a file") << kSavedName << "victim";
    QTest::newRow("installer name dangles") << kSavedName << "missing";
    QTest::newRow("hand-off folder is a link") << QString() << "elsewhere";
}

void TestUpdateCheck::plantedLinkIsNotFollowed() {
    QFETCH(QString, linkName);
    QFETCH(QString, linkTarget);

    m_server->answer(kCheckPath, {200, "2.2"});
    m_server->answer(kInstallerPath, {200, installerBytes()});
    QFile victim(m_dir->filePath("victim"));
    QVERIFY(victim.open(QIODevice::WriteOnly));
    victim.write("not yours");
    victim.close();
    const QString folder = m_dir->filePath("handoff");
    const bool folderIsLink = linkName.isEmpty();
    QVERIFY(QDir().mkdir(folderIsLink ? m_dir->filePath(linkTarget) : folder));
    QVERIFY(
        QFile::link(m_dir->filePath(linkTarget), folderIsLink ? folder : folder + "/" + linkName));
    const QStringList before = folderContents(m_dir->path());

    const ToolRun run =
        runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath), folder, {"--batch"});
    QVERIFY(victim.open(QIODevice::ReadOnly));
    QCOMPARE(victim.readAll(), QByteArray("not yours"));
    QCOMPARE(folderContents(m_dir->path()), before);
    if (folderIsLink) {
        QVERIFY2(run.exitCode == 6 && run.err.contains("symbolic link"), qPrintable(run.err));
        QVERIFY(folderContents(m_dir->filePath(linkTarget)).isEmpty());
        return;
    }
    // The link itself gave way to the installer.
    QVERIFY2(run.exitCode == 10, qPrintable(run.out + run.err));
    QCOMPARE(folderContents(folder), QStringList{kSavedName});
    const QFileInfo saved(folder + "/" + kSavedName);
    QVERIFY(saved.isFile() && !saved.isSymLink());
    QCOMPARE(saved.size(), installerBytes().size());
}

void TestUpdateCheck::timeLimitEndsTrickle_data() {
    QTest::addColumn<bool>("trickleTheAnswer");
    QTest::addColumn<int>("exitCode");

    // Never silent for long enough to trip the limit on silence.
    QTest::newRow("answer") << true << 3;
    QTest::newRow("installer") << false << 5;
}

void TestUpdateCheck::timeLimitEndsTrickle() {
    QFETCH(bool, trickleTheAnswer);
    QFETCH(int, exitCode);

    TinyHttpServer::Answer answer{200, "2.2\n"};
    TinyHttpServer::Answer installer{200, installerBytes()};
    if (trickleTheAnswer)
        answer.trickleMs = 10000;
    else
        installer.trickleMs = 10;
    m_server->answer(kCheckPath, answer);
    m_server->answer(kInstallerPath, installer);

    // Without a limit either would run far past the wait for the tool.
    const ToolRun run = runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath),
                                    m_dir->path(), {"--batch", "--time-limit", "2"});
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
    QVERIFY2(run.err.contains("timed out after"), qPrintable(run.err));
    QVERIFY(folderContents(m_dir->path()).isEmpty());
}

void TestUpdateCheck::windowShowsProgressAndCancels() {
    TinyHttpServer::Answer installer{200, installerBytes()};
    installer.trickleMs = 10;
    m_server->answer(kCheckPath, {200, "2.2"});
    m_server->answer(kInstallerPath, installer);
    skelbrin::UpdateArguments arguments;
    arguments.checkUrl = QUrl(m_server->url(kCheckPath));
    arguments.installerUrl = QUrl(m_server->url(kInstallerPath));
    arguments.handOffFolder = m_dir->path();
    arguments.currentVersion = kCurrentVersion;

    skelbrin::UpdateCheck check(arguments);
    skelbrin::UpdateProgressDialog window(&check);
    QSignalSpy finished(&check, &skelbrin::UpdateCheck::finished);
    check.start();
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible() && window.labelText().contains("Downloading") &&
                                 window.maximum() > 0,
                             kToolTimeoutMs);
    auto *cancel = window.findChild<QPushButton *>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QString("Cancel"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(check.outcome(), skelbrin::UpdateCheck::Outcome::Canceled);
    QVERIFY(!window.isVisible());
    QVERIFY(folderContents(m_dir->path()).isEmpty());
}

void TestUpdateCheck::messagesSayWhatHappened_data() {
    QTest::addColumn<TinyHttpServer::Answer>("check");
    QTest::addColumn<TinyHttpServer::Answer>("installer");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QStringList>("notSaid");

    TinyHttpServer::Answer newer{200, "2.2"};
    TinyHttpServer::Answer silent;
    silent.silent = true;
    QTest::newRow("timeout") << silent << newer << 3 << "timed out"
                             << QStringList{"Operation canceled", "cannot be reached"};
    QTest::newRow("cut with a length")
        << newer << TinyHttpServer::Answer{200, installerBytes().left(5000), 200000} << 5
        << "lost after 5000 of 200000 bytes"
        << QStringList{"after 0 of", "Empty filename passed to function"};

    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString deadHost = QString("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    TinyHttpServer::Answer redirect{302};
    redirect.location = QString("http://%1/moved").arg(deadHost).toLatin1();
    QTest::newRow("check redirected") << redirect << newer << 3 << deadHost << QStringList();
    QTest::newRow("installer redirected") << newer << redirect << 5 << deadHost << QStringList();
}

void TestUpdateCheck::messagesSayWhatHappened() {
    QFETCH(TinyHttpServer::Answer, check);
    QFETCH(TinyHttpServer::Answer, installer);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(QStringList, notSaid);

    m_server->answer(kCheckPath, check);
    m_server->answer(kInstallerPath, installer);
    const ToolRun run = runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath),
                                    m_dir->path(), {"--batch", "--time-limit", "2"});
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    for (const QString &wrong : notSaid)
        QVERIFY2(!run.err.contains(wrong), qPrintable(run.err));
    QVERIFY(folderContents(m_dir->path()).isEmpty());
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

void TestUpdateCheck::unfitDownloadSavesNothing_data() {
    QTest::addColumn<TinyHttpServer::Answer>("installer");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");

    TinyHttpServer::Answer packed{200, qCompress(installerBytes())};
    packed.headers = "Content-Encoding: gzip\r\n";
    QTest::newRow("packed") << packed << 5 << "encoded as \"gzip\"";
    // No disk holds an exabyte: refused before a byte is written.
    QTest::newRow("larger than the disk")
        << TinyHttpServer::Answer{200, installerBytes(), qint64(1) << 60} << 6
        << "bytes are free";
    // A piece of the file, whole in itself.
    TinyHttpServer::Answer piece{206, installerBytes().left(100)};
    piece.headers =
        "Content-Range: bytes 0-99/" + QByteArray::number(installerBytes().size()) + "\r\n";
    QTest::newRow("partial content") << piece << 5 << "answered 206";
}

void TestUpdateCheck::unfitDownloadSavesNothing() {
    QFETCH(TinyHttpServer::Answer, installer);
    QFETCH(int, exitCode);
    QFETCH(QString, said);

    m_server->answer(kCheckPath, {200, "2.2"});
    m_server->answer(kInstallerPath, installer);
    const ToolRun run = runSkelbrin(m_server->url(kCheckPath), m_server->url(kInstallerPath),
                                    m_dir->path(), {"--batch"});
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QVERIFY(folderContents(m_dir->path()).isEmpty());
}

void TestUpdateCheck::failedWriteNamesTheReason() {
    m_server->answer(kCheckPath, {200, "2.2"});
    m_server->answer(kInstallerPath, {200, installerBytes()});
    // A file size limit makes the disk "full" after 32 KiB, halfway through a
    // write; the signal it would send is ignored, so the write fails instead.
    QProcess tool;
    QSignalSpy finished(&tool, &QProcess::finished);
    tool.start("/bin/sh",
               {"-c", "trap '' XFSZ; ulimit -f 64; exec \"$0\" \"$@\"",
                qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/skelbrin", "-p1",
                m_server->url(kCheckPath), "-p2", m_server->url(kInstallerPath), "-p3",
                m_dir->path(), "-v", kCurrentVersion, "--batch"});
    QVERIFY(finished.wait(kToolTimeoutMs));
    const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
    QCOMPARE(tool.exitCode(), 6);
    QVERIFY2(err.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(err));
    QVERIFY(folderContents(m_dir->path()).isEmpty());
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

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
