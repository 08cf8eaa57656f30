#include "updatearguments.h"

#include <QDir>

#include "versionnumber.h"

namespace skelbrin {

namespace {

const QString kBatchSwitch = "--batch";
const QString kTimeLimitOption = "--time-limit";

bool isWebAddress(const QUrl &url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == "http" || url.scheme() == "https");
}

} // namespace

QString usageText() {
    return QString("usage: skelbrin -p1 CHECK-ADDRESS -p2 INSTALLER-ADDRESS -p3 HAND-OFF-FOLDER -v "
                   "VERSION [--batch] [--time-limit SECONDS (default %1)]")
        .arg(kDefaultTimeLimitSeconds);
}

bool parseUpdateArguments(const QStringList &arguments, UpdateArguments *out, QString *error) {
    UpdateArguments parsed;
    QString check;
    QString installer;
    bool haveFolder = false;
    bool haveVersion = false;

    for (int i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        if (word == kBatchSwitch) {
            parsed.batch = true;
            continue;
        }
        const bool known = word == "-p1" || word == "-p2" || word == "-p3" || word == "-v" ||
                           word == kTimeLimitOption;
        if (!known) {
            *error = QString("Unknown argument \"%1\".").arg(word);
            return false;
        }
        if (i + 1 >= arguments.size()) {
            *error = QString("\"%1\" needs a value.").arg(word);
            return false;
        }
        const QString value = arguments.at(++i);
        if (word == "-p1") {
            check = value;
        } else if (word == "-p2") {
            installer = value;
        } else if (word == "-p3") {
            parsed.handOffFolder = value;
            haveFolder = true;
        } else if (word == kTimeLimitOption) {
            bool number = false;
            parsed.timeLimitSeconds = value.toInt(&number);
            if (!number || parsed.timeLimitSeconds <= 0) {
                *error = QString("\"%1\" needs a number of seconds.").arg(word);
                return false;
            }
        } else {
            parsed.currentVersion = value;
            haveVersion = true;
        }
    }

    parsed.checkUrl = QUrl(check, QUrl::StrictMode);
    parsed.installerUrl = QUrl(installer, QUrl::StrictMode);
    if (!isWebAddress(parsed.checkUrl)) {
        *error = "The update-check address (-p1) is missing or is not an http or https address.";
        return false;
    }
    if (!isWebAddress(parsed.installerUrl)) {
        *error = "The installer address (-p2) is missing or is not an http or https address.";
        return false;
    }
    if (!haveFolder || parsed.handOffFolder.trimmed().isEmpty()) {
        *error = "The hand-off folder (-p3) is missing.";
        return false;
    }
    if (!haveVersion || !VersionNumber::parse(parsed.currentVersion).isValid()) {
        *error = "The program version (-v) is missing or is not a version number.";
        return false;
    }
    parsed.handOffFolder = QDir(parsed.handOffFolder).absolutePath();
    *out = parsed;
    return true;
}

} // namespace skelbrin
