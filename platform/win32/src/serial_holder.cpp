#include "serial_holder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "ProcessScan.h"
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
    bool device = false, otherEnd = false;
    procscan::AnyDescriptor(process, [&](const std::string& path) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
        if (st.st_rdev == dev) {
            device = true;
        } else if (ptyIndex >= 0 && st.st_rdev == makedev(kPtmxMajor, kPtmxMinor) &&
                   IsOtherEnd(process + "/fdinfo/" + path.substr(path.rfind('/') + 1), ptyIndex)) {
            otherEnd = true;
        }
        return false;  // every descriptor: the other end may come after the device
    });
    return device && !otherEnd;
}

}  // namespace

bool IsPseudoTerminal(dev_t dev) { return PtyIndex(dev) >= 0; }

pid_t FindDeviceUser(dev_t dev, std::string* name) {
    const long ptyIndex = PtyIndex(dev);
    return procscan::FindProcess([&](const std::string& dir) { return UsesDevice(dir, dev, ptyIndex); }, true, name);
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
