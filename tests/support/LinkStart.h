// Starting a link as the user does, and counting what a process holds, for
// the tests and benchmarks that run whole links.
#pragma once

#include <dirent.h>

#include <cstddef>

#include "DialogDriver.h"
#include "host/PluginIf.h"
#include "shell/Exports.h"

// The menu command, with Start pressed on the stored settings.
inline void StartLinkWithStoredSettings() {
    DialogDriver driver([](HWND dialog) { DialogDriver::Click(dialog, IDOK); });
    MenuCallback(VPI_MENU_CHOOSE, 0, 0);
}

inline size_t CountOpenDescriptors() {
    size_t n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++n;
        closedir(dir);
    }
    return n;
}
