// Headless windows of the Linux stand-in: a modal dialog and its controls,
// built from a dialog template. A HWND names an entry of the window table.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace w32 {

enum class WindowKind { Dialog, Button, Edit, Static, ListBox, ScrollBar, ComboBox };

struct Window {
    HWND handle = nullptr;
    WindowKind kind = WindowKind::Dialog;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string text;  // code page 932, as the ANSI API sees it
    HWND parent = nullptr;
    bool enabled = true;
    bool visible = false;
    LONG_PTR userData = 0;

    // Buttons.
    UINT check = BST_UNCHECKED;

    // Combo boxes: the list, the selection and (in text) the edit field.
    std::vector<std::string> items;
    int selection = CB_ERR;

    // Dialogs.
    std::vector<HWND> children;  // in template order, which is the tab order
    DLGPROC proc = nullptr;
    LPARAM initParam = 0;
    HWND owner = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR dlgUser = 0;
    bool ended = false;
    INT_PTR result = 0;
    WORD pointSize = 0;
    std::string fontName;
};

// One lock for every window; never held while a dialog procedure runs.
std::recursive_mutex& WindowMutex();

HWND InsertWindow(std::shared_ptr<Window> window);
std::shared_ptr<Window> FindWindowEntry(HWND handle);
void RemoveWindow(HWND handle);
size_t CountDialogs();

// The innermost modal dialog still running, null when none.
HWND ActiveDialog();
void PushActiveDialog(HWND dialog);
void PopActiveDialog(HWND dialog);
void SetFocusWindow(HWND window);
HWND FocusWindow();

// Window procedures of the controls and the default dialog procedure.
LRESULT ControlProc(const std::shared_ptr<Window>& window, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DialogMessage(const std::shared_ptr<Window>& dialog, UINT msg, WPARAM wParam, LPARAM lParam);

// Converts UTF-16 template text to the ANSI code page.
std::string ToAnsi(const std::u16string& text);

// Bytes of registered resource data from address to the end of its resource
// (resources.cpp), 0 when the address lies in none.
size_t ResourceBytesFrom(const void* address);

}  // namespace w32
