// Shows the start dialog as the user meets it, with typical stored settings,
// until the user (or the screenshot script) closes it. Windows only.
#include <windows.h>

#include "serial/ModuleState.h"
#include "ui/GPSNaviStartDlg.h"

namespace {

// With no window manager on the virtual screen nothing activates the dialog;
// the user would see it active, with its caption bar lit.
DWORD WINAPI ActivateWhenShown(LPVOID) {
    for (int i = 0; i < 500; ++i) {
        HWND dialog = FindWindowA("#32770", nullptr);
        if (dialog && IsWindowVisible(dialog)) {
            SetForegroundWindow(dialog);
            SendMessageA(dialog, WM_NCACTIVATE, TRUE, 0);
            return 0;
        }
        Sleep(20);
    }
    return 0;
}

}  // namespace

int main() {
    g_hInstance = GetModuleHandleA(nullptr);
    CloseHandle(CreateThread(nullptr, 0, &ActivateWhenShown, nullptr, 0, nullptr));
    CGPSNaviStartDlg dlg;
    dlg.m_nCommPort = 0;
    dlg.m_nDevice = 0;
    dlg.m_bCentering = TRUE;
    dlg.m_b3DView = FALSE;
    dlg.m_bRecord = TRUE;
    dlg.m_strSampling = "5";
    return dlg.DoModal() == IDOK ? 0 : 1;
}
