// Line speeds in bits per second through termios2, which takes any rate
// (BOTHER), not only those with a Bnnn constant. A file of its own: the
// kernel's termios header cannot meet the C library's.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <windows.h>

namespace w32 {

// Declared in serial_termios.h, which this file cannot include.
DWORD LineSpeed(int fd);
bool SetLineSpeed(int fd, DWORD rate);

DWORD LineSpeed(int fd) {
    struct termios2 tio;
    if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
    return tio.c_ospeed;
}

bool SetLineSpeed(int fd, DWORD rate) {
    struct termios2 tio;
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

}  // namespace w32
