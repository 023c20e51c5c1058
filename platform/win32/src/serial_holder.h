// Who else has a serial device open, from the kernel's table of open files
// under /proc: a Windows port belongs to one opener.
#pragma once

#include <sys/types.h>

#include <string>

namespace w32 {

// Whether the character device is the port side of a pseudo-terminal.
bool IsPseudoTerminal(dev_t dev);

// Another process that has the character device open, or 0. The process
// that holds a pseudo-terminal's other end provides the device (a simulator,
// socat, a test harness) and does not count. Only processes whose open files
// the caller may see are found: its own user's, or all for root. *name (when
// not null) gets the program's name.
pid_t FindDeviceUser(dev_t dev, std::string* name);

}  // namespace w32
