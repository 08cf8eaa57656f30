#pragma once

#include <QString>

// The hidden file a transcoder writes before its output gets its name:
// ".NAME.korvex-HOST-PID.MACHINE.BOOT.SPACE.START.part" beside the output.
// Host, process id and machine (a short form of the machine's id) say whose
// it is; as cloned machines and containers share those, the boot of the
// computer and the PID namespace of the id tell computers apart, and the
// time the process started tells the writer from a later process given the
// same id. Older names end after the machine, or after the process id.
//
// A part file goes only when its writer is known to have gone: a writer of
// this boot and PID namespace whose process no longer runs. The lock the
// transcoder holds on it while it writes (WriterLock) is one more sign of a
// writer at work, never proof of one gone: a lock is not seen from another
// computer, nor through another mount of the folder, and some drives keep
// none. What cannot be told is left until it is a week old; another user's
// file is never touched.
//
// Before its name is claimed (FilePublish), the whole file is renamed after
// that name: ".CLAIM.korvex-WRITER.HASH.whole.part", HASH telling the name
// claimed. A writer ended between the claim and the rename leaves an empty
// file under the name beside it; the next transcoder into the folder gives
// it the whole file.
namespace PartFileName {

// The part file of the transcoder with process id pid on this computer,
// for the output outputPath.
QString forOutput(const QString &outputPath, qint64 pid);
// A second name of the same writer beside it, for trying out how the drive
// takes a new name before anything is converted.
QString probeFor(const QString &outputPath, qint64 pid);
// The name the whole part file at partPath takes before claimName (a file
// name in its folder) is claimed for it.
QString wholeFor(const QString &partPath, const QString &claimName);

// This computer as part file names carry it.
QString thisHost();
QString thisMachine();

// The writer a file name tells of; pid 0 when the name is not a part file's
// or names no host (an older name: nobody can tell whose it is).
struct Writer {
    QString host;
    qint64 pid = 0;
    QString machine;    // empty in older names
    QString boot;       // empty in older names
    QString pidSpace;   // empty in older names
    qint64 started = 0; // in clock ticks since the boot; 0: not known
    QString claim;      // a whole part file's: the hash of the name it claims
};
Writer writerOf(const QString &fileName);
// The file name of writer's part file for the output named outputName.
QString nameFor(const QString &outputName, const Writer &writer);

// True when the part file at path is this user's and its writer is known to
// have gone, or cannot be told and the file has not changed for a week.
bool isLeftBehind(const QString &path);

enum class WholeParts {
    Leave,  // for the transcoder to finish
    Finish, // made directly: by the transcoder, where a hang holds up nobody else
};
// Removes from folder the part files that isLeftBehind, only those of the
// output named outputName when it is given. Whole ones are left, or given
// the name they claimed when it is there (an empty file of ours) and else
// removed, wherever in the folder they were to go. Returns how many went.
int sweep(const QString &folder, const QString &outputName = QString(),
          WholeParts whole = WholeParts::Leave);

} // namespace PartFileName
