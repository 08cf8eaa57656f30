// korvex: the transcoder of Quillora.
//
//   korvex -i FILE                 describe FILE on standard error
//   korvex [-ss S -t T] -i INPUT [options] OUTPUT
//                                  convert INPUT (a media file or one of the
//                                  program's AviSynth scripts) into OUTPUT
//
// Exit codes: 0 done; 1 the file could not be read or converted; 2 the request
// was refused before anything started; 255 stopped by a signal.

#include <cstring>

#include <unistd.h>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

extern "C" {
#include <libavutil/log.h>
}

#include <QFile>
#include <QStringList>

#include "job.h"
#include "jobrequest.h"
#include "platform/writeall.h"
#include "probe.h"

namespace {

// The libraries' own complaints (a misdetected format, a broken header) are
// kept and shown in front of the probe text, so that the whole answer leaves
// in one piece.
QByteArray g_libraryLog;

// The library's words for a file whose format reads other files: the whole
// list of the formats that it may be, which the refusal says better.
constexpr char kFormatRefusal[] = "Format not on whitelist";

void keepLibraryLog(void *context, int level, const char *format, va_list args) {
    if (level > AV_LOG_ERROR ||
        std::strncmp(format, kFormatRefusal, sizeof kFormatRefusal - 1) == 0)
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line2(context, level, format, args, line, sizeof line, &prefix);
    if (g_libraryLog.size() < 1024)
        g_libraryLog += line;
}

int probe(const QString &path) {
    const Probe::Media media = Probe::read(path);
    QByteArray text = g_libraryLog;
    int exitCode = 0;
    if (!media.opened) {
        text += (path + QStringLiteral(": ") + media.error + QLatin1Char('\n')).toUtf8();
        exitCode = 1;
    } else if (media.truncated) {
        // Converting it would give a file that stops early: say so now.
        text += (path + QStringLiteral(": partial file: the file ends before its media data "
                                       "does\n")).toUtf8();
        exitCode = 1;
    } else {
        text += Probe::describe(media).toUtf8();
        if (!media.hasVideo() && !media.hasAudio()) {
            text += (path + QStringLiteral(": no audio or video stream found\n")).toUtf8();
            exitCode = 1;
        }
    }
    writeAll(STDERR_FILENO, text.constData(), size_t(text.size()));
    return exitCode;
}

} // namespace

int main(int argc, char *argv[]) {
    av_log_set_callback(keepLibraryLog);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const int exitCode =
        JobRequest::isProbe(arguments) ? probe(arguments.at(1)) : Job(arguments).run();
    // Everything has been written straight to the descriptors. The clean-up
    // at exit of the hundred-odd libraries that the codec libraries pull in
    // would only keep the caller waiting.
#ifdef __SANITIZE_ADDRESS__
    // _exit() skips LeakSanitizer's look at exit too: the sanitized build
    // takes it here.
    __lsan_do_leak_check();
#endif
    _exit(exitCode);
}
