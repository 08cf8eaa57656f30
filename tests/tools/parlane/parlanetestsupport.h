#pragma once

// Helpers shared by the parlane tests: the generated clips, the staged tool,
// its command line as the main window builds it, and the answer it gives for
// a file left as it came.

#include <QString>
#include <QStringList>

namespace ParlaneTest {

inline QString media(const QString &name) {
    return qEnvironmentVariable("QUILLORA_TEST_MEDIA") + "/" + name;
}

inline QString parlane() {
    return qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/parlane";
}

// Crop (four), effects (three), trim start and end: a row never edited.
inline const QStringList kUntouchedValues = {"0", "0", "0", "0", "0", "0", "0", "0", "-1"};

// "-fileNa", the file, the nine values, "20", the mode, the logo picture's
// place, "-1", and the last answer's logo tail when there is one.
inline QStringList commandLine(const QString &file, const QString &mode = "1",
                               const QStringList &values = kUntouchedValues,
                               const QString &logoTarget = "/nonexistent/avsifile1.png",
                               const QString &tail = QString()) {
    QStringList arguments = QStringList{"-fileNa", file} + values;
    arguments << "20" << mode << logoTarget << "-1";
    if (!tail.isEmpty())
        arguments << tail;
    return arguments;
}

// The answer for a whole file of `seconds`, nothing cropped or changed.
inline QString untouchedAnswer(int seconds) {
    return QString("parlane: -ss 0 -t %1 -cropleft 0 -croptop 0 -cropright 0 -cropbottom 0 "
                   "-saturation 0 -brightness 0 -contrast 0 -drop 0\n")
        .arg(seconds);
}

} // namespace ParlaneTest
