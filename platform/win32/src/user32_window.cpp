// The window table and the window functions that only read or change a
// window's own state.
#include <windows.h>
#include <win32_control.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "user32_window.h"

namespace w32 {

namespace {

std::map<HWND, std::shared_ptr<Window>>& Table() {
    static auto* table = new std::map<HWND, std::shared_ptr<Window>>;
    return *table;
}

std::vector<HWND>& ActiveStack() {
    static auto* stack = new std::vector<HWND>;
    return *stack;
}

uintptr_t g_nextHandle = 0x10010;
HWND g_focus = nullptr;

}  // namespace

std::recursive_mutex& WindowMutex() {
    static auto* mutex = new std::recursive_mutex;
    return *mutex;
}

HWND InsertWindow(std::shared_ptr<Window> window) {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    HWND handle = reinterpret_cast<HWND>(g_nextHandle);
    g_nextHandle += 4;
    window->handle = handle;
    Table()[handle] = std::move(window);
    return handle;
}

std::shared_ptr<Window> FindWindowEntry(HWND handle) {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    auto it = Table().find(handle);
    return it == Table().end() ? nullptr : it->second;
}

void RemoveWindow(HWND handle) {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    if (g_focus == handle) g_focus = nullptr;
    Table().erase(handle);
}

size_t CountDialogs() {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    size_t count = 0;
    for (const auto& entry : Table()) count += entry.second->kind == WindowKind::Dialog;
    return count;
}

HWND ActiveDialog() {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    return ActiveStack().empty() ? nullptr : ActiveStack().back();
}

void PushActiveDialog(HWND dialog) {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    ActiveStack().push_back(dialog);
}

void PopActiveDialog(HWND dialog) {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    auto& stack = ActiveStack();
    stack.erase(std::remove(stack.begin(), stack.end(), dialog), stack.end());
}

void SetFocusWindow(HWND window) {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    g_focus = window;
}

HWND FocusWindow() {
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    return g_focus;
}

std::string ToAnsi(const std::u16string& text) {
    if (text.empty()) return std::string();
    const WCHAR* wide = text.data();
    int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string(text.size(), '?');
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, &out[0], size, nullptr, nullptr);
    return out;
}

}  // namespace w32

using w32::FindWindowEntry;
using w32::Window;
using w32::WindowKind;

namespace {

std::shared_ptr<Window> WindowOrError(HWND hWnd) {
    auto window = FindWindowEntry(hWnd);
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

}  // namespace

WIN32_API HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    auto dialog = WindowOrError(hDlg);
    if (!dialog) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    for (HWND child : dialog->children) {
        auto control = FindWindowEntry(child);
        if (control && control->id == nIDDlgItem) return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

WIN32_API int WINAPI GetDlgCtrlID(HWND hWnd) {
    auto window = WindowOrError(hWnd);
    return window && window->kind != WindowKind::Dialog ? window->id : 0;
}

WIN32_API LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SendMessageA(control, Msg, wParam, lParam) : 0;
}

WIN32_API BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    if (!FindWindowEntry(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0;
}

WIN32_API int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    if (!lpString || nMaxCount <= 0) return 0;
    if (!FindWindowEntry(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        lpString[0] = '\0';
        return 0;
    }
    return static_cast<int>(
        SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

WIN32_API int WINAPI GetWindowTextLengthA(HWND hWnd) {
    if (!WindowOrError(hWnd)) return 0;
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

WIN32_API BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SetWindowTextA(control, lpString) : FALSE;
}

WIN32_API UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    if (!control) {
        if (lpString && cchMax > 0) lpString[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(control, lpString, cchMax));
}

WIN32_API UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    HWND control = GetDlgItem(hDlg, nIDButton);
    return control ? static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0)) : 0;
}

WIN32_API BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND control = GetDlgItem(hDlg, nIDButton);
    if (!control) return FALSE;
    SendMessageA(control, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

WIN32_API BOOL WINAPI IsWindow(HWND hWnd) { return FindWindowEntry(hWnd) != nullptr; }

WIN32_API BOOL WINAPI IsWindowVisible(HWND hWnd) {
    auto window = FindWindowEntry(hWnd);
    if (!window) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    if (!window->visible) return FALSE;
    auto parent = window->parent ? FindWindowEntry(window->parent) : nullptr;
    return !parent || parent->visible;
}

WIN32_API BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    auto window = FindWindowEntry(hWnd);
    return window && window->enabled;
}

WIN32_API BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    auto window = WindowOrError(hWnd);
    if (!window) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    bool wasDisabled = !window->enabled;
    window->enabled = bEnable != FALSE;
    if (window->enabled) {
        window->style &= ~WS_DISABLED;
    } else {
        window->style |= WS_DISABLED;
    }
    return wasDisabled;
}

WIN32_API int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
    auto window = WindowOrError(hWnd);
    if (!window || !lpClassName || nMaxCount <= 0) return 0;
    const char* name = "#32770";
    switch (window->kind) {
        case WindowKind::Dialog:
            name = "#32770";
            break;
        case WindowKind::Button:
            name = "Button";
            break;
        case WindowKind::Edit:
            name = "Edit";
            break;
        case WindowKind::Static:
            name = "Static";
            break;
        case WindowKind::ListBox:
            name = "ListBox";
            break;
        case WindowKind::ScrollBar:
            name = "ScrollBar";
            break;
        case WindowKind::ComboBox:
            name = "ComboBox";
            break;
    }
    size_t n = std::min(strlen(name), static_cast<size_t>(nMaxCount - 1));
    memcpy(lpClassName, name, n);
    lpClassName[n] = '\0';
    return static_cast<int>(n);
}

WIN32_API HWND WINAPI GetParent(HWND hWnd) {
    auto window = WindowOrError(hWnd);
    if (!window) return nullptr;
    // A child's parent; a dialog's owner, as Windows answers for popups.
    return window->kind == WindowKind::Dialog ? window->owner : window->parent;
}

WIN32_API HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
    auto window = WindowOrError(hWnd);
    if (!window) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    if (uCmd == GW_CHILD) return window->children.empty() ? nullptr : window->children.front();
    if (uCmd == GW_OWNER) return window->kind == WindowKind::Dialog ? window->owner : nullptr;
    auto parent = window->parent ? FindWindowEntry(window->parent) : nullptr;
    if (!parent) return nullptr;
    const auto& siblings = parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), hWnd);
    if (it == siblings.end()) return nullptr;
    switch (uCmd) {
        case GW_HWNDFIRST:
            return siblings.front();
        case GW_HWNDLAST:
            return siblings.back();
        case GW_HWNDNEXT:
            return it + 1 == siblings.end() ? nullptr : *(it + 1);
        case GW_HWNDPREV:
            return it == siblings.begin() ? nullptr : *(it - 1);
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

WIN32_API HWND WINAPI GetActiveWindow(void) { return w32::ActiveDialog(); }

WIN32_API HWND WINAPI GetForegroundWindow(void) { return w32::ActiveDialog(); }

WIN32_API HWND WINAPI GetFocus(void) { return w32::FocusWindow(); }

WIN32_API LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    auto window = WindowOrError(hWnd);
    if (!window) return 0;
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    switch (nIndex) {
        case GWL_STYLE:
            return static_cast<LONG_PTR>(window->style);
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(window->exStyle);
        case GWL_ID:
            return window->kind == WindowKind::Dialog ? 0 : window->id;
        case GWLP_USERDATA:
            return window->userData;
        default:
            break;
    }
    if (window->kind == WindowKind::Dialog) {
        if (nIndex == DWLP_MSGRESULT) return window->msgResult;
        if (nIndex == DWLP_DLGPROC) return reinterpret_cast<LONG_PTR>(window->proc);
        if (nIndex == DWLP_USER) return window->dlgUser;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

WIN32_API LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    return static_cast<LONG>(GetWindowLongPtrA(hWnd, nIndex));
}

WIN32_API LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    auto window = WindowOrError(hWnd);
    if (!window) return 0;
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    LONG_PTR old = 0;
    switch (nIndex) {
        case GWL_STYLE:
            old = static_cast<LONG_PTR>(window->style);
            window->style = static_cast<DWORD>(dwNewLong);
            return old;
        case GWL_EXSTYLE:
            old = static_cast<LONG_PTR>(window->exStyle);
            window->exStyle = static_cast<DWORD>(dwNewLong);
            return old;
        case GWL_ID:
            if (window->kind == WindowKind::Dialog) break;
            old = window->id;
            window->id = static_cast<int>(dwNewLong);
            return old;
        case GWLP_USERDATA:
            old = window->userData;
            window->userData = dwNewLong;
            return old;
        default:
            break;
    }
    if (window->kind == WindowKind::Dialog) {
        if (nIndex == DWLP_MSGRESULT) {
            old = window->msgResult;
            window->msgResult = dwNewLong;
            return old;
        }
        if (nIndex == DWLP_USER) {
            old = window->dlgUser;
            window->dlgUser = dwNewLong;
            return old;
        }
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

WIN32_API size_t W32CountOpenDialogs(void) { return w32::CountDialogs(); }
