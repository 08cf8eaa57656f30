#include "endsignals.h"

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);

int g_pipe[2] = {-1, -1};
struct sigaction g_before[kSignalCount];

void noteSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe holds a request already.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

EndSignals::EndSignals(QObject *parent) : QObject(parent) {
    // Without the pipe the signals keep their default: the program ends
    // where it stands, as it would without this object.
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndSignals::readPipe);
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int index = 0; index < kSignalCount; ++index)
        ::sigaction(kSignals[index], &action, &g_before[index]);
}

EndSignals::~EndSignals() {
    if (!m_notifier)
        return;
    for (int index = 0; index < kSignalCount; ++index)
        ::sigaction(kSignals[index], &g_before[index], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void EndSignals::readPipe() {
    char bytes[64];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (m_requested)
        return;
    m_requested = true;
    Q_EMIT endRequested();
}

bool EndSignals::isRequested() const {
    return m_requested;
}
