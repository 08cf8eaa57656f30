#pragma once

#include <array>

#include <QString>

#include "profiles/profileloader.h"

class QComboBox;

// The codec option boxes as a window shows a profile. The main window and the
// per-file settings dialog fill theirs alike, so that a row's indexes mean the
// same entries in both.
class OptionBoxes {
public:
    // One of the profile's lists, with its default chosen.
    static void fill(QComboBox *box, const ComboFill &choices);

    // A codec brings its own lists: another codec of the profile may take
    // other sizes, rates or channels, and a value that only the previous codec
    // takes would not reach the output. After the group's codec box moved
    // from entry `shown` to its current entry, `dependents` (size, bitrate,
    // frame rate; or sample rate, bitrate, channels) take that codec's lists
    // and defaults when they differ, and true is returned; a codec with the
    // same lists keeps the user's choices. `shown` follows the codec box.
    static bool followCodec(const QString &installDir, const QString &profileFile,
                            ProfileLoader::CodecKind kind, const QComboBox *codecBox, int &shown,
                            const std::array<QComboBox *, 3> &dependents);
};
