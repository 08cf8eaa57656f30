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
};
