/* Preloaded into orvex-convert by the tests: a file system without files that have no
   name. Opening a folder with O_TMPFILE fails as it does there, with EOPNOTSUPP. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>

static int refuse(int flags)
{
    return (flags & O_TMPFILE) == O_TMPFILE;
}

int open(const char* path, int flags, ...)
{
    static int (*real)(const char*, int, ...);
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) || refuse(flags) ? va_arg(args, mode_t) : 0;
    va_end(args);
    if (refuse(flags)) {
        errno = EOPNOTSUPP;
        return -1;
    }
    if (!real)
        real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) __attribute__((alias("open")));
