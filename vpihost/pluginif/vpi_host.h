// The host side of the PluginIf library: every VPI_ call a plug-in makes is
// forwarded to the installed IVpiHost. A program (vpihost) or a test installs
// its own host to play the application and observe the plug-in.
#pragma once

#include "PluginIf.h"

#ifdef PLUGINIF_BUILD
#define VPIHOST_API __declspec(dllexport)
#else
#define VPIHOST_API __declspec(dllimport)
#endif

class IVpiHost {
public:
    virtual ~IVpiHost() = default;
    virtual int GetVersion() = 0;
    virtual unsigned int AddHook(unsigned int nKind, tagHOOKENTRY* pEntry) = 0;
    virtual unsigned int AddMenu(unsigned int nPluginId, unsigned int nPlace, const char* pszText,
                                 VPI_CALLBACK pfnCallback) = 0;
    virtual unsigned int GetProfileInt(unsigned int nPluginId, const char* pszKey, int nDefault) = 0;
    virtual int WriteProfileInt(unsigned int nPluginId, const char* pszKey, int nValue) = 0;
    virtual unsigned int GetActiveView() = 0;
    virtual void GetViewOptions(unsigned int nView, tagVIEWOPTIONS* pOptions) = 0;
    virtual int InitGpsNavi(unsigned int nView, VPI_CALLBACK pfnCallback) = 0;
    virtual void StartGpsNavi(int bCentering, int b3DView, int bRecord, int nMode) = 0;
    virtual void SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) = 0;
    virtual void ReleaseGpsNavi() = 0;
    virtual double Convert60to10(double dPacked) = 0;
};

// Installs the host that receives every call; null puts back the library's
// built-in host (an in-memory profile that accepts everything). Returns the
// host that was installed before.
extern "C" VPIHOST_API IVpiHost* __stdcall VpiInstallHost(IVpiHost* pHost);

// The conversion that VPI_60to10 performs, exposed for hosts that override
// the rest but keep the library's arithmetic.
extern "C" VPIHOST_API double __stdcall VpiPacked60To10(double dPacked);
