#pragma once

#include <QByteArray>
#include <QString>

// Whose a file in a shared folder is, told so that another computer that
// shares the folder (a home on a network drive) never takes it for one of
// its own. A computer is its running kernel and PID namespace: host names
// and machine ids are cloned along with a machine or a container, a boot id
// and a namespace are not. Locks cannot tell this: they are not seen from
// another computer, nor through a second mount of the folder.
class ProcessOwner {
public:
    // This process.
    static ProcessOwner self();
    // This computer in a few letters, for names of files and folders.
    static QString computerTag();

    // What an owner file holds; fromText of a text that names nobody gives
    // an owner that is not valid.
    QByteArray toText() const;
    static ProcessOwner fromText(const QByteArray &text);

    bool isValid() const;
    bool isOnThisComputer() const;
    // On this computer, and no process of its id runs here, or one that
    // started at another time. An owner on another computer, or one whose
    // process cannot be told, is never known to be gone.
    bool isKnownGone() const;

private:
    QString m_computer;
    QString m_host; // for whoever reads the file; nothing is decided by it
    qint64 m_pid = 0;
    qint64 m_started = 0; // clock ticks after the boot; 0: not known
};
