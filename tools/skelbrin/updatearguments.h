#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace skelbrin {

struct UpdateArguments {
    QUrl checkUrl;
    QUrl installerUrl;
    QString handOffFolder;
    QString currentVersion;
    // Report on the terminal instead of in message boxes.
    bool batch = false;
};

// Reads "-p1" check address, "-p2" installer address, "-p3" hand-off folder
// and "-v" version (the main window passes them in this order), and the
// optional "--batch". On failure `error` says what is wrong.
bool parseUpdateArguments(const QStringList &arguments, UpdateArguments *out, QString *error);

QString usageText();

} // namespace skelbrin
