// Declarations of the host's plug-in interface library (PluginIf) and its records.
#ifndef PLUGINIF_H
#define PLUGINIF_H

#include <windows.h>

#include "GpsNaviInfo.h"

#ifdef PLUGINIF_BUILD
#define VPI_API __declspec(dllexport)
#else
#define VPI_API __declspec(dllimport)
#endif

// The host callback's third argument carries a pointer (menu code 101 passes
// the address of the state word), so it is pointer-sized: long where long is
// (32-bit Windows, Linux x86-64), LONG_PTR on 64-bit Windows, where long stays
// 32 bits. The 32-bit ABI is unchanged.
#ifdef _WIN64
typedef LONG_PTR VPI_LPARAM;
#else
typedef long VPI_LPARAM;
#endif
static_assert(sizeof(VPI_LPARAM) == sizeof(void*), "the callback's third argument holds a pointer");

// Host callback: (code, wparam, lparam) -> result, __stdcall on Windows.
typedef long(__stdcall* VPI_CALLBACK)(int nCode, unsigned int wParam, VPI_LPARAM lParam);

// Entry of a command hook. On 32-bit Windows it is 16 bytes; on x86-64 the
// callback pointer is 8 bytes wide and aligned, so the record is 24 bytes and
// dwSize carries sizeof(tagHOOKENTRY) of the platform.
struct tagHOOKENTRY {
    unsigned int dwSize;
    unsigned int dwPluginId;
    VPI_CALLBACK pfnCallback;
    unsigned int dwReserved;
};
static_assert(sizeof(tagHOOKENTRY) == (sizeof(void*) == 4 ? 16 : 24), "hook entry: 16 bytes with 4-byte pointers");

// View options of the host. Only the size and the local-time option are
// part of the contract; the rest is the host's.
struct tagVIEWOPTIONS {
    unsigned int dwSize;  // 144, set by the caller
    int nReserved1[4];
    int bLocalTime;  // offset 20: 1 = the view shows local time
    unsigned char abReserved[144 - 24];
};

static_assert(sizeof(tagVIEWOPTIONS) == 144, "view options size");
static_assert(offsetof(tagVIEWOPTIONS, bLocalTime) == 20, "local-time option");

#define VPI_VIEWOPTIONS_SIZE 144
#define VPI_HOOK_KIND_COMMAND 4
#define VPI_MENU_PLACE_GPS 1831
#define VPI_MENU_CHOOSE 100
#define VPI_MENU_QUERY_STATE 101
#define VPI_HOOK_STOP_GPS 506

extern "C" {
VPI_API int __stdcall VPI_GetVersion(void);
VPI_API unsigned int __stdcall VPI_AddHook(unsigned int nKind, tagHOOKENTRY* pEntry);
VPI_API unsigned int __stdcall VPI_AddMenu(unsigned int nPluginId, unsigned int nPlace, const char* pszText,
                                           VPI_CALLBACK pfnCallback);
VPI_API unsigned int __stdcall VPI_GetProfileInt(unsigned int nPluginId, const char* pszKey, int nDefault);
VPI_API int __stdcall VPI_WriteProfileInt(unsigned int nPluginId, const char* pszKey, int nValue);
VPI_API unsigned int __stdcall VPI_GetActiveView(void);
VPI_API void __stdcall VPI_GetViewOptions(unsigned int nView, tagVIEWOPTIONS* pOptions);
VPI_API int __stdcall VPI_InitGpsNavi(unsigned int nView, VPI_CALLBACK pfnCallback);
VPI_API void __stdcall VPI_StartGpsNavi(int bCentering, int b3DView, int bRecord, int nMode);
VPI_API void __stdcall VPI_SetGpsNaviInfo(tagGPSNAVIINFO* pInfo);
VPI_API void __stdcall VPI_ReleaseGpsNavi(void);
// Packed angle dd.mmss... (degrees, two digits of minutes, then seconds with
// their fraction) to decimal degrees.
VPI_API double __stdcall VPI_60to10(double dPacked);
}

#endif
