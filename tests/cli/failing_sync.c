/* Preloaded by the tests where they cannot mount a failing disk: the flush of a regular
   file of odd length, and that of a folder with the sticky bit, fail as a disk's
   write-back error does, with EIO. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sys/stat.h>

static int flush(int fd, const char* name)
{
    struct stat info;
    if (fstat(fd, &info) == 0
        && ((S_ISREG(info.st_mode) && info.st_size % 2 == 1) || (S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)))) {
        errno = EIO;
        return -1;
    }
    return ((int (*)(int))dlsym(RTLD_NEXT, name))(fd);
}

int fdatasync(int fd) { return flush(fd, "fdatasync"); }
int fsync(int fd) { return flush(fd, "fsync"); }
