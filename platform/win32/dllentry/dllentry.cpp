// Loader glue linked into every Linux module: calls the module's DllMain at
// load and unload with its instance handle (its base address), and registers
// the resources the build embedded, as the Windows loader maps them.
#include <windows.h>
#include <win32ctl/module.h>

#include <dlfcn.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);

// Defined by the embedded resource object when the module has resources.
extern "C" const unsigned char nt_resources_begin[] __attribute__((weak, visibility("hidden")));
extern "C" const unsigned char nt_resources_end[] __attribute__((weak, visibility("hidden")));

namespace {

bool g_attached = false;

HINSTANCE ThisModule() {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&ThisModule), &info);
    return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void AttachModule() {
    HINSTANCE module = ThisModule();
    const unsigned char* begin = nt_resources_begin;
    const unsigned char* end = nt_resources_end;
    if (begin && end > begin) W32RegisterModuleResources(module, begin, static_cast<size_t>(end - begin));
    g_attached = DllMain(module, DLL_PROCESS_ATTACH, nullptr) != FALSE;
    W32SetModuleAttachResult(module, g_attached);
}

__attribute__((destructor)) void DetachModule() {
    HINSTANCE module = ThisModule();
    if (g_attached) DllMain(module, DLL_PROCESS_DETACH, nullptr);
    W32UnregisterModule(module);
}

}  // namespace
