#pragma once

#include <functional>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

// Acts on a modal window once it has opened: the modal run blocks the test,
// so the act is queued before the run starts. The poll ends after
// `timeoutMs`, so a window that never opens does not leave a timer behind.
template <typename Window>
void whenModalOpens(std::function<void(Window *)> act, int timeoutMs = 10000)
{
    auto *poll = new QTimer;
    auto *waited = new int(0);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, waited, act, timeoutMs] {
        auto *window = qobject_cast<Window *>(QApplication::activeModalWidget());
        *waited += poll->interval();
        if (!window && *waited < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        delete waited;
        if (window)
            act(window);
    });
    poll->start();
}

// Answers a folder dialog the way a user who types the path does. Typing
// does not wait for the dialog's view of the disk, which fills in later.
inline void typeFolder(QFileDialog *dialog, const QString &folder)
{
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(folder);
    static_cast<QDialog *>(dialog)->accept();
}
