// parlane -fileNa FILE LEFT TOP RIGHT BOTTOM SATURATION BRIGHTNESS CONTRAST START END 20
//         MODE LOGO-PICTURE -1 [-watermark ...]
//
// Standard error carries the answer and nothing else: the main window reads
// it whole and takes the first "-ss" for the start of the answer, so a stray
// diagnostic naming a file such as "clip-ss.mp4" would spoil it. Every other
// message goes to standard output, which the main window discards.
//
// Exit codes: 0 OK (answer written), 1 cancelled or closed, 2 bad command line.

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

#include <QApplication>

#include "editordialog.h"
#include "editrequest.h"

namespace {

enum ExitCode {
    kExitAnswered = 0,
    kExitCancelled = 1,
    kExitUsage = 2,
};

void messagesToStandardOutput(QtMsgType, const QMessageLogContext &, const QString &message) {
    std::fprintf(stdout, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[]) {
    qInstallMessageHandler(messagesToStandardOutput);
    av_log_set_level(AV_LOG_QUIET);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("parlane");

    parlane::EditRequest request;
    QString error;
    if (!parlane::parseEditRequest(QCoreApplication::arguments().mid(1), &request, &error)) {
        std::fprintf(stdout, "parlane: %s\n%s\n", error.toLocal8Bit().constData(),
                     parlane::usageText().toLocal8Bit().constData());
        return kExitUsage;
    }

    parlane::EditorDialog dialog(request);
    if (dialog.exec() != QDialog::Accepted)
        return kExitCancelled;

    const QByteArray answer = dialog.answerText().toUtf8();
    std::fwrite(answer.constData(), 1, std::size_t(answer.size()), stderr);
    std::fflush(stderr);
    return kExitAnswered;
}
