// A file of its own: the kernel's termios header cannot meet the C library's.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "source/LineSpeed.h"

namespace vpihost {

int LineSpeedOf(int fd) {
    struct termios2 tio;
    if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
    return static_cast<int>(tio.c_ospeed);
}

}  // namespace vpihost
