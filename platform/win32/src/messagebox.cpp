// Message boxes go to the desktop control API's responder; by default they
// are printed to stderr and answered with OK.
#include <windows.h>
#include <win32_control.h>

#include <cstdio>

#include "callback_slot.h"

namespace {
w32::CallbackSlot<W32MessageBoxResponder> g_responder;
}  // namespace

WIN32_API void W32SetMessageBoxResponder(W32MessageBoxResponder responder, void* context) {
    g_responder.Set(responder, context);
}

WIN32_API int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    auto responder = g_responder.Get();
    if (responder.callback)
        return responder.callback(responder.context, hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "", uType);
    char text[2048];
    W32Cp932ToUtf8(lpText ? lpText : "", text, sizeof text);
    fprintf(stderr, "[message box] %s\n", text);
    return IDOK;
}
