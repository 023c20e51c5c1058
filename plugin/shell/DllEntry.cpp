// Library attach and detach: register as an extension module of the
// framework and keep the instance handle for the dialog's resources.
#include <afxdllx.h>

#include <new>

#include "serial/ModuleState.h"

static AFX_EXTENSION_MODULE g_ExtensionModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        if (!AfxInitExtensionModule(g_ExtensionModule, hInstance)) return 0;
        // A failed allocation only costs the resource chain entry.
        new (std::nothrow) CDynLinkLibrary(g_ExtensionModule);
        g_hInstance = hInstance;
    } else if (dwReason == DLL_PROCESS_DETACH) {
        AfxTermExtensionModule(g_ExtensionModule);
    }
    return 1;
}
