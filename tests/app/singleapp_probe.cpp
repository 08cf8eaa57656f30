// A stand-in program for the single-instance tests: it runs the guard with
// the key it is given and reports what happens on standard output. With
// "--user ID" it runs as if for that user.
//   singleapp_probe [--user ID] KEY               become the owner and print every message
//   singleapp_probe [--user ID] KEY MESSAGE       hand MESSAGE to a running owner
//   singleapp_probe [--user ID] --native-key KEY  print the segment's system key
#include <cstdio>
#include <cstring>

#include "app/singleapplication.h"
#include "platform/platform.h"

int main(int argc, char *argv[])
{
    int first = 1;
    uint user = Platform::userId();
    if (argc > first + 1 && std::strcmp(argv[first], "--user") == 0) {
        user = QByteArray(argv[first + 1]).toUInt();
        first += 2;
    }
    if (argc > first + 1 && std::strcmp(argv[first], "--native-key") == 0) {
        const QString key =
            SingleApplication::nativeKey(QString::fromLocal8Bit(argv[first + 1]), user);
        std::printf("%s\n", key.toLocal8Bit().constData());
        return 0;
    }
    if (argc <= first)
        return 2;
    const QString key = QString::fromLocal8Bit(argv[first]);
    const QString message = argc > first + 1 ? QString::fromLocal8Bit(argv[first + 1]) : QString();
    SingleApplication app(argc, argv, key, user);
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
