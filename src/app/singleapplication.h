#pragma once

#include <QApplication>
#include <QLockFile>
#include <QSharedMemory>

#include <memory>

// The application object with a guard against a second running copy of the
// same user. The first process owns a small shared-memory segment; a later
// start writes its message there and ends. The owner polls the segment once a
// second and turns a waiting message into messageAvailable().
//
// Segment layout: byte 0 is the flag ('0' nothing waiting, anything else a
// message waiting), then the message in UTF-8 and a terminating 0 byte.
//
// Every user gets a guard of their own: the segment's key is the given key
// followed by the user's id, so that one user's copy neither keeps another
// user's start out nor lets it run unguarded. Whether a copy of this user
// runs is decided by a lock file in the user's own folder, which the owner
// holds: the segment is only the way the message travels, and a System V
// segment outlives an owner that crashed, or may not be made at all. A start
// that takes the lock clears whatever is left of an old segment and becomes
// the owner, with or without a segment; a start that finds the lock taken
// never runs beside the owner. A lock left by an owner that died is taken
// over, whether or not its file still names it. The lock and the file that
// names the segment lie in the user's runtime folder, not under TMPDIR,
// which one terminal may set otherwise than another, and are named after the
// computer: each computer that shares the folder has a guard of its own.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    // Room for a message: Linux gives exactly the size asked for.
    static constexpr int kSegmentSize = 4096;
    static constexpr int kPollIntervalMs = 1000;

    SingleApplication(int &argc, char **argv, const QString &key);
    // Tests stand in for other users through the user id.
    SingleApplication(int &argc, char **argv, const QString &key, uint userId);
    ~SingleApplication() override;

    // The segment's key for one user.
    static QString userKey(const QString &key, uint userId);
    // The file in the user's own folder that names the segment to the system.
    static QString nativeKey(const QString &key, uint userId);

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
