#pragma once

#include <QString>
#include <QStringList>

namespace parlane {

struct CropMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

enum class EditMode {
    Crop = 0,
    Trim = 1,
    Effects = 2,
};

// What the main window hands over on the command line:
//   -fileNa FILE LEFT TOP RIGHT BOTTOM SATURATION% BRIGHTNESS% CONTRAST% START END 20
//           MODE LOGO-TARGET -1 [LOGO-TAIL]
struct EditRequest {
    QString file;
    CropMargins crop;
    // Percent, 0 = unchanged; fractions survive a round trip untouched.
    double saturation = 0;
    double brightness = 0;
    double contrast = 0;
    int trimStart = 0;
    // -1: up to the end of the file.
    int trimEnd = -1;
    EditMode mode = EditMode::Crop;
    // Where the logo picture is to be written as PNG (the script names it).
    QString logoTarget;
    // The tail of the last answer, from "-watermark" on, when there was one.
    QString logoTail;
};

// Values that are not numbers read as 0 (the main window's own rule); only a
// command line without "-fileNa" and a file is refused.
bool parseEditRequest(const QStringList &arguments, EditRequest *out, QString *error);

// The logo picture a previous answer named, or empty.
QString logoPathFromTail(const QString &tail);

QString usageText();

} // namespace parlane
