// A pass-through file system for tests that need a drive that behaves
// otherwise: one that refuses hard links or rename flags (FAT and exFAT
// through FUSE, many desktop mounts), or a share that stops answering.
//
//   quillora-testfs [--refuse=WHAT,...] [--gate=FILE [--gated=CALL,...]] [--log=FILE]
//                   BACKING MOUNTPOINT [FUSE options]
//
// Everything under MOUNTPOINT is BACKING's. --refuse makes chosen calls fail:
//   link          link() fails with EPERM
//   rename-flags  rename with flags (RENAME_NOREPLACE, RENAME_EXCHANGE) fails
//                 with EINVAL
//   rename-over   a rename onto a name that exists fails with EPERM
//   rename        every rename fails with EPERM
//   lock          byte-range locks and flock fail with EOPNOTSUPP (without it,
//                 the kernel keeps locks itself, for this mount only)
// --gate=FILE: while FILE exists (a path outside the mount), every call waits
// for it to go, as on a share that does not answer; FILE.held exists once a
// call has come to the closed gate. --gated=CALL,... holds only those calls
// (by their names below: create, rename, fsync, write ...).
// --log=FILE: each call that changes something or syncs is appended to FILE
// as a line "CALL PATH [PATH]", in the order the drive got them.
//
// Tests run it with -f (in the foreground, as a child they end) and unmount
// it with "fusermount3 -u MOUNTPOINT"; tests/testfs/testfsmount.h does both.

#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <pthread.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static struct {
    int base; // the backing folder
    char *refuse;
    char *gate;
    char *gated;
    char *log;
    int refuseLink;
    int refuseRenameFlags;
    int refuseRenameOver;
    int refuseRename;
    int refuseLock;
} fs = {.base = -1};

static const struct fuse_opt options[] = {
    {"--refuse=%s", offsetof(__typeof__(fs), refuse), 0},
    {"--gate=%s", offsetof(__typeof__(fs), gate), 0},
    {"--gated=%s", offsetof(__typeof__(fs), gated), 0},
    {"--log=%s", offsetof(__typeof__(fs), log), 0},
    FUSE_OPT_END,
};

// The backing path of a mount path, relative to fs.base.
static const char *backing(const char *path) {
    while (*path == '/')
        ++path;
    return *path ? path : ".";
}

// True when the comma-separated list holds word.
static int listHolds(const char *list, const char *word) {
    const size_t length = strlen(word);
    for (const char *at = list; (at = strstr(at, word)) != NULL; at += length) {
        const int starts = at == list || at[-1] == ',';
        const int ends = at[length] == '\0' || at[length] == ',';
        if (starts && ends)
            return 1;
    }
    return 0;
}

static pthread_mutex_t logMutex = PTHREAD_MUTEX_INITIALIZER;

static void logCall(const char *call, const char *path, const char *to) {
    static const char *const quiet[] = {"getattr", "access", "readlink", "readdir", "open",
                                        "read",    "write",  "statfs",   "flush",   "release"};
    if (!fs.log)
        return;
    for (size_t i = 0; i < sizeof quiet / sizeof *quiet; ++i) {
        if (strcmp(call, quiet[i]) == 0)
            return;
    }
    pthread_mutex_lock(&logMutex);
    FILE *file = fopen(fs.log, "a");
    if (file) {
        fprintf(file, "%s %s%s%s\n", call, path, to ? " " : "", to ? to : "");
        fclose(file);
    }
    pthread_mutex_unlock(&logMutex);
}

// Every call comes here first.
static void enter(const char *call, const char *path, const char *to) {
    if (fs.gate && (!fs.gated || listHolds(fs.gated, call))) {
        const struct timespec pause = {0, 10 * 1000 * 1000};
        int told = 0;
        while (access(fs.gate, F_OK) == 0) {
            if (!told) {
                char held[4096];
                snprintf(held, sizeof held, "%s.held", fs.gate);
                close(open(held, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
                told = 1;
            }
            nanosleep(&pause, NULL);
        }
    }
    logCall(call, path, to);
}

static int result(int value) {
    return value < 0 ? -errno : value;
}

static void *tfsInit(struct fuse_conn_info *conn, struct fuse_config *cfg) {
    (void)conn;
    // Every call reaches this program: none is answered from the kernel's
    // caches, so a refusal or the gate is met each time.
    cfg->use_ino = 1;
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    // A removed file that is still open goes at once, not under a hidden name.
    cfg->hard_remove = 1;
    return NULL;
}

static int tfsGetattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
    enter("getattr", path, NULL);
    if (fi)
        return result(fstat((int)fi->fh, st));
    return result(fstatat(fs.base, backing(path), st, AT_SYMLINK_NOFOLLOW));
}

static int tfsAccess(const char *path, int mask) {
    enter("access", path, NULL);
    return result(faccessat(fs.base, backing(path), mask, 0));
}

static int tfsReadlink(const char *path, char *buffer, size_t size) {
    enter("readlink", path, NULL);
    const ssize_t n = readlinkat(fs.base, backing(path), buffer, size - 1);
    if (n < 0)
        return -errno;
    buffer[n] = '\0';
    return 0;
}

static int tfsReaddir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info *fi, enum fuse_readdir_flags flags) {
    (void)offset;
    (void)fi;
    (void)flags;
    enter("readdir", path, NULL);
    const int fd = openat(fs.base, backing(path), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return -errno;
    DIR *dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return -errno;
    }
    struct dirent *entry;
    while ((entry = readdir(dir)) != NULL) {
        struct stat st = {0};
        st.st_ino = entry->d_ino;
        st.st_mode = (mode_t)DTTOIF(entry->d_type);
        if (fill(buffer, entry->d_name, &st, 0, 0))
            break;
    }
    closedir(dir);
    return 0;
}

static int tfsMknod(const char *path, mode_t mode, dev_t rdev) {
    enter("mknod", path, NULL);
    return result(mknodat(fs.base, backing(path), mode, rdev));
}

static int tfsMkdir(const char *path, mode_t mode) {
    enter("mkdir", path, NULL);
    return result(mkdirat(fs.base, backing(path), mode));
}

static int tfsUnlink(const char *path) {
    enter("unlink", path, NULL);
    return result(unlinkat(fs.base, backing(path), 0));
}

static int tfsRmdir(const char *path) {
    enter("rmdir", path, NULL);
    return result(unlinkat(fs.base, backing(path), AT_REMOVEDIR));
}

static int tfsSymlink(const char *target, const char *path) {
    enter("symlink", path, NULL);
    return result(symlinkat(target, fs.base, backing(path)));
}

static int tfsRename(const char *from, const char *to, unsigned int flags) {
    enter("rename", from, to);
    if (fs.refuseRename)
        return -EPERM;
    if (flags && fs.refuseRenameFlags)
        return -EINVAL;
    struct stat st;
    if (fs.refuseRenameOver && fstatat(fs.base, backing(to), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return -EPERM;
    return result(renameat2(fs.base, backing(from), fs.base, backing(to), flags));
}

static int tfsLink(const char *from, const char *to) {
    enter("link", from, to);
    if (fs.refuseLink)
        return -EPERM;
    return result(linkat(fs.base, backing(from), fs.base, backing(to), 0));
}

static int tfsChmod(const char *path, mode_t mode, struct fuse_file_info *fi) {
    enter("chmod", path, NULL);
    if (fi)
        return result(fchmod((int)fi->fh, mode));
    return result(fchmodat(fs.base, backing(path), mode, 0));
}

static int tfsChown(const char *path, uid_t uid, gid_t gid, struct fuse_file_info *fi) {
    enter("chown", path, NULL);
    if (fi)
        return result(fchown((int)fi->fh, uid, gid));
    return result(fchownat(fs.base, backing(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

static int tfsTruncate(const char *path, off_t size, struct fuse_file_info *fi) {
    enter("truncate", path, NULL);
    if (fi)
        return result(ftruncate((int)fi->fh, size));
    const int fd = openat(fs.base, backing(path), O_WRONLY);
    if (fd < 0)
        return -errno;
    const int done = result(ftruncate(fd, size));
    close(fd);
    return done;
}

static int tfsUtimens(const char *path, const struct timespec times[2], struct fuse_file_info *fi) {
    enter("utimens", path, NULL);
    if (fi)
        return result(futimens((int)fi->fh, times));
    return result(utimensat(fs.base, backing(path), times, AT_SYMLINK_NOFOLLOW));
}

static int tfsCreate(const char *path, mode_t mode, struct fuse_file_info *fi) {
    enter("create", path, NULL);
    const int fd = openat(fs.base, backing(path), fi->flags, mode);
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int tfsOpen(const char *path, struct fuse_file_info *fi) {
    enter("open", path, NULL);
    const int fd = openat(fs.base, backing(path), fi->flags & ~O_NOFOLLOW);
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int tfsRead(const char *path, char *buffer, size_t size, off_t offset,
                   struct fuse_file_info *fi) {
    (void)path;
    enter("read", path, NULL);
    return result((int)pread((int)fi->fh, buffer, size, offset));
}

static int tfsWrite(const char *path, const char *buffer, size_t size, off_t offset,
                    struct fuse_file_info *fi) {
    (void)path;
    enter("write", path, NULL);
    return result((int)pwrite((int)fi->fh, buffer, size, offset));
}

static int tfsStatfs(const char *path, struct statvfs *st) {
    enter("statfs", path, NULL);
    (void)path;
    return result(fstatvfs(fs.base, st));
}

static int tfsFlush(const char *path, struct fuse_file_info *fi) {
    (void)path;
    (void)fi;
    enter("flush", path, NULL);
    return 0;
}

static int tfsRelease(const char *path, struct fuse_file_info *fi) {
    (void)path;
    // Never held at the gate: the kernel does not wait for a release, and
    // the descriptor must not be lost.
    close((int)fi->fh);
    return 0;
}

static int tfsFsync(const char *path, int dataOnly, struct fuse_file_info *fi) {
    (void)path;
    enter("fsync", path, NULL);
    return result(dataOnly ? fdatasync((int)fi->fh) : fsync((int)fi->fh));
}

static int tfsFsyncdir(const char *path, int dataOnly, struct fuse_file_info *fi) {
    (void)dataOnly;
    (void)fi;
    enter("fsyncdir", path, NULL);
    const int fd = openat(fs.base, backing(path), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return -errno;
    const int done = result(fsync(fd));
    close(fd);
    return done;
}

static int tfsLock(const char *path, struct fuse_file_info *fi, int cmd, struct flock *lock) {
    (void)fi;
    (void)cmd;
    (void)lock;
    enter("lock", path, NULL);
    return -EOPNOTSUPP;
}

static int tfsFlock(const char *path, struct fuse_file_info *fi, int op) {
    (void)fi;
    (void)op;
    enter("flock", path, NULL);
    return -EOPNOTSUPP;
}

static struct fuse_operations operations = {
    .init = tfsInit,
    .getattr = tfsGetattr,
    .access = tfsAccess,
    .readlink = tfsReadlink,
    .readdir = tfsReaddir,
    .mknod = tfsMknod,
    .mkdir = tfsMkdir,
    .unlink = tfsUnlink,
    .rmdir = tfsRmdir,
    .symlink = tfsSymlink,
    .rename = tfsRename,
    .link = tfsLink,
    .chmod = tfsChmod,
    .chown = tfsChown,
    .truncate = tfsTruncate,
    .utimens = tfsUtimens,
    .create = tfsCreate,
    .open = tfsOpen,
    .read = tfsRead,
    .write = tfsWrite,
    .statfs = tfsStatfs,
    .flush = tfsFlush,
    .release = tfsRelease,
    .fsync = tfsFsync,
    .fsyncdir = tfsFsyncdir,
};

// The first argument that is no option is the backing folder.
static int takeBacking(void *data, const char *argument, int key, struct fuse_args *args) {
    (void)data;
    (void)args;
    if (key == FUSE_OPT_KEY_NONOPT && fs.base < 0) {
        fs.base = open(argument, O_RDONLY | O_DIRECTORY);
        if (fs.base < 0) {
            fprintf(stderr, "quillora-testfs: %s: %s\n", argument, strerror(errno));
            exit(2);
        }
        return 0;
    }
    return 1;
}

static int refuses(const char *what) {
    return fs.refuse && listHolds(fs.refuse, what);
}

int main(int argc, char *argv[]) {
    struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
    if (fuse_opt_parse(&args, &fs, options, takeBacking) != 0)
        return 2;
    if (fs.base < 0) {
        fprintf(stderr,
                "usage: quillora-testfs [--refuse=link,rename-flags,rename-over,rename,lock] "
                "[--gate=FILE [--gated=CALL,...]] [--log=FILE] BACKING MOUNTPOINT "
                "[FUSE options]\n");
        return 2;
    }
    fs.refuseLink = refuses("link");
    fs.refuseRenameFlags = refuses("rename-flags");
    fs.refuseRenameOver = refuses("rename-over");
    fs.refuseRename = refuses("rename");
    fs.refuseLock = refuses("lock");
    if (fs.refuseLock) {
        operations.lock = tfsLock;
        operations.flock = tfsFlock;
    }
    umask(0);
    const int status = fuse_main(args.argc, args.argv, &operations, NULL);
    fuse_opt_free_args(&args);
    return status;
}
