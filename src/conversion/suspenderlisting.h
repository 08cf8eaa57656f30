#pragma once

#include <QString>
#include <QStringList>

// Reading the suspender tool's answers. Its process listing holds one line a
// process: "PID", the identifier (right-aligned, up to seven digits on Linux)
// and the process name, e.g. "PID   48213korvex". Its resume run answers the
// resume count on standard error.
namespace Suspender {

// The identifiers listed for processes of that name, in listing order. The
// name must stand as a whole name (a "korvex_test" or "tst_korvex" process is
// not the transcoder); digits only, any number of them.
QStringList findPids(const QString &listing, const QString &imageName);
// The first of them; empty when the listing names no such process.
QString findTranscoderPid(const QString &listing,
                          const QString &imageName = QStringLiteral("korvex"));

// The resume count of a resume run; 0 when the text is not a whole number.
// A count above 1 means the process needs a further resume.
int resumeCount(const QString &standardError);

} // namespace Suspender
