#pragma once

#include <memory>

#include <QNetworkAccessManager>
#include <QObject>
#include <QSaveFile>
#include <QString>
#include <QUrl>

#include "updatearguments.h"
#include "versionnumber.h"

class QNetworkReply;

namespace skelbrin {

// The name the installer is saved under in the hand-off folder, whatever the
// address calls it: the main program removes this file at its next start, and
// a name taken from the server could lead out of the folder.
inline const QString kInstallerFileName = QStringLiteral("tessaline");

// One update check: ask the check address for the newest version and, when it
// is newer than ours, download the installer into the hand-off folder under a
// temporary name that is renamed only when the whole file has arrived.
class UpdateCheck : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        UpToDate,
        Downloaded,
        Unreachable,
        BadAnswer,
        DownloadFailed,
        WriteFailed,
    };

    explicit UpdateCheck(const UpdateArguments &arguments, QObject *parent = nullptr);
    ~UpdateCheck() override;

    void start();

    Outcome outcome() const { return m_outcome; }
    // The text the user is shown for the outcome.
    QString message() const;
    QString installerPath() const { return m_installerPath; }

signals:
    void finished();

private:
    void checkFinished();
    void installerDataArrived();
    void installerFinished();
    void discardInstaller();
    void finish(Outcome outcome, const QString &detail = {});

    UpdateArguments m_arguments;
    QNetworkAccessManager m_network;
    QNetworkReply *m_reply = nullptr;
    std::unique_ptr<QSaveFile> m_installer;
    VersionNumber m_newest;
    QString m_installerPath;
    QString m_detail;
    bool m_checkAnswerTooLong = false;
    Outcome m_outcome = Outcome::Unreachable;
};

} // namespace skelbrin
