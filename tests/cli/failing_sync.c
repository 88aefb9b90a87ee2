/* Preloaded into orvex-convert by the tests where they cannot mount a failing disk: the
   flush of a regular file of odd length fails as a disk's write-back error does, with
   EIO. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

static int fails(int fd)
{
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size % 2 == 1;
}

int fdatasync(int fd)
{
    static int (*real)(int);
    if (fails(fd)) {
        errno = EIO;
        return -1;
    }
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    return real(fd);
}

int fsync(int fd)
{
    static int (*real)(int);
    if (fails(fd)) {
        errno = EIO;
        return -1;
    }
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    return real(fd);
}
