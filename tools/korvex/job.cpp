#include "job.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "conversion/partfilename.h"
#include "ffmpegchild.h"
#include "fielddetector.h"
#include "filelist/outputname.h"
#include "platform/filepublish.h"
#include "platform/writeall.h"
#include "platform/writerlock.h"
#include "probe.h"
#include "wrapperscript.h"

namespace {

// Set from the signal handler; before anything needs cleaning up, a stop
// request simply ends the process.
volatile sig_atomic_t g_signal = 0;
volatile sig_atomic_t g_cleanupArmed = 0;
int g_wakeWrite = -1;

void onStopSignal(int signal) {
    g_signal = signal;
    if (!g_cleanupArmed)
        _exit(Job::Stopped);
    if (g_wakeWrite >= 0) {
        const char byte = 1;
        const ssize_t ignored = write(g_wakeWrite, &byte, 1);
        (void)ignored;
    }
}

constexpr qint64 kMaxScriptBytes = 64 * 1024;
constexpr int kReadBufferBytes = 64 * 1024;
// The main program reads its text in chunks; a failure notice that shares a
// chunk with a progress line goes unnoticed, so it waits this long after one.
constexpr qint64 kFailureGapMs = 250;
// An output this much shorter than its source was cut off.
constexpr double kShortSeconds = 0.5;
constexpr double kShortFraction = 0.05;

qint64 nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// A file under one of this job's own names that nobody writes: another
// user's stays, whatever it is called.
bool isOursAndFree(const QString &path) {
    const WriterLock::Facts facts = WriterLock::factsOf(path);
    return facts.ours && facts.lock != WriterLock::State::Held;
}

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

bool statFile(const QString &path, struct stat *info) {
    return ::stat(native(path).constData(), info) == 0;
}

QByteArray writeFailureText(const QString &output, const QString &reason) {
    // "Operation not permitted" is the words the main program looks for to
    // mark a job whose output could not be written.
    QString text = QStringLiteral("korvex: cannot write '%1': %2").arg(output, reason);
    if (reason != systemError(EPERM))
        text += QStringLiteral(" (%1)").arg(systemError(EPERM));
    return text.toUtf8();
}

// The signals that stop a job.
sigset_t stopSignals() {
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGHUP);
    return stopping;
}

} // namespace

Job::Job(const QStringList &arguments) : m_arguments(arguments) {}

QString Job::temporaryPath(const QString &outputPath, qint64 pid) {
    return PartFileName::forOutput(outputPath, pid);
}

void Job::say(const QByteArray &text) {
    if (m_callerGone)
        return;
    if (writeAll(STDERR_FILENO, text.constData(), size_t(text.size())) == EPIPE)
        m_callerGone = true;
}

int Job::run() {
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A caller that goes away shows as a failed write, handled like a stop.
    signal(SIGPIPE, SIG_IGN);

    int exitCode = Success;
    if (!prepare(&exitCode))
        return exitCode;
    return execute();
}

bool Job::refuseSameFile(const QStringList &sources) {
    struct stat out;
    if (!statFile(m_output, &out))
        return false;
    for (const QString &source : sources) {
        struct stat in;
        if (source.isEmpty() || !statFile(source, &in))
            continue;
        // The same inode catches links, other spellings of the path and
        // names that differ only in case on such file systems.
        if (in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            say(QStringLiteral("korvex: the output '%1' is the source '%2' itself; choose another "
                               "output name\n")
                    .arg(m_output, source)
                    .toUtf8());
            return true;
        }
    }
    return false;
}

bool Job::prepare(int *exitCode) {
    QString error;
    if (!JobRequest::parse(m_arguments, &m_request, &error)) {
        say(QStringLiteral("korvex: %1\n").arg(error).toUtf8());
        *exitCode = Refused;
        return false;
    }
    // Told now, before the field check and the part file: no other ffmpeg
    // stands in for the one korvex is built for.
    if (::access(FfmpegChild::program(), X_OK) != 0) {
        say(QStringLiteral("korvex: the ffmpeg program %1 is missing or cannot be run (%2); '%3' "
                           "was not written\n")
                .arg(QFile::decodeName(FfmpegChild::program()), systemError(errno),
                     m_request.output)
                .toUtf8());
        *exitCode = Failed;
        return false;
    }
    m_input = QFileInfo(m_request.input).absoluteFilePath();
    m_source = m_input;

    WrapperScript script;
    QStringList logoInputOptions;
    const bool usesScript =
        QFileInfo(m_input).suffix().compare(QLatin1String("avs"), Qt::CaseInsensitive) == 0;
    if (usesScript) {
        QFile file(m_input);
        const QFileInfo info(m_input);
        if (!info.isFile() || info.size() > kMaxScriptBytes || !file.open(QIODevice::ReadOnly)) {
            say(QStringLiteral("korvex: %1: %2\n")
                    .arg(m_request.input, info.exists()
                                              ? QStringLiteral("not a script that korvex can read")
                                              : systemError(ENOENT))
                    .toUtf8());
            *exitCode = info.exists() ? Refused : Failed;
            return false;
        }
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder.decode(file.readAll());
        if (decoder.hasError()) {
            say(QStringLiteral("korvex: %1: the script is not UTF-8 text\n")
                    .arg(m_request.input)
                    .toUtf8());
            *exitCode = Refused;
            return false;
        }
        if (!WrapperScript::parse(text, info.absolutePath(), &script, &error)) {
            say(QStringLiteral("korvex: %1: %2; the script is refused\n")
                    .arg(m_request.input, error)
                    .toUtf8());
            *exitCode = Refused;
            return false;
        }
        m_source = script.sourcePath;
        if (!script.logoPath.isEmpty() && !QFileInfo(script.logoPath).isReadable()) {
            say(QStringLiteral("korvex: the logo picture '%1' cannot be read\n")
                    .arg(script.logoPath)
                    .toUtf8());
            *exitCode = Failed;
            return false;
        }
        if (!script.logoPath.isEmpty()) {
            const Probe::Media logo = Probe::read(script.logoPath);
            if (!logo.opened) {
                say(QStringLiteral("korvex: the logo picture '%1' cannot be read: %2\n")
                        .arg(script.logoPath, logo.error)
                        .toUtf8());
                *exitCode = Failed;
                return false;
            }
            logoInputOptions = logo.inputOptions;
        }
    }

    const Probe::Media media = Probe::read(m_source);
    if (!media.opened) {
        say(QStringLiteral("korvex: %1: %2\n")
                .arg(usesScript ? m_source : m_request.input, media.error)
                .toUtf8());
        *exitCode = Failed;
        return false;
    }
    if (!media.hasVideo() && !media.hasAudio()) {
        say(QStringLiteral("korvex: %1: no audio or video stream found\n").arg(m_source).toUtf8());
        *exitCode = Failed;
        return false;
    }

    m_output = QFileInfo(m_request.output).absoluteFilePath();
    if (QFileInfo(m_output).isDir()) {
        say(QStringLiteral("korvex: the output '%1' is a folder\n").arg(m_output).toUtf8());
        *exitCode = Refused;
        return false;
    }
    if (refuseSameFile({m_input, m_source, script.logoPath})) {
        *exitCode = Refused;
        return false;
    }
    if (!m_request.overwrite && QFileInfo::exists(m_output)) {
        say(QStringLiteral("korvex: File '%1' already exists. Exiting.\n").arg(m_output).toUtf8());
        *exitCode = Failed;
        return false;
    }

    m_temporary = temporaryPath(m_output, getpid());
    const auto translate = [&](const SourceFacts &facts) {
        ArgumentTranslator translator(m_request, facts);
        if (usesScript)
            translator.setScript(script, logoInputOptions);
        return translator.translate(m_source, m_temporary, &m_command, &error);
    };
    SourceFacts facts = SourceFacts::from(media);
    // The job as translated tells whether it writes a picture and for how
    // long, which bounds the look at the source's fields.
    bool translated = translate(facts);
    if (translated && FieldDetector::settle(m_source, m_command, &facts))
        translated = translate(facts);
    if (!translated) {
        say(QStringLiteral("korvex: %1\n").arg(error).toUtf8());
        *exitCode = Refused;
        return false;
    }
    for (const QString &note : m_command.notes)
        say(QStringLiteral("korvex: note: %1\n").arg(note).toUtf8());
    return true;
}

void Job::sweepStaleTemporaries() const {
    // Left behind by a korvex of this computer that was killed outright; a
    // shared folder also holds other computers' and users' unfinished files.
    // A job killed while it gave its file a name may have left it whole
    // beside an empty claim of that name, under another output's name.
    const QFileInfo info(m_output);
    PartFileName::sweep(info.absolutePath(), info.fileName(), PartFileName::WholeParts::Finish);
}

int Job::makePartFile() {
    const QByteArray temporary = native(m_temporary);
    constexpr int kTries = 3;
    int error = 0;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = errno;
            // A namesake of an earlier process with this id, where the
            // system tells neither the boot nor the start of a process; one
            // that is still written, or another user's, is left alone.
            if (error == EEXIST && isOursAndFree(m_temporary) &&
                ::unlink(temporary.constData()) == 0)
                continue;
            return error;
        }
        WriterLock::hold(fd);
        // A sweep that came between the file's start and its lock took it.
        struct stat mine;
        struct stat named;
        if (::fstat(fd, &mine) == 0 && ::stat(temporary.constData(), &named) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
            m_partFd = fd;
            return 0;
        }
        ::close(fd);
        error = ENOENT;
    }
    return error;
}

int Job::tryPublishing() const {
    // The empty part file goes to a second name of ours and back, the way
    // the output will get its name.
    const QString probe = PartFileName::probeFor(m_output, getpid());
    if (probe == m_temporary)
        return 0;
    if (isOursAndFree(probe))
        ::unlink(native(probe).constData());
    int error = FilePublish::withoutReplacing(m_temporary, probe);
    if (error != 0)
        return error;
    error = FilePublish::withoutReplacing(probe, m_temporary);
    if (error != 0)
        ::unlink(native(probe).constData());
    return error;
}

int Job::execute() {
    sweepStaleTemporaries();
    g_cleanupArmed = 1;
    if (g_signal)
        return Stopped;

    const QByteArray temporary = native(m_temporary);
    const int made = makePartFile();
    if (made != 0) {
        say(writeFailureText(m_output, systemError(made)) + '\n');
        return Failed;
    }
    // Found out now rather than after the whole conversion.
    const int unusable = tryPublishing();
    if (unusable != 0) {
        ::unlink(temporary.constData());
        say(writeFailureText(m_output, QStringLiteral("the drive cannot give a finished file its "
                                                      "name without the risk of replacing "
                                                      "another (%1)")
                                           .arg(systemError(unusable))) +
            '\n');
        return Refused;
    }

    int wake[2];
    int errPipe[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        ::unlink(temporary.constData());
        say(QStringLiteral("korvex: cannot start ffmpeg: %1\n").arg(systemError(errno)).toUtf8());
        return Failed;
    }
    g_wakeWrite = wake[1];

    const pid_t child = FfmpegChild::start(m_command.arguments, errPipe[1]);
    ::close(errPipe[1]);
    if (child < 0) {
        ::close(errPipe[0]);
        ::unlink(temporary.constData());
        say(QStringLiteral("korvex: cannot start ffmpeg: %1\n").arg(systemError(errno)).toUtf8());
        return Failed;
    }

    std::vector<char> buffer(kReadBufferBytes);
    bool killed = false;
    for (;;) {
        if ((g_signal || m_callerGone) && !killed) {
            // The output is thrown away, so there is nothing for ffmpeg to finish.
            ::kill(child, SIGKILL);
            killed = true;
        }
        pollfd fds[2] = {{errPipe[0], POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents) {
            char drain[64];
            while (::read(wake[0], drain, sizeof drain) > 0) {
            }
        }
        if (fds[0].revents) {
            const ssize_t n = ::read(errPipe[0], buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            for (const QByteArray &line : m_log.feed(buffer.data(), n)) {
                if (line.contains("time="))
                    m_lastProgressMs = nowMs();
                say(line);
            }
        }
    }
    ::close(errPipe[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (g_signal || m_callerGone)
        return finishAfterStop();
    return verifyAndPublish(status);
}

int Job::finishAfterStop() {
    ::unlink(native(m_temporary).constData());
    say(QStringLiteral("korvex: stopped by signal %1; '%2' was not written\n")
            .arg(int(g_signal))
            .arg(m_output)
            .toUtf8());
    return Stopped;
}

int Job::fail(const QByteArray &message) {
    ::unlink(native(m_temporary).constData());
    if (m_lastProgressMs >= 0) {
        const qint64 wait = kFailureGapMs - (nowMs() - m_lastProgressMs);
        if (wait > 0) {
            const timespec pause = {time_t(wait / 1000), long(wait % 1000) * 1000000L};
            nanosleep(&pause, nullptr);
        }
    }
    say(message + '\n');
    return Failed;
}

int Job::publish(QString *published) {
    // Another program, or another job, may have saved a file under the name
    // while this one converted: it stays, and the output takes the next free
    // name by the rule the main program names its outputs by.
    *published = m_output;
    int error = publishAs(m_output);
    const QString folder = QFileInfo(m_output).absolutePath() + QLatin1Char('/');
    const QString plain = OutputName::plainName(m_source, m_output);
    for (int number = 1; error == EEXIST && number <= OutputName::kMaxNumber; ++number) {
        *published = folder + OutputName::numbered(plain, number);
        error = publishAs(*published);
    }
    return error;
}

int Job::publishAs(const QString &path) {
    // Named whole and after the name it is to take before that name is
    // claimed: a job ended between the claim and the rename leaves an empty
    // file under the name, which the next job into the folder then knows
    // for ours and gives the whole file.
    const QString whole = PartFileName::wholeFor(m_temporary, QFileInfo(path).fileName());
    if (whole != m_temporary) {
        if (::rename(native(m_temporary).constData(), native(whole).constData()) != 0)
            return errno;
        m_temporary = whole;
    }
    return FilePublish::withoutReplacing(m_temporary, path);
}

int Job::verifyAndPublish(int status) {
    for (const QByteArray &line : m_log.finish())
        say(line);
    const QString notWritten = QStringLiteral("'%1' was not written").arg(m_output);
    if (WIFSIGNALED(status))
        return fail(QStringLiteral("korvex: ffmpeg ended abnormally (signal %1); %2")
                        .arg(WTERMSIG(status))
                        .arg(notWritten)
                        .toUtf8());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    if (m_log.writeFailure()) {
        // ffmpeg names the hidden file; the reason is its last words, when
        // the line has any after the file.
        const QString line = QString::fromUtf8(m_log.writeError());
        const qsizetype colon = line.lastIndexOf(QLatin1String(": "));
        return fail(writeFailureText(m_output, colon < 0 ? line : line.mid(colon + 2)));
    }
    if (code != 0)
        return fail(QStringLiteral("korvex: conversion failed (ffmpeg exit code %1); %2")
                        .arg(code)
                        .arg(notWritten)
                        .toUtf8());

    const Probe::Media out = Probe::read(m_temporary, true);
    if (!out.opened)
        return fail(QStringLiteral("korvex: the converted file cannot be read back (%1); %2")
                        .arg(out.error, notWritten)
                        .toUtf8());
    if ((m_command.writesVideo && !out.hasVideo()) || (m_command.writesAudio && !out.hasAudio()))
        return fail(
            QStringLiteral("korvex: the converted file lacks its %1; %2")
                .arg(m_command.writesVideo && !out.hasVideo() ? "picture" : "sound", notWritten)
                .toUtf8());

    double produced = -1;
    if (m_command.writesVideo)
        produced = std::max(produced, out.durationOf(Probe::Stream::Video));
    if (m_command.writesAudio)
        produced = std::max(produced, out.durationOf(Probe::Stream::Audio));
    const double expected = m_command.expectedDuration;
    const bool shortOutput =
        expected > 0 && produced >= 0 &&
        produced < expected - std::max(kShortSeconds, kShortFraction * expected);
    if (m_log.partialFile() || m_log.decodeErrors() > 0 || shortOutput) {
        // The words the main program reads as a failed file.
        QString text = QStringLiteral("korvex: Error while decoding stream: the source is damaged "
                                      "or incomplete");
        if (shortOutput)
            text += QStringLiteral(" (%1 s of %2 s converted)")
                        .arg(QString::number(produced, 'f', 2), QString::number(expected, 'f', 2));
        return fail((text + QStringLiteral("; ") + notWritten).toUtf8());
    }

    // On the drive before it has its name: a stick pulled after "finished"
    // holds the whole file.
    const int unsynced = FilePublish::syncData(m_partFd);
    if (unsynced != 0)
        return fail(writeFailureText(m_output, systemError(unsynced)));
    // A stop from here on comes too late: the file is published and the job
    // ends as done, which the caller learns from the exit code. A stop seen
    // before publishes nothing.
    const sigset_t stopping = stopSignals();
    sigprocmask(SIG_BLOCK, &stopping, nullptr);
    if (g_signal || m_callerGone)
        return finishAfterStop();
    QString published;
    const int error = publish(&published);
    if (error != 0)
        return fail(writeFailureText(m_output, systemError(error)));
    FilePublish::syncFolder(QFileInfo(published).absolutePath());
    if (published != m_output)
        say(OutputName::savedAsLine(QFileInfo(published).fileName()).toUtf8() + '\n');

    QByteArray progress = m_log.finalProgress();
    if (!progress.contains("time=") || progress.contains("time=N/A")) {
        const double seconds = std::max(0.0, produced);
        progress = QStringLiteral("Lsize=%1kB time=%2 bitrate=%3kbits/s")
                       .arg(out.fileSize / 1024, 8)
                       .arg(QString::number(seconds, 'f', 2))
                       .arg(seconds > 0 ? QString::number(out.fileSize * 8 / seconds / 1000, 'f', 1)
                                        : QStringLiteral("N/A"),
                            6)
                       .toLatin1();
    }
    QByteArray summary = m_log.summary();
    if (summary.isEmpty())
        summary = "video:0kB audio:0kB global headers:0kB muxing overhead 0.000000%";
    // One write: the reader sees "time=" and the summary words together.
    say(progress + '\n' + summary + '\n');
    return Success;
}
