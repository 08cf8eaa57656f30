#include "updatecheck.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace skelbrin {

namespace {

constexpr int kTransferTimeoutMs = 30000;
// A version answer is a few bytes; a server that sends more is not answering
// the question, and is not read to its end.
constexpr qint64 kMaxCheckAnswerBytes = 4096;

QNetworkRequest requestFor(const QUrl &url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    return request;
}

// A reply that failed, or a server that answered with an error page: either
// way there is no usable body.
QString replyProblem(QNetworkReply *reply) {
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && (status < 200 || status > 299)) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        return QString("the server answered %1 %2").arg(status).arg(reason).trimmed();
    }
    return {};
}

QString hostOf(const QUrl &url) {
    return url.port() > 0 ? QString("%1:%2").arg(url.host()).arg(url.port()) : url.host();
}

} // namespace

UpdateCheck::UpdateCheck(const UpdateArguments &arguments, QObject *parent)
    : QObject(parent), m_arguments(arguments) {}

UpdateCheck::~UpdateCheck() {
    if (m_reply)
        m_reply->abort();
}

void UpdateCheck::start() {
    m_reply = m_network.get(requestFor(m_arguments.checkUrl));
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > kMaxCheckAnswerBytes && m_reply) {
            m_checkAnswerTooLong = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::checkFinished);
}

void UpdateCheck::checkFinished() {
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();

    if (m_checkAnswerTooLong) {
        finish(Outcome::BadAnswer);
        return;
    }
    const QString problem = replyProblem(reply);
    if (!problem.isEmpty()) {
        finish(Outcome::Unreachable, problem);
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

    const QDir folder(m_arguments.handOffFolder);
    if (!folder.mkpath(".")) {
        finish(Outcome::WriteFailed, "the folder cannot be created");
        return;
    }
    m_installerPath = folder.filePath(kInstallerFileName);
    // QSaveFile writes beside the target and renames on commit: a broken
    // download never leaves a half installer under the real name.
    m_installer = std::make_unique<QSaveFile>(m_installerPath);
    m_installer->setDirectWriteFallback(false);
    if (!m_installer->open(QIODevice::WriteOnly)) {
        finish(Outcome::WriteFailed, m_installer->errorString());
        return;
    }
    m_reply = m_network.get(requestFor(m_arguments.installerUrl));
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateCheck::installerDataArrived);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::installerFinished);
}

void UpdateCheck::installerDataArrived() {
    // An error page is not an installer: keep nothing of it.
    if (!replyProblem(m_reply).isEmpty())
        return;
    const QByteArray data = m_reply->readAll();
    if (m_installer->write(data) != data.size()) {
        const QString problem = m_installer->errorString();
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        discardInstaller();
        finish(Outcome::WriteFailed, problem);
    }
}

void UpdateCheck::installerFinished() {
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();

    const QString problem = replyProblem(reply);
    if (!problem.isEmpty()) {
        discardInstaller();
        finish(Outcome::DownloadFailed, problem);
        return;
    }
    const QByteArray rest = reply->readAll();
    if (m_installer->write(rest) != rest.size()) {
        const QString writeProblem = m_installer->errorString();
        discardInstaller();
        finish(Outcome::WriteFailed, writeProblem);
        return;
    }
    if (m_installer->size() == 0) {
        discardInstaller();
        finish(Outcome::DownloadFailed, "the server sent an empty file");
        return;
    }
    // A connection that closes early is not always reported as an error:
    // hold the file to the length the server announced.
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && announced.toLongLong() != m_installer->size()) {
        discardInstaller();
        finish(Outcome::DownloadFailed,
               QStringLiteral("the connection was lost after %1 of %2 bytes")
                   .arg(m_installer->size())
                   .arg(announced.toLongLong()));
        return;
    }
    if (!m_installer->commit()) {
        finish(Outcome::WriteFailed, m_installer->errorString());
        return;
    }
    finish(Outcome::Downloaded);
}

void UpdateCheck::discardInstaller() {
    // A commit after cancelWriting() removes the temporary file.
    m_installer->cancelWriting();
    m_installer->commit();
}

void UpdateCheck::finish(Outcome outcome, const QString &detail) {
    m_outcome = outcome;
    m_detail = detail;
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
    case Outcome::Unreachable:
        return QString("The update server %1 cannot be reached (%2). Please check the Internet "
                       "connection and try again later.")
            .arg(hostOf(m_arguments.checkUrl), m_detail);
    case Outcome::BadAnswer:
        return QString("The update server %1 did not answer with a version number. The update "
                       "check could not be completed.")
            .arg(hostOf(m_arguments.checkUrl));
    case Outcome::DownloadFailed:
        return QString("Quillora %1 is available, but its installer could not be downloaded "
                       "(%2).")
            .arg(newest, m_detail);
    case Outcome::WriteFailed:
        return QString("Quillora %1 is available, but its installer could not be saved in "
                       "\"%2\" (%3).")
            .arg(newest, folder, m_detail);
    }
    return {};
}

} // namespace skelbrin
