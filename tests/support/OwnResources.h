// Makes a test program that links the module's code directly stand in for
// the module: its own embedded resources (nt_add_resources) are registered
// and its handle becomes the module instance handle.
#pragma once

#include <windows.h>

#include "serial/ModuleState.h"

#ifndef _WIN32
#include <win32ctl/module.h>

extern "C" const unsigned char nt_resources_begin[] __attribute__((visibility("hidden")));
extern "C" const unsigned char nt_resources_end[] __attribute__((visibility("hidden")));
#endif

inline void UseOwnResourcesAsModule() {
    HMODULE self = GetModuleHandleA(nullptr);
#ifndef _WIN32
    W32RegisterModuleResources(self, nt_resources_begin, static_cast<size_t>(nt_resources_end - nt_resources_begin));
#endif
    g_hInstance = self;
}
