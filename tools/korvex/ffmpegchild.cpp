#include "ffmpegchild.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QFile>

#include "platform/writeall.h"

#ifndef KORVEX_FFMPEG
#error "KORVEX_FFMPEG names the ffmpeg program korvex runs"
#endif

const char *FfmpegChild::program() {
    return KORVEX_FFMPEG;
}

pid_t FfmpegChild::start(const QStringList &arguments, int errorWrite) {
    // Everything the child needs is made before fork().
    QList<QByteArray> storage;
    storage << QByteArrayLiteral("ffmpeg");
    for (const QString &argument : arguments)
        storage << QFile::encodeName(argument);
    std::vector<char *> argv;
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // No handler of korvex's may run in the child before it has the
    // defaults back.
    sigset_t all;
    sigfillset(&all);
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &all, &previous);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGTERM, SIG_DFL);
        signal(SIGINT, SIG_DFL);
        signal(SIGHUP, SIG_DFL);
        signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
        }
        dup2(errorWrite, STDERR_FILENO);
        // Never looked up through PATH: the ffmpeg korvex was built and
        // checked against, whatever the caller's PATH holds.
        execv(program(), argv.data());
        const char *why = std::strerror(errno);
        const char prefix[] = "korvex: cannot start ffmpeg: ";
        writeAll(STDERR_FILENO, prefix, sizeof prefix - 1);
        writeAll(STDERR_FILENO, why, std::strlen(why));
        writeAll(STDERR_FILENO, "\n", 1);
        _exit(127);
    }
    const int forkError = errno;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    errno = forkError;
    return child;
}
