// Per-module data of the stand-in's loader: embedded resources and the
// attach result.
#pragma once

#include <windows.h>

#include <cstddef>

namespace w32 {

struct ModuleResources {
    const unsigned char* data = nullptr;
    size_t size = 0;
};

// The resources registered for a module; empty when it has none.
ModuleResources FindModuleResources(HMODULE module);
// The base address of the object that contains the address.
HMODULE ModuleFromAddress(const void* address);

}  // namespace w32
