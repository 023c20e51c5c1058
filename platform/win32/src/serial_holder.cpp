#include "serial_holder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "serial_registry.h"

namespace w32 {
namespace {

// Unix98 pseudo-terminals: port sides on majors 136 to 143, the other ends
// opened through /dev/ptmx (5, 2).
constexpr unsigned kPtsFirstMajor = 136;
constexpr unsigned kPtsLastMajor = 143;
constexpr unsigned kPtsPerMajor = 256;
constexpr unsigned kPtmxMajor = 5;
constexpr unsigned kPtmxMinor = 2;

// The N of /dev/pts/N, or -1 for another device.
long PtyIndex(dev_t dev) {
    if (major(dev) < kPtsFirstMajor || major(dev) > kPtsLastMajor) return -1;
    return static_cast<long>((major(dev) - kPtsFirstMajor) * kPtsPerMajor + minor(dev));
}

// Whether an open /dev/ptmx is the other end of pseudo-terminal `index`: its
// fdinfo tells ("tty-index:"). A kernel that does not tell gets the benefit
// of the doubt.
bool IsOtherEnd(const std::string& fdinfo, long index) {
    static const std::string kKey = "tty-index:";
    std::ifstream in(fdinfo);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, kKey.size(), kKey) == 0)
            return std::strtol(line.c_str() + kKey.size(), nullptr, 10) == index;
    }
    return true;
}

// Whether the process has the device open and is not its other end.
bool UsesDevice(const std::string& process, dev_t dev, long ptyIndex) {
    DIR* fds = opendir((process + "/fd").c_str());
    if (!fds) return false;  // not ours to see, or gone
    bool device = false, otherEnd = false;
    while (dirent* entry = readdir(fds)) {
        struct stat st;
        if (entry->d_name[0] == '.' || stat((process + "/fd/" + entry->d_name).c_str(), &st) != 0 ||
            !S_ISCHR(st.st_mode)) {
            continue;
        }
        if (st.st_rdev == dev) {
            device = true;
        } else if (ptyIndex >= 0 && st.st_rdev == makedev(kPtmxMajor, kPtmxMinor) &&
                   IsOtherEnd(process + "/fdinfo/" + entry->d_name, ptyIndex)) {
            otherEnd = true;
        }
    }
    closedir(fds);
    return device && !otherEnd;
}

}  // namespace

bool IsPseudoTerminal(dev_t dev) { return PtyIndex(dev) >= 0; }

pid_t FindDeviceUser(dev_t dev, std::string* name) {
    DIR* proc = opendir("/proc");
    if (!proc) return 0;
    const long ptyIndex = PtyIndex(dev);
    pid_t found = 0;
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == getpid()) continue;
        if (UsesDevice(std::string("/proc/") + entry->d_name, dev, ptyIndex)) {
            found = static_cast<pid_t>(pid);
            break;
        }
    }
    closedir(proc);
    if (found && name) {
        std::ifstream comm("/proc/" + std::to_string(found) + "/comm");
        std::getline(comm, *name);
    }
    return found;
}

}  // namespace w32

WIN32_API DWORD W32FindSerialDeviceUser(const char* devicePath, char* name, size_t nameSize) {
    struct stat st;
    if (!devicePath || stat(devicePath, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
    std::string program;
    pid_t pid = w32::FindDeviceUser(st.st_rdev, &program);
    if (name && nameSize > 0) {
        std::strncpy(name, program.c_str(), nameSize - 1);
        name[nameSize - 1] = '\0';
    }
    return static_cast<DWORD>(pid);
}
