#pragma once

#include <QString>

// The hidden file a new or replacing file is written into before it gets its
// name (SafeFile): ".NAME.PID-N.BOOT.SPACE.START.SIZE.new" beside
// it. The process id, the boot of the computer, the PID namespace of the id
// and the time the process started say whose it is, as part files do
// (PartFileName); SIZE is the file's when whole. A name too long for the
// drive keeps only the start of NAME and adds a hash of the whole name:
// ".CUT.PID-N.BOOT.SPACE.START.SIZE.HASH.new". Older names end after
// PID-N: nobody can tell whose they are.
//
// A writer ended between the claim of the name (an empty file) and the
// rename over it leaves that claim beside its whole hidden file; the next
// new file FilePublish::writeNew writes into the folder gives the claim the
// file.
namespace NewFileName {

// The hidden file for this process's next new file at path, size bytes long.
QString forWrite(const QString &path, qint64 size);

// Whether the file name (no folder) may be one of these: the one look that
// is cheap enough for every name in a folder.
bool mayBeOne(const char *fileName);

struct Writer {
    qint64 pid = 0; // 0: the name is not one of these
    QString boot;   // empty in older names, or where the system does not tell
    QString pidSpace;
    qint64 started = 0; // in clock ticks since the boot; 0: not known
    qint64 size = -1;   // -1: not known (older names)
    QString name;       // of the file it is for; empty when cut
    QString cut;        // the start of that name, when cut
    QString hash;       // the whole name's, when cut
};
Writer writerOf(const QString &fileName);

// Whether fileName is the name a cut hidden file of writer is for.
bool isCutFor(const Writer &writer, const QString &fileName);

} // namespace NewFileName
