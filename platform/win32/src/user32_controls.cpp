// Messages of the headless windows: the built-in controls (buttons, static
// texts, edit fields, combo boxes) and the default handling of dialogs, as
// the system's own window procedures answer them.
#include <windows.h>
#include <win32_control.h>

#include <algorithm>
#include <cstring>

#include "user32_window.h"

namespace w32 {

namespace {

constexpr size_t kMaxListItems = 32767;

using Lock = std::lock_guard<std::recursive_mutex>;

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares the first `length` bytes of want against item without regard to
// ASCII case; double-byte characters compare exactly, so that a trail byte
// that looks like a letter is not folded.
bool StartsWithIgnoringCase(const std::string& item, const char* want, size_t length, bool whole) {
    if (item.size() < length || (whole && item.size() != length)) return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(want[i]);
        if (IsLeadByte(c) && i + 1 < length) {
            if (item[i] != want[i] || item[i + 1] != want[i + 1]) return false;
            ++i;
            continue;
        }
        if (LowerAscii(item[i]) != LowerAscii(want[i])) return false;
    }
    return true;
}

// Searches after index `start` (-1 or out of range: from the top) and wraps
// around to it, as the list boxes do.
int FindItem(const Window& combo, WPARAM startParam, LPARAM textParam, bool whole) {
    const char* want = reinterpret_cast<const char*>(textParam);
    int count = static_cast<int>(combo.items.size());
    if (!want || count == 0) return CB_ERR;
    int start = static_cast<int>(static_cast<INT_PTR>(startParam));
    if (start < 0 || start >= count) start = -1;
    size_t length = strlen(want);
    for (int n = 1; n <= count; ++n) {
        int index = (start + n) % count;
        if (StartsWithIgnoringCase(combo.items[static_cast<size_t>(index)], want, length, whole)) return index;
    }
    return CB_ERR;
}

// Copies text into a caller's buffer of `size` bytes, never splitting a
// double-byte character; returns the bytes copied without the NUL.
LRESULT CopyText(const std::string& text, WPARAM sizeParam, LPARAM bufferParam) {
    char* buffer = reinterpret_cast<char*>(bufferParam);
    size_t size = static_cast<size_t>(sizeParam);
    if (!buffer || size == 0) return 0;
    size_t n = 0;
    while (n < text.size() && n + 1 < size) {
        bool lead = IsLeadByte(static_cast<unsigned char>(text[n])) && n + 1 < text.size();
        size_t width = lead ? 2 : 1;
        if (n + width + 1 > size) break;
        n += width;
    }
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<LRESULT>(n);
}

UINT ButtonType(const Window& button) { return button.style & BS_TYPEMASK; }

UINT MaxCheckState(const Window& button) {
    switch (ButtonType(button)) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return BST_CHECKED;
        case BS_3STATE:
        case BS_AUTO3STATE:
            return BST_INDETERMINATE;
        default:
            return BST_UNCHECKED;
    }
}

// The other auto radio buttons of a radio button's group: from the control
// with WS_GROUP at or before it up to the next control with WS_GROUP.
void UncheckGroupSiblings(const Window& button) {
    auto dialog = FindWindowEntry(button.parent);
    if (!dialog) return;
    const auto& children = dialog->children;
    auto self = std::find(children.begin(), children.end(), button.handle);
    if (self == children.end()) return;
    auto first = self;
    while (first != children.begin()) {
        auto control = FindWindowEntry(*first);
        if (control && (control->style & WS_GROUP)) break;
        --first;
    }
    for (auto it = first; it != children.end(); ++it) {
        auto control = FindWindowEntry(*it);
        if (!control) continue;
        if (it != first && (control->style & WS_GROUP)) break;
        if (it != self && control->kind == WindowKind::Button && ButtonType(*control) == BS_AUTORADIOBUTTON)
            control->check = BST_UNCHECKED;
    }
}

LRESULT ButtonClick(const std::shared_ptr<Window>& button) {
    HWND parent;
    int id;
    {
        Lock lock(WindowMutex());
        if (!button->enabled || ButtonType(*button) == BS_GROUPBOX) return 0;
        switch (ButtonType(*button)) {
            case BS_AUTOCHECKBOX:
                button->check = button->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
                break;
            case BS_AUTO3STATE:
                button->check = (button->check + 1) % 3;
                break;
            case BS_AUTORADIOBUTTON:
                button->check = BST_CHECKED;
                UncheckGroupSiblings(*button);
                break;
            default:
                break;
        }
        parent = button->parent;
        id = button->id;
    }
    SetFocusWindow(button->handle);
    if (parent) SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button->handle));
    return 0;
}

LRESULT ComboMessage(Window& combo, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    int count = static_cast<int>(combo.items.size());
    int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    switch (msg) {
        case CB_ADDSTRING:
        case CB_INSERTSTRING: {
            const char* text = reinterpret_cast<const char*>(lParam);
            if (!text) return CB_ERR;
            if (combo.items.size() >= kMaxListItems) return CB_ERRSPACE;
            int at = count;
            if (msg == CB_INSERTSTRING) {
                if (index > count || index < -1) return CB_ERR;
                if (index >= 0) at = index;
            } else if (combo.style & CBS_SORT) {
                at = 0;
                while (at < count && strcasecmp(combo.items[static_cast<size_t>(at)].c_str(), text) <= 0) ++at;
            }
            combo.items.insert(combo.items.begin() + at, text);
            if (combo.selection >= at) ++combo.selection;
            return at;
        }
        case CB_DELETESTRING:
            if (index < 0 || index >= count) return CB_ERR;
            combo.items.erase(combo.items.begin() + index);
            if (combo.selection == index) {
                combo.selection = CB_ERR;
            } else if (combo.selection > index) {
                --combo.selection;
            }
            return count - 1;
        case CB_RESETCONTENT:
            combo.items.clear();
            combo.selection = CB_ERR;
            return CB_OKAY;
        case CB_GETCOUNT:
            return count;
        case CB_GETCURSEL:
            return combo.selection;
        case CB_SETCURSEL:
            if (index < 0 || index >= count) {
                combo.selection = CB_ERR;
                combo.text.clear();
                return CB_ERR;
            }
            combo.selection = index;
            combo.text = combo.items[static_cast<size_t>(index)];
            return index;
        case CB_GETLBTEXT: {
            if (index < 0 || index >= count || !lParam) return CB_ERR;
            const std::string& item = combo.items[static_cast<size_t>(index)];
            memcpy(reinterpret_cast<char*>(lParam), item.c_str(), item.size() + 1);
            return static_cast<LRESULT>(item.size());
        }
        case CB_GETLBTEXTLEN:
            if (index < 0 || index >= count) return CB_ERR;
            return static_cast<LRESULT>(combo.items[static_cast<size_t>(index)].size());
        case CB_FINDSTRING:
            return FindItem(combo, wParam, lParam, false);
        case CB_FINDSTRINGEXACT:
            return FindItem(combo, wParam, lParam, true);
        case CB_SELECTSTRING: {
            int found = FindItem(combo, wParam, lParam, false);
            if (found == CB_ERR) return CB_ERR;  // the selection stays as it was
            combo.selection = found;
            combo.text = combo.items[static_cast<size_t>(found)];
            return found;
        }
        case CB_LIMITTEXT:
            return TRUE;
        default:
            handled = false;
            return 0;
    }
}

LRESULT DialogCodeOf(const Window& window) {
    switch (window.kind) {
        case WindowKind::Button:
            switch (ButtonType(window)) {
                case BS_DEFPUSHBUTTON:
                    return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
                case BS_PUSHBUTTON:
                    return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
                case BS_RADIOBUTTON:
                case BS_AUTORADIOBUTTON:
                    return DLGC_BUTTON | DLGC_RADIOBUTTON;
                case BS_GROUPBOX:
                    return DLGC_STATIC;
                default:
                    return DLGC_BUTTON;
            }
        case WindowKind::Static:
            return DLGC_STATIC;
        case WindowKind::Edit:
        case WindowKind::ComboBox:
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        default:
            return 0;
    }
}

// The default push button's id: the first BS_DEFPUSHBUTTON, else IDOK.
int DefaultId(const Window& dialog) {
    for (HWND child : dialog.children) {
        auto control = FindWindowEntry(child);
        if (control && control->kind == WindowKind::Button && ButtonType(*control) == BS_DEFPUSHBUTTON)
            return control->id;
    }
    return IDOK;
}

// A command from a push button, as the dialog manager sends it for Enter,
// Esc and the close box; nothing when the button is there but disabled.
void SendButtonCommand(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button)) return;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace

LRESULT ControlProc(const std::shared_ptr<Window>& window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == BM_CLICK && window->kind == WindowKind::Button) return ButtonClick(window);
    if (msg == WM_KEYDOWN || msg == WM_CHAR) {
        // Keys reach the dialog manager first, as in the dialog's message loop.
        auto dialog = FindWindowEntry(window->parent);
        return dialog ? DialogMessage(dialog, msg, wParam, lParam) : 0;
    }
    Lock lock(WindowMutex());
    switch (msg) {
        case WM_SETTEXT:
            window->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            return TRUE;
        case WM_GETTEXT:
            return CopyText(window->text, wParam, lParam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(window->text.size());
        case WM_GETDLGCODE:
            return DialogCodeOf(*window);
        default:
            break;
    }
    if (window->kind == WindowKind::Button) {
        switch (msg) {
            case BM_GETCHECK:
                return MaxCheckState(*window) ? window->check : BST_UNCHECKED;
            case BM_SETCHECK:
                if (MaxCheckState(*window))
                    window->check = std::min<UINT>(static_cast<UINT>(wParam), MaxCheckState(*window));
                return 0;
            case BM_GETSTATE:
                return window->check;
            case BM_SETSTYLE:
                window->style = (window->style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFFu);
                return 0;
            default:
                return 0;
        }
    }
    if (window->kind == WindowKind::ComboBox) {
        bool handled = false;
        LRESULT result = ComboMessage(*window, msg, wParam, lParam, handled);
        if (handled) return result;
    }
    return 0;
}

LRESULT DialogMessage(const std::shared_ptr<Window>& dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc;
    {
        Lock lock(WindowMutex());
        proc = dialog->proc;
        dialog->msgResult = 0;
    }
    // Keys go to the dialog manager, not to the dialog procedure.
    bool key = msg == WM_KEYDOWN || msg == WM_CHAR;
    INT_PTR handled = proc && !key ? proc(dialog->handle, msg, wParam, lParam) : FALSE;
    if (handled) {
        if (msg == WM_INITDIALOG) return handled;
        Lock lock(WindowMutex());
        return dialog->msgResult;
    }
    switch (msg) {
        case WM_CLOSE:
            SendButtonCommand(dialog->handle, IDCANCEL);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0u) == SC_CLOSE) SendMessageA(dialog->handle, WM_CLOSE, 0, 0);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) SendButtonCommand(dialog->handle, IDCANCEL);
            if (wParam == VK_RETURN) {
                int id;
                {
                    Lock lock(WindowMutex());
                    id = DefaultId(*dialog);
                }
                SendButtonCommand(dialog->handle, id);
            }
            return 0;
        case DM_GETDEFID: {
            Lock lock(WindowMutex());
            return MAKELONG(DefaultId(*dialog), DC_HASDEFID);
        }
        default:
            break;
    }
    Lock lock(WindowMutex());
    switch (msg) {
        case WM_SETTEXT:
            dialog->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            return TRUE;
        case WM_GETTEXT:
            return CopyText(dialog->text, wParam, lParam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(dialog->text.size());
        default:
            return 0;
    }
}

}  // namespace w32

WIN32_API LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto window = w32::FindWindowEntry(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->kind == w32::WindowKind::Dialog) return w32::DialogMessage(window, Msg, wParam, lParam);
    return w32::ControlProc(window, Msg, wParam, lParam);
}
