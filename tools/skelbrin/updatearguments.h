#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace skelbrin {

// Long enough for an installer over a slow line; a server that trickles its
// bytes must not keep the tool alive for ever.
inline constexpr int kDefaultTimeLimitSeconds = 900;

struct UpdateArguments {
    QUrl checkUrl;
    QUrl installerUrl;
    QString handOffFolder;
    QString currentVersion;
    // Report on the terminal instead of in message boxes.
    bool batch = false;
    // The check and the download together give up after this long.
    int timeLimitSeconds = kDefaultTimeLimitSeconds;
};

// Reads "-p1" check address, "-p2" installer address, "-p3" hand-off folder
// and "-v" version (the main window passes them in this order), and the
// optional "--batch" and "--time-limit SECONDS". On failure `error` says what
// is wrong.
bool parseUpdateArguments(const QStringList &arguments, UpdateArguments *out, QString *error);

QString usageText();

} // namespace skelbrin
