#pragma once

// Helpers for the tests that drive the real main window over its file list.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QTimer>

#include "app/version.h"
#include "platform/platform.h"

namespace WindowTest {

inline QString media(const QString &name)
{
    return qEnvironmentVariable("QUILLORA_TEST_MEDIA") + QLatin1Char('/') + name;
}

inline QString stage()
{
    return qEnvironmentVariable("QUILLORA_STAGE_DIR");
}

// The program runs from its installation folder: the staged one.
inline void useStagedInstallation()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));
    Platform::setInstallDir(stage());
    QDir::setCurrent(stage());
    QFile::remove(Platform::settingsFile());
}

// Answers every modal dialog that opens while it lives, so that no test can
// hang on one, and remembers what the add-result dialog said.
class ModalAnswerer : public QObject
{
public:
    ModalAnswerer()
    {
        connect(&poll, &QTimer::timeout, this, [this] { answer(); });
        poll.start(20);
    }

    int answered = 0;
    QString addedLine;
    QString failedLine;
    QStringList failedFiles;
    QStringList otherDialogs;

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<QDialog *>(modal);
        if (!dialog || !dialog->isVisible())
            return;
        ++answered;
        if (dialog->objectName() == QLatin1String("errFiledialog")) {
            addedLine = dialog->findChild<QLabel *>(QStringLiteral("successLabel"))->text();
            failedLine = dialog->findChild<QLabel *>(QStringLiteral("errorLabel"))->text();
            failedFiles = dialog->findChild<QTextBrowser *>(QStringLiteral("errortextBrowser"))
                              ->toPlainText()
                              .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
            return;
        }
        otherDialogs << dialog->metaObject()->className();
        dialog->reject();
    }

    QTimer poll;
};

} // namespace WindowTest
