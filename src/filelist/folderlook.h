#pragma once

#include <QString>

// A look at a folder or file the user named (where a folder dialog starts,
// a path dropped on the window) before the window acts on it. The look is
// made by a file-call helper and waited for a moment at most: a path on a
// share that does not answer is told as such, and its look is given up.
namespace FolderLook {

enum class Kind {
    Missing,
    Folder,
    Other,    // a file, or anything that is not a folder
    NoAnswer, // the file system did not answer in time
};

// Time enough for a folder that answers, even on a busy machine.
constexpr int kLimitMs = 1000;

// What path is. The window goes on painting meanwhile; the user's input
// waits the moment this takes.
Kind kindOf(const QString &path, int limitMs = kLimitMs);

} // namespace FolderLook
