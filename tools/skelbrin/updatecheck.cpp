#include "updatecheck.h"

#include <limits>

#include <QDir>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStorageInfo>

#include "installerfile.h"

namespace skelbrin {

namespace {

// A connection that stays silent this long is given up.
constexpr int kSilenceLimitMs = 30000;
// The check is a few bytes: it gets a share of the time limit, not all of it.
constexpr int kCheckLimitMs = 60000;
// A version answer is a few bytes; a server that sends more is not answering
// the question, and is not read to its end.
constexpr qint64 kMaxCheckAnswerBytes = 4096;

QNetworkRequest requestFor(const QUrl &url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(kSilenceLimitMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    // The bytes that arrive must be the bytes the server counted.
    request.setRawHeader("Accept-Encoding", "identity");
    return request;
}

int statusOf(QNetworkReply *reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isSuccess(int status) {
    return status >= 200 && status <= 299;
}

// Only "200 OK" carries the whole file: "206 Partial Content" is a piece
// of it, with a length of its own, and the other answers of success carry
// none or not the file itself.
constexpr int kWholeAnswer = 200;

// The length the server promised, or -1. A body in chunks may carry a length
// header too, but then the chunks decide where it ends, and a connection that
// closes between two chunks is not always reported as an error by Qt: such a
// body cannot be told whole.
qint64 announcedLength(QNetworkReply *reply) {
    if (reply->hasRawHeader("Transfer-Encoding"))
        return -1;
    const QVariant header = reply->header(QNetworkRequest::ContentLengthHeader);
    bool number = false;
    const qint64 length = header.toLongLong(&number);
    return header.isValid() && number && length >= 0 ? length : -1;
}

// The encoding the body was sent in; empty for the bytes themselves. We ask
// for those, so Qt leaves any other encoding as it came: saving such a body
// would keep a packed stream as "the installer".
QByteArray contentEncoding(QNetworkReply *reply) {
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    return encoding == "identity" ? QByteArray() : encoding;
}

QString hostOf(const QUrl &url) {
    return url.port() > 0 ? QString("%1:%2").arg(url.host()).arg(url.port()) : url.host();
}

} // namespace

UpdateCheck::UpdateCheck(const UpdateArguments &arguments, QObject *parent)
    : QObject(parent), m_arguments(arguments) {
    m_limitTimer.setSingleShot(true);
    connect(&m_limitTimer, &QTimer::timeout, this, [this] { stopTransfer(Stop::TimeLimit); });
}

UpdateCheck::~UpdateCheck() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void UpdateCheck::start() {
    m_clock.start();
    m_stage = Stage::Checking;
    emit progress(Stage::Checking, 0, -1);
    m_reply = get(m_arguments.checkUrl,
                  qMin<qint64>(kCheckLimitMs, m_arguments.timeLimitSeconds * qint64(1000)));
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > kMaxCheckAnswerBytes)
            stopTransfer(Stop::AnswerTooLong);
    });
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::checkFinished);
}

void UpdateCheck::cancel() {
    if (m_finished)
        return;
    if (m_reply)
        stopTransfer(Stop::Canceled);
    else
        finish(Outcome::Canceled);
}

QNetworkReply *UpdateCheck::get(const QUrl &url, qint64 limitMs) {
    m_currentUrl = url;
    m_stop = Stop::None;
    QNetworkReply *reply = m_network.get(requestFor(url));
    connect(reply, &QNetworkReply::redirected, this, [this](const QUrl &to) { m_currentUrl = to; });
    m_limitTimer.start(int(qBound(qint64(1), limitMs, qint64(std::numeric_limits<int>::max()))));
    return reply;
}

QNetworkReply *UpdateCheck::takeReply() {
    m_limitTimer.stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    return reply;
}

void UpdateCheck::stopTransfer(Stop reason) {
    if (!m_reply)
        return;
    m_stop = reason;
    // Emits finished() at once, unless that already happened; its slot reads
    // the reason.
    if (!m_reply->isFinished())
        m_reply->abort();
}

void UpdateCheck::checkFinished() {
    QNetworkReply *reply = takeReply();
    if (m_stop == Stop::AnswerTooLong) {
        finish(Outcome::BadAnswer);
        return;
    }
    if (m_stop == Stop::Canceled) {
        finish(Outcome::Canceled);
        return;
    }
    const QString problem = transferProblem(reply);
    if (!problem.isEmpty()) {
        finish(Outcome::CheckFailed, problem);
        return;
    }
    m_newest = VersionNumber::fromServerAnswer(reply->readAll());
    if (!m_newest.isValid()) {
        finish(Outcome::BadAnswer);
        return;
    }
    if (m_newest.compare(VersionNumber::parse(m_arguments.currentVersion)) <= 0) {
        finish(Outcome::UpToDate);
        return;
    }
    startDownload();
}

void UpdateCheck::startDownload() {
    m_stage = Stage::Downloading;
    emit progress(Stage::Downloading, 0, -1);
    m_installer = std::make_unique<InstallerFile>(m_arguments.handOffFolder);
    QString problem;
    if (!m_installer->open(&problem)) {
        finish(Outcome::WriteFailed, problem);
        return;
    }
    m_received = 0;
    m_announced = -1;
    const qint64 remainingMs = m_arguments.timeLimitSeconds * qint64(1000) - m_clock.elapsed();
    m_reply = get(m_arguments.installerUrl, remainingMs);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &UpdateCheck::installerHeadersArrived);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateCheck::installerDataArrived);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::installerFinished);
}

void UpdateCheck::installerHeadersArrived() {
    // Redirects and error pages have headers too; only the installer's count.
    if (!m_reply || statusOf(m_reply) != kWholeAnswer)
        return;
    m_announced = announcedLength(m_reply);
    m_encoding = QString::fromLatin1(contentEncoding(m_reply));
    if (!m_encoding.isEmpty()) {
        m_stop = Stop::Encoded;
    } else if (m_announced < 0) {
        // Without a length a cut-off installer looks like a whole one: not
        // worth downloading at all.
        m_stop = Stop::NoLength;
    } else {
        // A download that cannot fit is refused before it fills the disk.
        m_freeBytes = QStorageInfo(m_arguments.handOffFolder).bytesAvailable();
        if (m_freeBytes < 0 || m_announced <= m_freeBytes)
            return;
        m_stop = Stop::NoRoom;
    }
    // Qt trips over an abort from inside this signal, so the abort waits for
    // the event loop; nothing more is written meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, reply = m_reply] {
            if (reply == m_reply && !reply->isFinished())
                reply->abort();
        },
        Qt::QueuedConnection);
}

void UpdateCheck::installerDataArrived() {
    // An error page is not an installer, nor is a piece of one: keep
    // nothing of it.
    if (!m_reply || m_stop != Stop::None || statusOf(m_reply) != kWholeAnswer)
        return;
    const QByteArray data = m_reply->readAll();
    m_received += data.size();
    if (!m_installer->write(data, &m_writeProblem)) {
        stopTransfer(Stop::WriteFailed);
        return;
    }
    emit progress(Stage::Downloading, m_received, m_announced);
}

void UpdateCheck::installerFinished() {
    installerDataArrived();
    QNetworkReply *reply = takeReply();
    switch (m_stop) {
    case Stop::Canceled:
        finish(Outcome::Canceled);
        return;
    case Stop::WriteFailed:
        finish(Outcome::WriteFailed, m_writeProblem);
        return;
    case Stop::NoLength:
        finish(Outcome::DownloadFailed,
               "the server did not announce the installer's length, so a cut-off download "
               "could not be told from a whole one");
        return;
    case Stop::Encoded:
        finish(Outcome::DownloadFailed,
               QString("the server sent the installer encoded as \"%1\" instead of the file "
                       "itself")
                   .arg(m_encoding));
        return;
    case Stop::NoRoom:
        finish(Outcome::WriteFailed,
               QString("the installer needs %1 bytes, but only %2 bytes are free")
                   .arg(m_announced)
                   .arg(m_freeBytes));
        return;
    default:
        break;
    }
    const QString problem = transferProblem(reply);
    if (!problem.isEmpty()) {
        finish(Outcome::DownloadFailed, problem);
        return;
    }
    if (m_received == 0) {
        finish(Outcome::DownloadFailed, "the server sent an empty file");
        return;
    }
    // Qt does not always report a connection that closes early as an error:
    // hold the file to the length the server announced.
    if (m_received != m_announced) {
        finish(Outcome::DownloadFailed,
               QString("the connection was lost after %1").arg(receivedText()));
        return;
    }
    QString writeProblem;
    if (!m_installer->commit(kInstallerFileName, &writeProblem)) {
        finish(Outcome::WriteFailed, writeProblem);
        return;
    }
    m_installerPath = QDir(m_arguments.handOffFolder).filePath(kInstallerFileName);
    finish(Outcome::Downloaded);
}

QString UpdateCheck::transferProblem(QNetworkReply *reply) {
    m_noAnswer = false;
    const QNetworkReply::NetworkError error = reply->error();
    const int status = statusOf(reply);
    const bool counting = m_stage == Stage::Downloading;
    const QString soFar = counting ? QString(", with %1 received").arg(receivedText()) : QString();
    if (m_stop == Stop::TimeLimit) {
        return QString("it timed out after %1 seconds%2")
            .arg(qRound(m_clock.elapsed() / 1000.0))
            .arg(soFar);
    }
    // Qt ends a transfer that stays silent too long as if it had been
    // canceled; we cancel nothing without saying why.
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        return QString("it timed out: nothing arrived for %1 seconds%2")
            .arg(kSilenceLimitMs / 1000)
            .arg(soFar);
    }
    // Failures of the connection itself come below the content errors. The
    // status may still be that of a redirect that led to the host that failed.
    const bool connectionFailed =
        error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
    const bool redirectRefused = error == QNetworkReply::TooManyRedirectsError ||
                                 error == QNetworkReply::InsecureRedirectError;
    if (connectionFailed && !redirectRefused && (status == 0 || status / 100 == 3)) {
        m_noAnswer = true;
        return reply->errorString();
    }
    if (connectionFailed && isSuccess(status)) {
        return counting ? QString("the connection was lost after %1 (%2)")
                              .arg(receivedText(), reply->errorString())
                        : QString("the connection was lost (%1)").arg(reply->errorString());
    }
    if (status != 0 && status != kWholeAnswer && !redirectRefused) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        return QString("the server answered %1 %2").arg(status).arg(reason).trimmed();
    }
    return error == QNetworkReply::NoError ? QString() : reply->errorString();
}

QString UpdateCheck::receivedText() const {
    if (m_announced < 0)
        return QString("%1 bytes").arg(m_received);
    return QString("%1 of %2 bytes").arg(m_received).arg(m_announced);
}

void UpdateCheck::finish(Outcome outcome, const QString &detail) {
    if (m_finished)
        return;
    m_finished = true;
    m_limitTimer.stop();
    m_outcome = outcome;
    m_detail = detail;
    m_failedHost = hostOf(m_currentUrl);
    // Whatever did not become the installer goes.
    m_installer.reset();
    if (outcome != Outcome::Downloaded)
        m_installerPath.clear();
    emit finished();
}

QString UpdateCheck::message() const {
    const QString newest = m_newest.toString();
    const QString folder = QDir::toNativeSeparators(m_arguments.handOffFolder);
    switch (m_outcome) {
    case Outcome::UpToDate:
        return QString("Quillora is up to date (version %1).").arg(m_arguments.currentVersion);
    case Outcome::Downloaded:
        return QString("Quillora %1 is available. Its installer was saved as \"%2\".")
            .arg(newest, QDir::toNativeSeparators(m_installerPath));
    case Outcome::CheckFailed:
        if (m_noAnswer) {
            return QString("The update server %1 cannot be reached (%2). Please check the "
                           "Internet connection and try again later.")
                .arg(m_failedHost, m_detail);
        }
        return QString("The update check at %1 failed: %2.").arg(m_failedHost, m_detail);
    case Outcome::BadAnswer:
        return QString("The update server %1 did not answer with a version number. The update "
                       "check could not be completed.")
            .arg(m_failedHost);
    case Outcome::DownloadFailed:
        return QString("Quillora %1 is available, but its installer could not be downloaded "
                       "from %2: %3.")
            .arg(newest, m_failedHost, m_detail);
    case Outcome::WriteFailed:
        return QString("Quillora %1 is available, but its installer could not be saved in "
                       "\"%2\" (%3).")
            .arg(newest, folder, m_detail);
    case Outcome::Canceled:
        return QString("The update check was canceled.");
    }
    return {};
}

} // namespace skelbrin
