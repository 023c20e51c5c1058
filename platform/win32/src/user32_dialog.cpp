// Modal dialogs of the Linux stand-in: the classic dialog template is read
// into a dialog window and its controls, WM_INITDIALOG runs, and the modal
// loop hands the dialog to the desktop's dialog driver, which plays the user.
#include <windows.h>
#include <win32_control.h>

#include <cstring>

#include "callback_slot.h"
#include "user32_window.h"

namespace {

using w32::Window;
using w32::WindowKind;

// Largest template read when the caller's pointer lies in no resource.
constexpr size_t kUnboundedTemplateBytes = 0x10000;

w32::CallbackSlot<W32DialogDriver> g_driver;

class TemplateReader {
public:
    TemplateReader(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}

    bool Word(WORD& value) {
        if (m_offset + 2 > m_size) return false;
        memcpy(&value, m_data + m_offset, 2);
        m_offset += 2;
        return true;
    }

    bool Bytes(void* out, size_t count) {
        if (count > m_size - m_offset) return false;
        memcpy(out, m_data + m_offset, count);
        m_offset += count;
        return true;
    }

    bool Skip(size_t count) {
        if (count > m_size - m_offset) return false;
        m_offset += count;
        return true;
    }

    bool String(std::u16string& text) {
        text.clear();
        WORD c;
        while (Word(c)) {
            if (c == 0) return true;
            text.push_back(static_cast<char16_t>(c));
        }
        return false;
    }

    // A string or, after 0xFFFF, a number (ordinal); 0x0000 alone is empty.
    bool StringOrOrdinal(std::u16string& text, WORD& ordinal, bool& isOrdinal) {
        WORD first;
        if (!Word(first)) return false;
        isOrdinal = first == 0xFFFF;
        if (isOrdinal) return Word(ordinal);
        text.clear();
        if (first == 0) return true;
        m_offset -= 2;
        return String(text);
    }

    bool AlignDword() {
        size_t aligned = (m_offset + 3) & ~size_t{3};
        if (aligned > m_size) return false;
        m_offset = aligned;
        return true;
    }

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_offset = 0;
};

bool KindOfClass(bool isOrdinal, WORD atom, const std::u16string& name, WindowKind& kind) {
    static const struct {
        WORD atom;
        const char* name;
        WindowKind kind;
    } classes[] = {{0x80, "BUTTON", WindowKind::Button},       {0x81, "EDIT", WindowKind::Edit},
                   {0x82, "STATIC", WindowKind::Static},       {0x83, "LISTBOX", WindowKind::ListBox},
                   {0x84, "SCROLLBAR", WindowKind::ScrollBar}, {0x85, "COMBOBOX", WindowKind::ComboBox}};
    for (const auto& c : classes) {
        if (isOrdinal) {
            if (atom != c.atom) continue;
            kind = c.kind;
            return true;
        }
        size_t length = strlen(c.name);
        if (name.size() != length) continue;
        bool same = true;
        for (size_t i = 0; i < length && same; ++i) {
            char16_t ch = name[i];
            if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
            same = ch == static_cast<char16_t>(c.name[i]);
        }
        if (same) {
            kind = c.kind;
            return true;
        }
    }
    return false;
}

// Builds the dialog and its controls; on failure nothing stays in the table.
HWND CreateFromTemplate(const unsigned char* data, size_t size, HWND owner, DLGPROC proc, LPARAM param) {
    TemplateReader reader(data, size);
    DLGTEMPLATE header;
    if (!reader.Bytes(&header, sizeof header)) return nullptr;
    WORD signature[2];
    memcpy(signature, &header, sizeof signature);
    if (signature[0] == 1 && signature[1] == 0xFFFF) return nullptr;  // the extended form is not read here

    auto dialog = std::make_shared<Window>();
    dialog->kind = WindowKind::Dialog;
    dialog->style = header.style;
    dialog->exStyle = header.dwExtendedStyle;
    dialog->x = header.x;
    dialog->y = header.y;
    dialog->cx = header.cx;
    dialog->cy = header.cy;
    dialog->owner = owner;
    dialog->proc = proc;
    dialog->initParam = param;

    std::u16string text;
    WORD ordinal = 0;
    bool isOrdinal = false;
    if (!reader.StringOrOrdinal(text, ordinal, isOrdinal)) return nullptr;  // menu
    if (!reader.StringOrOrdinal(text, ordinal, isOrdinal)) return nullptr;  // window class
    if (!reader.String(text)) return nullptr;
    dialog->text = w32::ToAnsi(text);
    if (header.style & DS_SETFONT) {
        if (!reader.Word(dialog->pointSize) || !reader.String(text)) return nullptr;
        dialog->fontName = w32::ToAnsi(text);
    }

    std::vector<std::shared_ptr<Window>> controls;
    for (WORD i = 0; i < header.cdit; ++i) {
        DLGITEMTEMPLATE item;
        if (!reader.AlignDword() || !reader.Bytes(&item, sizeof item)) return nullptr;
        auto control = std::make_shared<Window>();
        std::u16string className;
        WORD atom = 0;
        bool classIsAtom = false;
        if (!reader.StringOrOrdinal(className, atom, classIsAtom)) return nullptr;
        if (!KindOfClass(classIsAtom, atom, className, control->kind)) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (!reader.StringOrOrdinal(text, ordinal, isOrdinal)) return nullptr;
        WORD extra = 0;
        if (!reader.Word(extra) || !reader.Skip(extra)) return nullptr;
        control->style = item.style;
        control->exStyle = item.dwExtendedStyle;
        control->enabled = !(item.style & WS_DISABLED);
        control->visible = (item.style & WS_VISIBLE) != 0;
        control->x = item.x;
        control->y = item.y;
        control->cx = item.cx;
        control->cy = item.cy;
        control->id = item.id;
        if (!isOrdinal) control->text = w32::ToAnsi(text);
        controls.push_back(control);
    }

    HWND handle = w32::InsertWindow(dialog);
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    for (auto& control : controls) {
        control->parent = handle;
        dialog->children.push_back(w32::InsertWindow(control));
    }
    return handle;
}

void DestroyDialog(HWND handle) {
    auto dialog = w32::FindWindowEntry(handle);
    if (!dialog) return;
    std::vector<HWND> children;
    {
        std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
        children = dialog->children;
    }
    for (HWND child : children) w32::RemoveWindow(child);
    w32::RemoveWindow(handle);
}

bool Ended(const std::shared_ptr<Window>& dialog) {
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    return dialog->ended;
}

HWND FirstTabStop(const Window& dialog) {
    for (HWND child : dialog.children) {
        auto control = w32::FindWindowEntry(child);
        if (control && (control->style & WS_TABSTOP) && control->visible && control->enabled) return child;
    }
    return nullptr;
}

INT_PTR RunModal(const unsigned char* data, size_t size, HWND owner, DLGPROC proc, LPARAM param) {
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    HWND handle = CreateFromTemplate(data, size, owner, proc, param);
    if (!handle) {
        if (GetLastError() != ERROR_CANNOT_FIND_WND_CLASS) SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto dialog = w32::FindWindowEntry(handle);
    BOOL ownerWasEnabled = owner ? IsWindowEnabled(owner) : FALSE;
    if (owner) EnableWindow(owner, FALSE);
    w32::PushActiveDialog(handle);

    HWND firstTab;
    {
        std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
        firstTab = FirstTabStop(*dialog);
    }
    // TRUE from WM_INITDIALOG gives the focus to the first tab stop.
    if (SendMessageA(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), param) && firstTab)
        w32::SetFocusWindow(firstTab);
    {
        std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
        dialog->visible = !dialog->ended;
    }

    if (!Ended(dialog)) {
        auto driver = g_driver.Get();
        if (driver.callback) driver.callback(driver.context, handle);
    }
    // Whatever the user left open is closed with the close box.
    if (!Ended(dialog)) SendMessageA(handle, WM_CLOSE, 0, 0);
    INT_PTR result;
    {
        std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
        if (!dialog->ended) {
            dialog->ended = true;
            dialog->result = IDCANCEL;
        }
        result = dialog->result;
        dialog->visible = false;
    }
    SendMessageA(handle, WM_DESTROY, 0, 0);
    w32::PopActiveDialog(handle);
    DestroyDialog(handle);
    if (owner && ownerWasEnabled) EnableWindow(owner, TRUE);
    return result;
}

}  // namespace

WIN32_API INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                         DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    HRSRC resource = FindResourceA(hInstance, lpTemplateName, RT_DIALOG);
    if (!resource) return -1;
    const void* data = LockResource(LoadResource(hInstance, resource));
    DWORD size = SizeofResource(hInstance, resource);
    if (!data) return -1;
    return RunModal(static_cast<const unsigned char*>(data), size, hWndParent, lpDialogFunc, dwInitParam);
}

WIN32_API INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE, LPCDLGTEMPLATEA hDialogTemplate, HWND hWndParent,
                                                 DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    if (!hDialogTemplate) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    size_t size = w32::ResourceBytesFrom(hDialogTemplate);
    if (size == 0) size = kUnboundedTemplateBytes;  // the caller's own memory, trusted as on Windows
    return RunModal(reinterpret_cast<const unsigned char*>(hDialogTemplate), size, hWndParent, lpDialogFunc,
                    dwInitParam);
}

WIN32_API BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    auto dialog = w32::FindWindowEntry(hDlg);
    if (!dialog || dialog->kind != WindowKind::Dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::recursive_mutex> lock(w32::WindowMutex());
    if (!dialog->ended) {
        dialog->ended = true;
        dialog->result = nResult;
        dialog->visible = false;
    }
    return TRUE;
}

WIN32_API void W32SetDialogDriver(W32DialogDriver driver, void* context) { g_driver.Set(driver, context); }
