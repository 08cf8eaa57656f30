#pragma once

#include <QString>

// The hidden file a transcoder writes before its output gets its name:
// ".NAME.korvex-HOST-PID.MACHINE.part" beside the output. The host, the
// process id and the machine (a short form of the machine's id; names
// without it are older ones, or of a machine that has none) say whose it is,
// so that a folder that several machines write into is only ever tidied by
// the machine whose transcoder left the file behind. The transcoder holds a
// lock on the file while it writes it (WriterLock): a process id that cannot
// be seen (another PID namespace, a /proc that hides other users) says
// nothing of whether its writer has gone.
namespace PartFileName {

// The part file of the transcoder with process id pid on this machine, for
// the output outputPath.
QString forOutput(const QString &outputPath, qint64 pid);
// A second name of the same writer beside it, for trying out how the drive
// takes a new name before anything is converted.
QString probeFor(const QString &outputPath, qint64 pid);

// This machine as part file names carry it.
QString thisHost();
QString thisMachine();

// The writer a file name tells of; pid 0 when the name is not a part file's
// or names no host (an older name: nobody can tell whose it is).
struct Writer {
    QString host;
    qint64 pid = 0;
    QString machine; // empty in older names
};
Writer writerOf(const QString &fileName);

// True when the part file at path was left by a transcoder of this machine
// that is known to have gone: nobody holds its lock, and for a name of a
// writer that may have held none, its process does not run here either.
bool isLeftBehind(const QString &path);

// Removes from folder the part files that isLeftBehind, only those of the
// output named outputName when it is given; returns how many went.
int sweep(const QString &folder, const QString &outputName = QString());

} // namespace PartFileName
