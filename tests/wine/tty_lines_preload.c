/* Loaded into the Wine process (LD_PRELOAD) when a COM port of the prefix
 * points at a pseudo-terminal: Wine's serial layer reads and sets the modem
 * lines, which a pty refuses, and then aborts every WaitCommEvent. Here a
 * tty that refuses them reports the lines up (CTS, DSR, CD) and takes any
 * setting; every other request reaches the device unchanged.
 *
 * A 32-bit program built with 64-bit time (the 32-bit Wine is) calls glibc's
 * __ioctl_time64 instead of ioctl, so both entries are answered. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int answer_modem_lines(ioctl_fn real, int fd, unsigned long request, void* arg) {
    int result = real(fd, request, arg), saved;
    if (result >= 0) return result;
    saved = errno;
    if ((saved != EINVAL && saved != ENOTTY && saved != EIO) || !isatty(fd)) {
        errno = saved;
        return result;
    }
    switch (request) {
        case TIOCMGET:
            *(int*)arg = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_DTR | TIOCM_RTS;
            return 0;
        case TIOCMSET:
        case TIOCMBIS:
        case TIOCMBIC:
            return 0;
        default:
            errno = saved;
            return result;
    }
}

int ioctl(int fd, unsigned long request, ...) {
    static ioctl_fn real;
    va_list args;
    void* arg;
    va_start(args, request);
    arg = va_arg(args, void*);
    va_end(args);
    if (!real) real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return answer_modem_lines(real, fd, request, arg);
}

#if defined(__GLIBC__) && __TIMESIZE == 32 && __GLIBC_PREREQ(2, 34)
int __ioctl_time64(int fd, unsigned long request, ...) {
    static ioctl_fn real;
    va_list args;
    void* arg;
    va_start(args, request);
    arg = va_arg(args, void*);
    va_end(args);
    if (!real) real = (ioctl_fn)dlsym(RTLD_NEXT, "__ioctl_time64");
    return answer_modem_lines(real, fd, request, arg);
}
#endif
