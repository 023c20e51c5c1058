#include "BuiltinHost.h"

#include <cstring>

unsigned int BuiltinHost::AddHook(unsigned int, tagHOOKENTRY*) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nextId++;
}

unsigned int BuiltinHost::AddMenu(unsigned int, unsigned int, const char*, VPI_CALLBACK) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nextId++;
}

unsigned int BuiltinHost::GetProfileInt(unsigned int nPluginId, const char* pszKey, int nDefault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_profile.find({nPluginId, pszKey ? pszKey : ""});
    return static_cast<unsigned int>(it == m_profile.end() ? nDefault : it->second);
}

int BuiltinHost::WriteProfileInt(unsigned int nPluginId, const char* pszKey, int nValue) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_profile[{nPluginId, pszKey ? pszKey : ""}] = nValue;
    return 1;
}

void BuiltinHost::GetViewOptions(unsigned int, tagVIEWOPTIONS* pOptions) {
    if (!pOptions) return;
    unsigned int size = pOptions->dwSize;
    memset(pOptions, 0, sizeof *pOptions);
    pOptions->dwSize = size;
}
