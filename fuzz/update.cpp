// The update check's readers of outside text: the update server's answer and
// the version numbers the update tool compares, and the main window's reading
// of the settings file that decides whether a check is due.

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "fuzzcheck.h"
#include "mainwindow/settingsfile.h"
#include "mainwindow/updateschedule.h"
#include "updatecheck.h"
#include "versionnumber.h"

namespace {

using skelbrin::VersionNumber;

const QString kOurVersion = QStringLiteral("2.1.2.367");

int sign(int value) {
    return (value > 0) - (value < 0);
}

void checkVersion(const VersionNumber &version) {
    if (!version.isValid())
        return;
    const QString text = version.toString();
    const VersionNumber again = VersionNumber::parse(text);
    require(again.isValid() && again.compare(version) == 0 && again.toString() == text,
            "a version does not read back as itself", text);
    require(version.compare(version) == 0, "a version differs from itself", text);
    const VersionNumber ours = VersionNumber::parse(kOurVersion);
    require(sign(version.compare(ours)) == -sign(ours.compare(version)),
            "the comparison is not symmetric", text);
}

// As the main window's automatic check reads the file, on a fixed day early in
// a leap year, so that a stored day of the year may belong to the year before.
void checkSchedule(const QByteArray &settingsText) {
    static QTemporaryDir folder;
    static int serial = 0;
    // A new name each time: the settings object caches files by name.
    const QString path = folder.filePath(QStringLiteral("nowfolder%1.ini").arg(++serial));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(settingsText);
    file.close();
    {
        const QSettings settings(path, QSettings::IniFormat);
        const QDate today(2024, 1, 3);
        const int cycle = settings.value(SettingsFile::kUpdateCycle, -1).toInt();
        const int days = UpdateSchedule::cycleDays(cycle, today);
        require(days == 1 || days == 7 || days == today.daysInMonth(), "a cycle of no length");
        const QDate last =
            UpdateSchedule::lastCheck(settings.value(SettingsFile::kLastCheckDate),
                                      settings.value(SettingsFile::kLastCheck), today);
        if (last.isValid()) {
            const bool due = UpdateSchedule::isDue(cycle, last, today);
            require(!(last > today) || due, "a check in the future keeps the next one away");
            require(last.daysTo(today) < days || due, "a cycle that has run out is not due");
            require(UpdateSchedule::lastCheck(UpdateSchedule::dateText(last), last.dayOfYear(),
                                              today) == last,
                    "the date of the last check does not read back as itself",
                    UpdateSchedule::dateText(last));
        }
    }
    QFile::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes = fuzzBytes(data, size);
    checkVersion(VersionNumber::fromServerAnswer(bytes));
    const QString text = QString::fromUtf8(bytes);
    checkVersion(VersionNumber::parse(text));
    checkSchedule(bytes);
    return 0;
}
