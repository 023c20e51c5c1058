// Module state and message boxes.
#include <afx.h>

namespace {
AFX_MODULE_STATE g_moduleState = {nullptr, nullptr};
}

AFX_MODULE_STATE* AfxGetModuleState() {
    if (!g_moduleState.m_hCurrentInstanceHandle) {
        // The application's own module until someone says otherwise.
        g_moduleState.m_hCurrentInstanceHandle = GetModuleHandleA(nullptr);
        if (!g_moduleState.m_hCurrentResourceHandle)
            g_moduleState.m_hCurrentResourceHandle = g_moduleState.m_hCurrentInstanceHandle;
    }
    return &g_moduleState;
}

HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }

void AfxSetResourceHandle(HINSTANCE hInstResource) { AfxGetModuleState()->m_hCurrentResourceHandle = hInstResource; }

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT) {
    // Owned by the active window (the open dialog), so the box is modal to it.
    return MessageBoxA(GetActiveWindow(), lpszText, "", nType);
}
