#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGHUP, as a logout or a shutdown sends them, turned into a Qt
// signal on this object's thread, so that the program ends through its
// close path instead of dying where it stands. The system's handler only
// writes a byte into a pipe, whose other end a socket notifier watches. One
// object of this class at a time.
class EndSignals : public QObject {
    Q_OBJECT

public:
    explicit EndSignals(QObject *parent = nullptr);
    // The signals are handled again as before.
    ~EndSignals() override;

    // A signal has come, whether or not anyone heard endRequested() then.
    bool isRequested() const;

Q_SIGNALS:
    // Once: a logout sends SIGHUP and SIGTERM together, and whatever comes
    // while the program ends is taken and dropped.
    void endRequested();

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    bool m_requested = false;
};
