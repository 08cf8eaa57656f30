#include "runclock.h"

RunClock::RunClock(NowFunction now) : m_now(std::move(now)) {
    if (!m_now)
        m_monotonic.start();
}

qint64 RunClock::now() const {
    return m_now ? m_now() : m_monotonic.elapsed();
}

void RunClock::start() {
    m_started = true;
    m_counting = true;
    m_countedMs = 0;
    m_since = now();
}

void RunClock::pause() {
    if (!m_counting)
        return;
    m_countedMs = elapsedMs();
    m_counting = false;
}

void RunClock::resume() {
    if (!m_started || m_counting)
        return;
    m_counting = true;
    m_since = now();
}

void RunClock::stop() {
    pause();
    m_started = false;
}

bool RunClock::isStarted() const {
    return m_started;
}

bool RunClock::isPaused() const {
    return m_started && !m_counting;
}

qint64 RunClock::elapsedMs() const {
    if (!m_counting)
        return m_countedMs;
    const qint64 delta = now() - m_since;
    return m_countedMs + (delta > 0 ? delta : 0);
}
