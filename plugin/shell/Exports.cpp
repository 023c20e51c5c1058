// Entry points and the callbacks registered with the host.
#include "shell/Exports.h"

#include <afx.h>

#include <cstring>

#include "host/PluginIf.h"
#include "serial/GpsLink.h"
#include "serial/ModuleState.h"
#include "shell/Texts.h"
#include "ui/PluginDlg.h"

unsigned int g_nHookId;
unsigned int g_nMenuId;

PLUGIN_EXPORT int __stdcall Init(tagPLUGININFO* pInfo, unsigned int nPluginId) {
    g_nPluginId = nPluginId;  // also when the host is refused
    if (VPI_GetVersion() < MIN_HOST_VERSION) {
        AfxMessageBox(TEXT_HOST_TOO_OLD, MB_ICONINFORMATION);
        return 0;
    }
    memset(pInfo, 0, sizeof *pInfo);
    pInfo->dwSize = PLUGININFO_SIZE;
    strncpy(pInfo->szName, TEXT_PLUGIN_NAME, sizeof pInfo->szName - 1);
    strncpy(pInfo->szVersion, TEXT_PLUGIN_VERSION, sizeof pInfo->szVersion - 1);
    pInfo->szReserved[0] = '\0';
    pInfo->dwFlags = 1;
    return 1;
}

PLUGIN_EXPORT int __stdcall Load(void) {
    tagHOOKENTRY entry;
    entry.dwSize = sizeof entry;
    entry.dwPluginId = g_nPluginId;
    entry.pfnCallback = HookCallback;
    entry.dwReserved = 0;
    g_nHookId = VPI_AddHook(VPI_HOOK_KIND_COMMAND, &entry);
    g_nMenuId = VPI_AddMenu(g_nPluginId, VPI_MENU_PLACE_GPS, TEXT_MENU_ITEM, MenuCallback);
    return 1;
}

PLUGIN_EXPORT int __stdcall Close(void) {
    // A start still in its dialog ends there, without a link.
    CPluginDlg::CancelRunning();
    StopGpsLink();
    return 1;
}

PLUGIN_EXPORT void __stdcall Release(void) {}

PLUGIN_EXPORT int __stdcall About(void) { return AfxMessageBox(TEXT_ABOUT, MB_ICONINFORMATION); }

long __stdcall MenuCallback(int nCode, unsigned int, VPI_LPARAM lParam) {
    if (nCode == VPI_MENU_CHOOSE) {
        StartGpsLink();
    } else if (nCode == VPI_MENU_QUERY_STATE) {
        if (g_pGPSComm && lParam) *reinterpret_cast<long*>(lParam) = 0;
    }
    return 0;
}

long __stdcall HookCallback(int nCode, unsigned int, VPI_LPARAM) {
    if (nCode == VPI_HOOK_STOP_GPS) StopGpsLink();
    return 0;
}
