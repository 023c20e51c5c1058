#include "module/HostApp.h"

#include "cli/Console.h"

namespace vpihost {

namespace {
const char* OnOff(int value) { return value ? "on" : "off"; }
}  // namespace

HostApp::HostApp(int version, bool localTime, IniProfile* profile, RecordQueue* records)
    : m_version(version), m_localTime(localTime), m_profile(profile), m_records(records) {}

unsigned int HostApp::AddHook(unsigned int nKind, tagHOOKENTRY* pEntry) {
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned int id = static_cast<unsigned int>(m_hooks.size()) + 1;
    m_hooks.push_back({id, nKind, pEntry ? pEntry->pfnCallback : nullptr});
    return id;
}

unsigned int HostApp::AddMenu(unsigned int nPluginId, unsigned int nPlace, const char* pszText,
                              VPI_CALLBACK pfnCallback) {
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned int id = static_cast<unsigned int>(m_menus.size()) + 1;
    m_menus.push_back({id, nPluginId, nPlace, pszText ? pszText : "", pfnCallback});
    return id;
}

unsigned int HostApp::GetProfileInt(unsigned int nPluginId, const char* pszKey, int nDefault) {
    if (!pszKey) return static_cast<unsigned int>(nDefault);
    return static_cast<unsigned int>(m_profile->GetInt(nPluginId, pszKey, nDefault));
}

int HostApp::WriteProfileInt(unsigned int nPluginId, const char* pszKey, int nValue) {
    if (!pszKey) return 0;
    std::string error;
    // The module writes its six settings in a row: one line says why.
    const bool saidBefore = m_profile->WriteFailed();
    if (!m_profile->SetInt(nPluginId, pszKey, nValue, &error)) {
        if (!saidBefore) ErrorLine(error);
        return 0;
    }
    return 1;
}

void HostApp::GetViewOptions(unsigned int, tagVIEWOPTIONS* pOptions) {
    if (!pOptions) return;
    // The caller sets the size; the rest is the host's to fill.
    unsigned int size = pOptions->dwSize;
    *pOptions = tagVIEWOPTIONS{};
    pOptions->dwSize = size;
    pOptions->bLocalTime = m_localTime ? 1 : 0;
}

int HostApp::InitGpsNavi(unsigned int, VPI_CALLBACK) { return 1; }

void HostApp::StartGpsNavi(int bCentering, int b3DView, int bRecord, int) {
    // The fourth argument is the host's own business (always 1): not shown.
    Status(std::string("navigation started: centre the map ") + OnOff(bCentering) + ", 3D view " + OnOff(b3DView) +
           ", record the track " + OnOff(bRecord));
    ++m_starts;
    m_running = true;
}

// On the module's receiver thread: a copy into the queue, never a wait
// for what the loop does with it. The module overwrites its record after
// the call.
void HostApp::SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) {
    if (pInfo) m_records->Push(*pInfo, m_origins ? m_origins->Next() : std::string());
}

void HostApp::ReleaseGpsNavi() {
    if (!m_running.exchange(false)) return;
    if (m_beforeRelease) m_beforeRelease();
    Status("navigation released");
}

std::vector<HostApp::Menu> HostApp::Menus() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_menus;
}

std::vector<HostApp::Hook> HostApp::Hooks() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hooks;
}

}  // namespace vpihost
