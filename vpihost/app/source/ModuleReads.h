// What the module reads from its port, on Windows, where vpihost has no view
// of the line as the stand-in gives it on Linux: the module's own calls of
// ReadFile and GetOverlappedResult are watched.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vpihost {

// Called on the module's reading thread with a copy of each completed read.
using ReadSink = void (*)(void* context, const char* bytes, size_t size);

// Points the module's import entries of ReadFile and GetOverlappedResult
// (KERNEL32) at wrappers that call the system's and hand each completed
// read to sink. One module at a time, for the rest of the process; false
// when the module imports either one otherwise (the reads then go unseen).
bool WatchModuleReads(HMODULE module, ReadSink sink, void* context);

}  // namespace vpihost
