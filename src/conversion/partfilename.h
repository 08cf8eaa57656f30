#pragma once

#include <QString>

// The hidden file a transcoder writes before its output gets its name:
// ".NAME.korvex-HOST-PID.part" beside the output. The host and the process id
// say whose it is, so that a folder that several machines write into is only
// ever tidied by the machine whose transcoder left the file behind.
namespace PartFileName {

// The part file of the transcoder with process id pid on this machine, for
// the output outputPath.
QString forOutput(const QString &outputPath, qint64 pid);

// This machine as part file names carry it.
QString thisHost();

// The writer a file name tells of; pid 0 when the name is not a part file's
// or names no host (an older name: nobody can tell whose it is).
struct Writer {
    QString host;
    qint64 pid = 0;
};
Writer writerOf(const QString &fileName);

// True when fileName is a part file that a transcoder of this machine left
// and that no longer runs.
bool isLeftBehind(const QString &fileName);

// Removes from folder the part files that isLeftBehind, only those of the
// output named outputName when it is given; returns how many went.
int sweep(const QString &folder, const QString &outputName = QString());

} // namespace PartFileName
