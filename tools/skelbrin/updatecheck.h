#pragma once

#include <memory>

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include "updatearguments.h"
#include "versionnumber.h"

class QNetworkReply;

namespace skelbrin {

class InstallerFile;

// The name the installer is saved under in the hand-off folder, whatever the
// address calls it: the main program removes this file at its next start, and
// a name taken from the server could lead out of the folder.
inline const QString kInstallerFileName = QStringLiteral("tessaline");

// One update check: ask the check address for the newest version and, when it
// is newer than ours, download the installer into the hand-off folder. The
// installer is kept only when the server answered "200 OK" (a part of the
// file is not the installer), announced its length and exactly that many
// bytes arrived; the whole run gives up at the time limit.
class UpdateCheck : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        UpToDate,
        Downloaded,
        CheckFailed,
        BadAnswer,
        DownloadFailed,
        WriteFailed,
        Canceled,
    };
    enum class Stage {
        Checking,
        Downloading,
    };

    explicit UpdateCheck(const UpdateArguments &arguments, QObject *parent = nullptr);
    ~UpdateCheck() override;

    void start();
    // Stops the check or the download; the run ends as Canceled.
    void cancel();

    Outcome outcome() const { return m_outcome; }
    // The text the user is shown for the outcome.
    QString message() const;
    QString installerPath() const { return m_installerPath; }
    QString newestVersion() const { return m_newest.toString(); }

signals:
    // `total` is -1 while it is not known.
    void progress(skelbrin::UpdateCheck::Stage stage, qint64 received, qint64 total);
    void finished();

private:
    // Why we ended a transfer ourselves.
    enum class Stop {
        None,
        AnswerTooLong,
        NoLength,
        Encoded,
        NoRoom,
        TimeLimit,
        WriteFailed,
        Canceled,
    };

    QNetworkReply *get(const QUrl &url, qint64 limitMs);
    QNetworkReply *takeReply();
    void stopTransfer(Stop reason);
    void checkFinished();
    void startDownload();
    void installerHeadersArrived();
    void installerDataArrived();
    void installerFinished();
    // What went wrong with a finished transfer, or nothing.
    QString transferProblem(QNetworkReply *reply);
    QString receivedText() const;
    void finish(Outcome outcome, const QString &detail = {});

    UpdateArguments m_arguments;
    QNetworkAccessManager m_network;
    QNetworkReply *m_reply = nullptr;
    // Where the current transfer stands: redirects move it to other hosts.
    QUrl m_currentUrl;
    QTimer m_limitTimer;
    QElapsedTimer m_clock;
    Stage m_stage = Stage::Checking;
    Stop m_stop = Stop::None;
    std::unique_ptr<InstallerFile> m_installer;
    qint64 m_received = 0;
    qint64 m_announced = -1;
    qint64 m_freeBytes = -1;
    QString m_encoding;
    VersionNumber m_newest;
    QString m_installerPath;
    QString m_failedHost;
    QString m_detail;
    QString m_writeProblem;
    // The server was never reached: no answer, not even an error page.
    bool m_noAnswer = false;
    bool m_finished = false;
    Outcome m_outcome = Outcome::CheckFailed;
};

} // namespace skelbrin
