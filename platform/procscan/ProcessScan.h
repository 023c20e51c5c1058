// Who holds a file, from the kernel's table of open files under /proc
// (Linux): the one scan behind "... is in use by gpsd (process 1234)", for
// a serial device and for a TCP port. Only processes whose open files the
// caller may see are found: its own user's, or all for root.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace procscan {

// The first process (this one too unless skipSelf) for which holds(dir)
// is true, dir being "/proc/PID"; 0 when none. *name (when not null) gets
// the program's name.
pid_t FindProcess(const std::function<bool(const std::string& dir)>& holds, bool skipSelf, std::string* name);

// Calls each(path) for every descriptor of the process at dir
// ("/proc/PID/fd/N"); stops once it returns true. False when none did, or
// the process cannot be seen.
bool AnyDescriptor(const std::string& dir, const std::function<bool(const std::string& path)>& each);

}  // namespace procscan
