// The plug-in's lifetime in a run: the host installed in PluginIf for
// exactly the run, and a module owned from its Load on, so that the
// plug-in's Close and Release, then the unload, come once on every way out.
#pragma once

#include "module/PluginModule.h"
#include "vpi_host.h"

namespace vpihost {

class InstalledHost {
public:
    explicit InstalledHost(IVpiHost* host) : m_previous(VpiInstallHost(host)) {}
    ~InstalledHost() { VpiInstallHost(m_previous); }
    InstalledHost(const InstalledHost&) = delete;
    InstalledHost& operator=(const InstalledHost&) = delete;

private:
    IVpiHost* m_previous;
};

class LoadedPlugin {
public:
    explicit LoadedPlugin(PluginModule* module) : m_module(module) { m_module->Load(); }
    ~LoadedPlugin() {
        m_module->Close();
        m_module->Release();
        m_module->Unload();
    }
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    int About() { return m_module->About(); }

private:
    PluginModule* m_module;
};

}  // namespace vpihost
