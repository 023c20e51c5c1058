// Message boxes go to the desktop control API's responder; by default they
// are printed to stderr and answered with OK.
#include <windows.h>
#include <win32_control.h>

#include <cstdio>
#include <mutex>

namespace {
std::mutex g_mutex;
W32MessageBoxResponder g_responder = nullptr;
void* g_context = nullptr;
}  // namespace

WIN32_API void W32SetMessageBoxResponder(W32MessageBoxResponder responder, void* context) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_responder = responder;
    g_context = context;
}

WIN32_API int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    W32MessageBoxResponder responder;
    void* context;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        responder = g_responder;
        context = g_context;
    }
    if (responder) return responder(context, hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "", uType);
    char text[2048];
    W32Cp932ToUtf8(lpText ? lpText : "", text, sizeof text);
    fprintf(stderr, "[message box] %s\n", text);
    return IDOK;
}
