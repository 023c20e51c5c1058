// vpihost's side of the PluginIf library: the application the plug-in
// talks to. Profile calls go to the INI profile, every fix goes into the
// record queue (and nothing more happens on the module's receiver thread),
// registrations and navigation calls are kept for the run.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "module/IniProfile.h"
#include "run/RecordQueue.h"
#include "source/RecordOrigins.h"
#include "vpi_host.h"

namespace vpihost {

class HostApp : public IVpiHost {
public:
    struct Menu {
        unsigned int id, pluginId, place;
        std::string text;  // code page 932
        VPI_CALLBACK callback;
    };
    struct Hook {
        unsigned int id, kind;
        VPI_CALLBACK callback;
    };

    HostApp(int version, bool localTime, IniProfile* profile, RecordQueue* records);

    int GetVersion() override { return m_version; }
    unsigned int AddHook(unsigned int nKind, tagHOOKENTRY* pEntry) override;
    unsigned int AddMenu(unsigned int nPluginId, unsigned int nPlace, const char* pszText,
                         VPI_CALLBACK pfnCallback) override;
    unsigned int GetProfileInt(unsigned int nPluginId, const char* pszKey, int nDefault) override;
    int WriteProfileInt(unsigned int nPluginId, const char* pszKey, int nValue) override;
    unsigned int GetActiveView() override { return kView; }
    void GetViewOptions(unsigned int nView, tagVIEWOPTIONS* pOptions) override;
    int InitGpsNavi(unsigned int nView, VPI_CALLBACK pfnCallback) override;
    void StartGpsNavi(int bCentering, int b3DView, int bRecord, int nMode) override;
    void SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) override;
    // Tells which sentence each record came from; none where the line is
    // not seen.
    void SetOrigins(RecordOrigins* origins) { m_origins = origins; }
    void ReleaseGpsNavi() override;
    double Convert60to10(double dPacked) override { return VpiPacked60To10(dPacked); }

    // Called as the module releases navigation, before that is said: its
    // thread has ended, so the last records can be shown first.
    void SetBeforeRelease(std::function<void()> beforeRelease) { m_beforeRelease = std::move(beforeRelease); }

    std::vector<Menu> Menus();
    std::vector<Hook> Hooks();
    bool NavigationRunning() const { return m_running.load(); }
    int NavigationStarts() const { return m_starts.load(); }
    // A profile write failed during the run (said once, when it first did).
    bool ProfileFailed() const { return m_profile->WriteFailed(); }

    static constexpr unsigned int kView = 1;

private:
    int m_version;
    bool m_localTime;
    IniProfile* m_profile;
    RecordQueue* m_records;
    RecordOrigins* m_origins = nullptr;
    std::mutex m_mutex;
    std::vector<Menu> m_menus;
    std::vector<Hook> m_hooks;
    std::atomic<bool> m_running{false};
    std::atomic<int> m_starts{0};
    std::function<void()> m_beforeRelease;
};

}  // namespace vpihost
