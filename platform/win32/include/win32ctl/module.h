// Modules on the Linux stand-in: the loader glue of each module registers
// its compiled resources and the result of its DllMain here.
#ifndef W32CTL_MODULE_H
#define W32CTL_MODULE_H

#include <windows.h>

// data/size: the module's compiled resource file (.res format).
WIN32_API void W32RegisterModuleResources(HMODULE module, const void* data, size_t size);
WIN32_API void W32UnregisterModule(HMODULE module);
// Records the result of the module's process attach; LoadLibraryA fails for
// a module whose attach returned FALSE, as on Windows.
WIN32_API void W32SetModuleAttachResult(HMODULE module, BOOL result);

#endif
