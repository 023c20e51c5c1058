// The twelve VPI_ functions: each forwards to the installed host.
#include <atomic>

#include "BuiltinHost.h"

namespace {

IVpiHost& Builtin() {
    static BuiltinHost* host = new BuiltinHost;  // lives as long as any caller
    return *host;
}

std::atomic<IVpiHost*> g_installed{nullptr};

IVpiHost& Host() {
    IVpiHost* host = g_installed.load();
    return host ? *host : Builtin();
}

}  // namespace

extern "C" {

VPIHOST_API IVpiHost* __stdcall VpiInstallHost(IVpiHost* pHost) { return g_installed.exchange(pHost); }

VPI_API int __stdcall VPI_GetVersion(void) { return Host().GetVersion(); }

VPI_API unsigned int __stdcall VPI_AddHook(unsigned int nKind, tagHOOKENTRY* pEntry) {
    return Host().AddHook(nKind, pEntry);
}

VPI_API unsigned int __stdcall VPI_AddMenu(unsigned int nPluginId, unsigned int nPlace, const char* pszText,
                                           VPI_CALLBACK pfnCallback) {
    return Host().AddMenu(nPluginId, nPlace, pszText, pfnCallback);
}

VPI_API unsigned int __stdcall VPI_GetProfileInt(unsigned int nPluginId, const char* pszKey, int nDefault) {
    return Host().GetProfileInt(nPluginId, pszKey, nDefault);
}

VPI_API int __stdcall VPI_WriteProfileInt(unsigned int nPluginId, const char* pszKey, int nValue) {
    return Host().WriteProfileInt(nPluginId, pszKey, nValue);
}

VPI_API unsigned int __stdcall VPI_GetActiveView(void) { return Host().GetActiveView(); }

VPI_API void __stdcall VPI_GetViewOptions(unsigned int nView, tagVIEWOPTIONS* pOptions) {
    Host().GetViewOptions(nView, pOptions);
}

VPI_API int __stdcall VPI_InitGpsNavi(unsigned int nView, VPI_CALLBACK pfnCallback) {
    return Host().InitGpsNavi(nView, pfnCallback);
}

VPI_API void __stdcall VPI_StartGpsNavi(int bCentering, int b3DView, int bRecord, int nMode) {
    Host().StartGpsNavi(bCentering, b3DView, bRecord, nMode);
}

VPI_API void __stdcall VPI_SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) { Host().SetGpsNaviInfo(pInfo); }

VPI_API void __stdcall VPI_ReleaseGpsNavi(void) { Host().ReleaseGpsNavi(); }

VPI_API double __stdcall VPI_60to10(double dPacked) { return Host().Convert60to10(dPacked); }

}  // extern "C"
