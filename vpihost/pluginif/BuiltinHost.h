// The host that serves when no program or test has installed its own: an
// in-memory profile, one view, local time off, and every request accepted.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "ProductVersion.h"
#include "vpi_host.h"

class BuiltinHost : public IVpiHost {
public:
    int GetVersion() override { return NT_HOST_VERSION; }
    unsigned int AddHook(unsigned int, tagHOOKENTRY*) override;
    unsigned int AddMenu(unsigned int, unsigned int, const char*, VPI_CALLBACK) override;
    unsigned int GetProfileInt(unsigned int nPluginId, const char* pszKey, int nDefault) override;
    int WriteProfileInt(unsigned int nPluginId, const char* pszKey, int nValue) override;
    unsigned int GetActiveView() override { return 1; }
    void GetViewOptions(unsigned int nView, tagVIEWOPTIONS* pOptions) override;
    int InitGpsNavi(unsigned int, VPI_CALLBACK) override { return 1; }
    void StartGpsNavi(int, int, int, int) override {}
    void SetGpsNaviInfo(tagGPSNAVIINFO*) override {}
    void ReleaseGpsNavi() override {}
    double Convert60to10(double dPacked) override { return VpiPacked60To10(dPacked); }

private:
    std::mutex m_mutex;
    std::map<std::pair<unsigned int, std::string>, int> m_profile;
    unsigned int m_nextId = 1;
};
