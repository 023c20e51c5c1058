// The system's port configuration dialog: answered by the desktop's
// responder, which plays the user (confirm, cancel) or the failure.
#include <windows.h>
#include <win32_control.h>

#include "callback_slot.h"

namespace {
w32::CallbackSlot<W32CommConfigResponder> g_responder;
}  // namespace

WIN32_API void W32SetCommConfigResponder(W32CommConfigResponder responder, void* context) {
    g_responder.Set(responder, context);
}

WIN32_API BOOL WINAPI CommConfigDialogA(LPCSTR lpszName, HWND hWnd, LPCOMMCONFIG lpCC) {
    if (!lpszName || !lpCC) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lpCC->dwSize < sizeof(COMMCONFIG) - sizeof(lpCC->wcProviderData)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto responder = g_responder.Get();
    // The user's changes land in the record only when confirmed.
    COMMCONFIG working = *lpCC;
    int answer =
        responder.callback ? responder.callback(responder.context, lpszName, hWnd, &working) : W32_COMMCONFIG_CANCEL;
    if (answer == W32_COMMCONFIG_CONFIRM) {
        lpCC->dcb = working.dcb;
        return TRUE;
    }
    SetLastError(answer == W32_COMMCONFIG_CANCEL ? ERROR_CANCELLED : ERROR_INVALID_PARAMETER);
    return FALSE;
}
