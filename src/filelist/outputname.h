#pragma once

#include <functional>

#include <QString>

// The rule by which an output file gets its name when the plain one is taken,
// shared by the main program and the transcoder: the transcoder falls back on
// it when a file turns up under the name while it converts, and tells the
// program which name it used in a line of its text.
namespace OutputName {

// The longest file name, in bytes, that the file systems we write to take.
constexpr int kMaxNameBytes = 255;
// Numbers are tried up to this one before a name is given up.
constexpr int kMaxNumber = 100000;

// text cut to at most maxBytes bytes of UTF-8, never inside a character.
QString cutToBytes(const QString &text, int maxBytes);

// name (a file name, no folder) with the decimal number in front of its last
// "." (appended when it has none): "clip.avi" and 3 give "clip3.avi". Where
// the result would pass kMaxNameBytes, the part in front of the number is
// shortened first.
QString numbered(const QString &name, int number);

// How many names firstFree tries: wanted, then each number.
constexpr int kTries = kMaxNumber + 1;
// The file name of firstFree's try at index (0: wanted's own, 1 on: plainName
// or wanted's name numbered from firstNumber), in wanted's folder.
QString nameToTry(const QString &wanted, int firstNumber, const QString &plainName, int index);

// The first free path in wanted's folder: wanted itself, then plainName
// (wanted's own file name when empty) numbered from firstNumber on, for
// kMaxNumber tries. Empty when isFree takes none of them: a taken name is
// never handed back, so the caller refuses rather than write over a file.
QString firstFree(const QString &wanted, int firstNumber,
                  const std::function<bool(const QString &)> &isFree,
                  const QString &plainName = QString());

// The name an output path has before any number is put into it: the
// source's file name with the output's extension ("/in/clip.mp4" and
// "/out/clip3.avi" give "clip.avi").
QString plainName(const QString &sourcePath, const QString &outputPath);

// The transcoder's line (without its line break) that says its output was
// saved under fileName instead of the name it was given.
QString savedAsLine(const QString &fileName);
// The file name such a line tells; empty for any other line, and for a name
// that is not one file's name.
QString savedAsName(const QString &line);

} // namespace OutputName
