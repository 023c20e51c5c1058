// Modules: a HMODULE is the base address of a loaded object, as on Windows.
// LoadLibraryA is dlopen plus the attach result that the module's loader glue
// reports, so a module whose DllMain refuses the attach fails to load.
#include <windows.h>
#include <win32_control.h>
#include <win32ctl/module.h>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "module_registry.h"

namespace {

struct ModuleInfo {
    w32::ModuleResources resources;
    bool attachFailed = false;
};

std::mutex& Mutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::map<HMODULE, ModuleInfo>& Modules() {
    static auto* modules = new std::map<HMODULE, ModuleInfo>;
    return *modules;
}

struct LoadedObject {
    HMODULE base = nullptr;
    std::string name;   // empty for the main program
    bool main = false;  // the program itself, always the first object
};

// Walks the loaded objects; visit returns true to stop.
template <class Visit>
void ForEachObject(Visit visit) {
    struct Context {
        Visit* visit;
        bool first;
    } context{&visit, true};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* ctx = static_cast<Context*>(data);
            bool main = ctx->first;
            ctx->first = false;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                if (info->dlpi_phdr[i].p_type != PT_LOAD) continue;
                LoadedObject object;
                object.base = reinterpret_cast<HMODULE>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
                object.name = info->dlpi_name ? info->dlpi_name : "";
                object.main = main;
                return (*ctx->visit)(object) ? 1 : 0;
            }
            return 0;
        },
        &context);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// The file name of a loaded object, or empty when the handle names none.
std::string PathOf(HMODULE module, bool* isMain) {
    std::string path;
    *isMain = false;
    ForEachObject([&](const LoadedObject& object) {
        if (object.base != module) return false;
        *isMain = object.main;
        path = object.name;
        if (object.main) {
            char exe[4096];
            ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
            if (n > 0) path.assign(exe, n);
        }
        return true;
    });
    return path;
}

HMODULE BaseOfPath(const std::string& path) {
    HMODULE found = nullptr;
    ForEachObject([&](const LoadedObject& object) {
        if (object.name != path) return false;
        found = object.base;
        return true;
    });
    return found;
}

}  // namespace

namespace w32 {

ModuleResources FindModuleResources(HMODULE module) {
    std::lock_guard<std::mutex> lock(Mutex());
    auto it = Modules().find(module);
    return it == Modules().end() ? ModuleResources{} : it->second.resources;
}

HMODULE ModuleFromAddress(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info)) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

}  // namespace w32

WIN32_API void W32RegisterModuleResources(HMODULE module, const void* data, size_t size) {
    std::lock_guard<std::mutex> lock(Mutex());
    Modules()[module].resources = {static_cast<const unsigned char*>(data), size};
}

WIN32_API void W32UnregisterModule(HMODULE module) {
    std::lock_guard<std::mutex> lock(Mutex());
    Modules().erase(module);
}

WIN32_API void W32SetModuleAttachResult(HMODULE module, BOOL result) {
    std::lock_guard<std::mutex> lock(Mutex());
    Modules()[module].attachFailed = !result;
}

WIN32_API HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    HMODULE found = nullptr;
    ForEachObject([&](const LoadedObject& object) {
        if (!lpModuleName) {
            found = object.base;
            return true;
        }
        if (object.main || !SameNameIgnoringCase(BaseName(object.name), lpModuleName)) return false;
        found = object.base;
        return true;
    });
    if (!found) SetLastError(ERROR_MOD_NOT_FOUND);
    return found;
}

WIN32_API DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    bool isMain = false;
    std::string path = PathOf(hModule ? hModule : GetModuleHandleA(nullptr), &isMain);
    if (path.empty() || nSize == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    DWORD n = static_cast<DWORD>(path.size() < nSize - 1 ? path.size() : nSize - 1);
    memcpy(lpFilename, path.data(), n);
    lpFilename[n] = '\0';
    if (n < path.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return n;
}

WIN32_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* handle = dlopen(lpLibFileName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        SetLastError(access(lpLibFileName, F_OK) == 0 ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    link_map* map = nullptr;
    dlinfo(handle, RTLD_DI_LINKMAP, &map);
    HMODULE base = map ? BaseOfPath(map->l_name) : nullptr;
    bool failed;
    {
        std::lock_guard<std::mutex> lock(Mutex());
        auto it = Modules().find(base);
        failed = it != Modules().end() && it->second.attachFailed;
    }
    if (!base || failed) {
        dlclose(handle);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return base;  // the dlopen reference is released by FreeLibrary
}

WIN32_API BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    bool isMain = false;
    std::string path = PathOf(hLibModule, &isMain);
    if (path.empty() || isMain) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    dlclose(handle);  // the reference just taken
    dlclose(handle);  // the one LoadLibraryA took
    return TRUE;
}

WIN32_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    bool isMain = false;
    std::string path = PathOf(hModule, &isMain);
    void* handle = isMain ? dlopen(nullptr, RTLD_NOW) : dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle || IS_INTRESOURCE(lpProcName)) {
        SetLastError(handle ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
        if (handle) dlclose(handle);
        return nullptr;
    }
    void* symbol = dlsym(handle, lpProcName);
    dlclose(handle);
    if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(symbol);
}
