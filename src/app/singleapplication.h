#pragma once

#include <QApplication>
#include <QLockFile>
#include <QSharedMemory>

#include <memory>

// The application object with a guard against a second running copy. The
// first process owns a small shared-memory segment; a later start writes its
// message there and ends. The owner polls the segment once a second and turns
// a waiting message into messageAvailable().
//
// Segment layout: byte 0 is the flag ('0' nothing waiting, anything else a
// message waiting), then the message in UTF-8 and a terminating 0 byte.
//
// A System V segment outlives an owner that crashed, so a stale one would turn
// every later start into a sender. The owner therefore also holds a lock file;
// a start that can take the lock knows that nobody owns the segment, clears
// whatever is left of it and becomes the owner.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    // Room for a message: Linux gives exactly the size asked for.
    static constexpr int kSegmentSize = 4096;
    static constexpr int kPollIntervalMs = 1000;

    SingleApplication(int &argc, char **argv, const QString &key);
    ~SingleApplication() override;

    bool isRunning() const;
    bool sendMessage(const QString &message);

Q_SIGNALS:
    void messageAvailable(const QString &message);

public Q_SLOTS:
    void checkForMessage();

private:
    bool running = false;
    QSharedMemory sharedMemory;
    std::unique_ptr<QLockFile> ownerLock;
};
