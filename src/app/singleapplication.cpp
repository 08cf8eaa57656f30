#include "singleapplication.h"

#include <cstring>

#include <QCryptographicHash>
#include <QDebug>
#include <QThread>
#include <QTimer>

#include "platform/filelock.h"
#include "platform/platform.h"
#include "platform/processowner.h"

namespace {

// Named after the computer too: without a session's runtime folder they lie
// in the cache folder, which other computers may share, and a lock taken on
// one computer is not seen on another, nor can its copy hear this one.
QString instanceFilePath(const QString &key, const QString &suffix)
{
    const QString computerKey = key + QLatin1Char('@') + ProcessOwner::computerTag();
    const QByteArray hash =
        QCryptographicHash::hash(computerKey.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return Platform::runtimeDir()
           + QStringLiteral("/instance-%1.%2").arg(QString::fromLatin1(hash), suffix);
}

// Copies bytes to the start of the segment, never past its end.
void writeToSegment(QSharedMemory &memory, const QByteArray &bytes)
{
    memory.lock();
    const qsizetype room = memory.size();
    std::memcpy(memory.data(), bytes.constData(), qMin(room, bytes.size()));
    memory.unlock();
}

// Long enough for a start that has just made the lock file to fill it in.
constexpr unsigned long kLockWriteMs = 100;

// A lock file that names nobody (empty, or zeroes after a power cut, when its
// maker ended between making and writing it) is never taken over by
// QLockFile, however long ago its maker went. Its maker holds the file's
// lock from the moment it makes it until it ends, so a lock nobody holds
// means it has gone; a maker still at work fills the file in meanwhile.
bool takeOverNamelessLock(const QLockFile &lock, const QString &path) {
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock.getLockInfo(&pid, &host, &application))
        return false;
    FileLock held(path, FileLock::Opening::Existing);
    if (!held.isHeld())
        return false;
    QThread::msleep(kLockWriteMs);
    return !lock.getLockInfo(&pid, &host, &application) && held.removeFile();
}

} // namespace

SingleApplication::SingleApplication(int &argc, char **argv, const QString &key)
    : SingleApplication(argc, argv, key, Platform::userId())
{
}

SingleApplication::SingleApplication(int &argc, char **argv, const QString &key, uint userId)
    : QApplication(argc, argv)
{
    const QString ownKey = userKey(key, userId);
    // Qt would name the segment by a file under the temporary folder, which
    // TMPDIR moves; the user's own folder holds still.
    sharedMemory.setNativeKey(nativeKey(key, userId));

    const QString lockPath = instanceFilePath(ownKey, QStringLiteral("lock"));
    ownerLock = std::make_unique<QLockFile>(lockPath);
    ownerLock->setStaleLockTime(0);
    bool nobodyOwns = ownerLock->tryLock(0);
    if (!nobodyOwns && ownerLock->error() == QLockFile::LockFailedError &&
        takeOverNamelessLock(*ownerLock, lockPath))
        nobodyOwns = ownerLock->tryLock(0);

    if (!nobodyOwns && ownerLock->error() == QLockFile::LockFailedError) {
        // Another copy of this user runs. Without its segment the message
        // cannot travel, but this copy still ends.
        running = true;
        ownerLock.reset();
        sharedMemory.attach(QSharedMemory::ReadWrite);
        return;
    }

    if (nobodyOwns) {
        // A segment left by an owner that died: attaching and detaching again
        // removes it once nobody else holds it.
        if (sharedMemory.attach(QSharedMemory::ReadWrite))
            sharedMemory.detach();
    } else {
        // No lock file can be made at all: the segment alone has to tell.
        ownerLock.reset();
        if (sharedMemory.attach(QSharedMemory::ReadWrite)) {
            running = true;
            return;
        }
    }

    running = false;
    if (!sharedMemory.create(kSegmentSize, QSharedMemory::ReadWrite)) {
        // Still the only copy of this user while it holds the lock; later
        // starts just cannot hand over their message.
        qDebug("Unable to create single instance.");
        return;
    }
    writeToSegment(sharedMemory, QByteArray("0", 2));

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &SingleApplication::checkForMessage);
    timer->start(kPollIntervalMs);
}

SingleApplication::~SingleApplication() = default;

QString SingleApplication::userKey(const QString &key, uint userId)
{
    return key + QStringLiteral("-") + QString::number(userId);
}

QString SingleApplication::nativeKey(const QString &key, uint userId)
{
    return instanceFilePath(userKey(key, userId), QStringLiteral("key"));
}

bool SingleApplication::isRunning() const
{
    return running;
}

bool SingleApplication::sendMessage(const QString &message)
{
    if (!running || !sharedMemory.isAttached())
        return false;
    QByteArray bytes("1");
    bytes.append(message.toUtf8());
    bytes.append('\0');
    writeToSegment(sharedMemory, bytes);
    return true;
}

void SingleApplication::checkForMessage()
{
    sharedMemory.lock();
    const QByteArray contents(static_cast<const char *>(sharedMemory.constData()),
                              sharedMemory.size());
    // Reset the flag under the same lock, so that a message written between
    // reading and resetting cannot be lost.
    const bool waiting = !contents.isEmpty() && contents.at(0) != '0';
    if (waiting)
        static_cast<char *>(sharedMemory.data())[0] = '0';
    sharedMemory.unlock();

    if (!waiting)
        return;

    QByteArray text = contents.mid(1);
    const qsizetype end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    Q_EMIT messageAvailable(QString::fromUtf8(text));
}
