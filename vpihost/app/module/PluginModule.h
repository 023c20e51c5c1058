// A loaded plug-in module and its five entry points.
#pragma once

#include <windows.h>

#include <string>

namespace vpihost {

// What Init wrote into the plug-in information record (280 bytes).
struct PluginInfo {
    unsigned int size = 0;
    std::string name;  // code page 932, as the module wrote it
    std::string version;
    std::string third;
    unsigned int flag = 0;
    bool wrotePastTheEnd = false;  // Init changed bytes behind the record
};

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule() { Unload(); }
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // Loads the module and looks up Init, Load, Close, Release and About;
    // false with a one-line reason.
    bool Open(const std::string& path, std::string* error);
    void Unload();
    HMODULE Handle() const { return m_module; }

    int Init(unsigned int pluginId, PluginInfo* info);
    int Load();
    int About();
    int Close();
    void Release();

private:
    typedef int(__stdcall* InitFn)(void* pInfo, unsigned int nPluginId);
    typedef int(__stdcall* IntFn)(void);
    typedef void(__stdcall* VoidFn)(void);

    HMODULE m_module = nullptr;
    InitFn m_init = nullptr;
    IntFn m_load = nullptr;
    IntFn m_close = nullptr;
    VoidFn m_release = nullptr;
    IntFn m_about = nullptr;
};

// Fields of a raw plug-in information record, never read past its 280 bytes.
PluginInfo ParsePluginInfo(const unsigned char (&record)[280]);

}  // namespace vpihost
