// A stand-in program for the single-instance tests: it runs the guard with
// the key it is given and reports what happens on standard output.
//   singleapp_probe KEY            become the owner and print every message
//   singleapp_probe KEY MESSAGE    hand MESSAGE to a running owner
#include <cstdio>

#include "app/singleapplication.h"

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 2;
    const QString key = QString::fromLocal8Bit(argv[1]);
    const QString message = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    SingleApplication app(argc, argv, key);
    if (app.isRunning()) {
        std::printf("sender %s\n", app.sendMessage(message) ? "sent" : "failed");
        return 0;
    }
    QObject::connect(&app, &SingleApplication::messageAvailable, [](const QString &text) {
        std::printf("message:%s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    std::printf("owner\n");
    std::fflush(stdout);
    return app.exec();
}
