#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QtGlobal>

// The elapsed time of a conversion run in milliseconds: monotonic, 64-bit (no
// wrap after a day), and without the time the run spent paused, so that the
// remaining-time estimate is made on working time only. The time source is
// injectable for tests; by default it is a monotonic clock.
class RunClock {
public:
    using NowFunction = std::function<qint64()>;

    explicit RunClock(NowFunction now = {});

    void start();  // from zero, running
    void pause();  // no effect unless running
    void resume(); // no effect unless paused
    void stop();   // keeps the elapsed time, stops counting

    bool isStarted() const;
    bool isPaused() const;
    qint64 elapsedMs() const;

private:
    qint64 now() const;

    NowFunction m_now;
    QElapsedTimer m_monotonic;
    bool m_started = false;
    bool m_counting = false;
    qint64 m_countedMs = 0; // working time up to the last pause or stop
    qint64 m_since = 0;     // when counting last (re)started
};
