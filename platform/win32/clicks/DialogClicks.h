// A user's clicks in a dialog, sent as a Windows UI test sends them: shared
// by vpihost's desktop and the tests' dialog driver, on both platforms.
#pragma once

#include <windows.h>

namespace dialog_clicks {

inline void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
inline bool Checked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
inline void SetText(HWND dialog, int id, const char* text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace dialog_clicks
