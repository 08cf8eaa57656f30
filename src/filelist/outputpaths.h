#pragma once

#include <QString>

// Where a row's converted file goes. Output paths are absolute, so that the
// transcoder never reads a name like "-out.mp4" as an option, and they never
// name the row's own source or another row's output.
namespace OutputPaths {

// The output folder for the text of the output-folder field: absolute, with
// a trailing "/"; empty for an empty text. A relative text is taken against
// the user's home folder, never the folder the program runs in; "~" and
// "~/..." name the home folder as a shell does.
QString folderFromField(const QString &fieldText);

// Makes the output folder when it is missing and tries a file in it, so that
// a run does not find out file by file that nothing can be written there.
// False and a message for the user when the folder cannot be made or
// written, or when folder is empty.
bool makeWritableFolder(const QString &folder, QString *error = nullptr);

// How an output folder stands when a job is about to write into it.
enum class FolderState {
    Ready,
    Missing,  // gone, and not to be made without asking
    Unusable, // cannot be made or written
};
// True when folder is missing and could be made where it was (no file
// stands in its path).
bool isGone(const QString &folder);
// makeWritableFolder, except that a missing folder is left missing unless
// mayMake: a folder on a share that is not mounted would be made on the local
// disk beneath the bare mount point.
FolderState prepareFolder(const QString &folder, bool mayMake, QString *error = nullptr);

// The output file name for a source file name and a format label: the part
// up to the last "." followed by the label in lower case ("a.b.mkv" with MP4
// gives "a.b.mp4"; a name without "." gets ".mp4" appended).
QString fileNameFor(const QString &sourceFileName, const QString &formatLabel);

// The path with its file name's extension replaced by the label in lower
// case; dots in folder names are never touched.
QString withExtension(const QString &path, const QString &formatLabel);

// The name an output path has before any number is put into it: the
// source's file name with the output's extension ("/in/clip.mp4" and
// "/out/clip3.avi" give "clip.avi").
QString plainName(const QString &sourcePath, const QString &outputPath);

// The path's file name in another folder.
QString withFolder(const QString &path, const QString &folder);

// The file name part of a path.
QString fileName(const QString &path);

// A path as the file system resolves it: symbolic links and ".." followed as
// far as the path exists.
QString resolved(const QString &path);

// What the user is told when every name an output may take is in use.
QString noFreeNameText(const QString &path);

} // namespace OutputPaths
