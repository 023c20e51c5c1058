#include "module/PluginModule.h"

#include <cstring>

namespace vpihost {

namespace {

std::string Text(const unsigned char* field, size_t width) {
    size_t length = 0;
    while (length < width && field[length] != 0) ++length;
    return std::string(reinterpret_cast<const char*>(field), length);
}

template <class F>
F Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

PluginInfo ParsePluginInfo(const unsigned char (&record)[280]) {
    PluginInfo info;
    memcpy(&info.size, record, 4);
    info.name = Text(record + 4, 80);
    info.version = Text(record + 84, 30);
    info.third = Text(record + 114, 162);
    memcpy(&info.flag, record + 276, 4);
    return info;
}

bool PluginModule::Open(const std::string& path, std::string* error) {
    Unload();
    m_module = LoadLibraryA(path.c_str());
    if (!m_module) {
        const DWORD code = GetLastError();
        const char* why = code == ERROR_BAD_EXE_FORMAT
                              ? "it is not a module for this system (another file format or processor type)"
                          : code == ERROR_MOD_NOT_FOUND   ? "it or a library it needs was not found"
                          : code == ERROR_DLL_INIT_FAILED ? "the module refused to attach"
                          : code == ERROR_ACCESS_DENIED   ? "access is denied"
                                                          : "the system's loader refused it";
        *error = "cannot load " + path + ": " + why + " (error " + std::to_string(code) + ")";
        return false;
    }
    m_init = Lookup<InitFn>(m_module, "Init");
    m_load = Lookup<IntFn>(m_module, "Load");
    m_close = Lookup<IntFn>(m_module, "Close");
    m_release = Lookup<VoidFn>(m_module, "Release");
    m_about = Lookup<IntFn>(m_module, "About");
    const char* missing = !m_init      ? "Init"
                          : !m_load    ? "Load"
                          : !m_close   ? "Close"
                          : !m_release ? "Release"
                          : !m_about   ? "About"
                                       : nullptr;
    if (missing) {
        *error = path + " does not export " + missing;
        Unload();
        return false;
    }
    return true;
}

void PluginModule::Unload() {
    if (m_module) FreeLibrary(m_module);
    m_module = nullptr;
    m_init = nullptr;
    m_load = m_close = m_about = nullptr;
    m_release = nullptr;
}

int PluginModule::Init(unsigned int pluginId, PluginInfo* info) {
    // Room beyond the record, filled with a pattern, catches a module that
    // writes past its end.
    constexpr unsigned char kPattern = 0xA5;
    unsigned char record[280 + 64];
    memset(record, 0, 280);
    memset(record + 280, kPattern, sizeof record - 280);
    int result = m_init(record, pluginId);
    unsigned char exact[280];
    memcpy(exact, record, sizeof exact);
    *info = ParsePluginInfo(exact);
    for (size_t i = 280; i < sizeof record; ++i) info->wrotePastTheEnd |= record[i] != kPattern;
    return result;
}

int PluginModule::Load() { return m_load(); }
int PluginModule::About() { return m_about(); }
int PluginModule::Close() { return m_close(); }
void PluginModule::Release() { m_release(); }

}  // namespace vpihost
