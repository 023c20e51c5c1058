#include "ProcessScan.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace procscan {

pid_t FindProcess(const std::function<bool(const std::string& dir)>& holds, bool skipSelf, std::string* name) {
    DIR* proc = opendir("/proc");
    if (!proc) return 0;
    pid_t found = 0;
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || (skipSelf && pid == getpid())) continue;
        if (holds(std::string("/proc/") + entry->d_name)) {
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

bool AnyDescriptor(const std::string& dir, const std::function<bool(const std::string& path)>& each) {
    DIR* fds = opendir((dir + "/fd").c_str());
    if (!fds) return false;  // not ours to see, or gone
    bool any = false;
    while (!any)
        if (dirent* entry = readdir(fds)) {
            if (entry->d_name[0] != '.') any = each(dir + "/fd/" + entry->d_name);
        } else {
            break;
        }
    closedir(fds);
    return any;
}

}  // namespace procscan
