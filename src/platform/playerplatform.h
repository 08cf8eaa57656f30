#pragma once

#include <QString>

// The preview player's few looks at the operating system, kept here so that
// nothing of the player includes a system header for them.
class PlayerPlatform {
public:
    // Why `path` cannot be previewed as a plain file: empty for a regular
    // file (a link to one included), else the reason (it does not exist, or
    // it is a named pipe, a device or a folder). Never opens the file: the
    // open of a named pipe waits for a writer for ever.
    static QString regularFileProblem(const QString &path);

    // The sound server behind SDL's `driver` has gone: its socket is there
    // no more, or nobody listens on it. False when it answers, when it cannot
    // be told, and for drivers that say so themselves. Never blocks.
    static bool soundServerGone(const QString &driver);
};
