#include <win32_control.h>

#include "cli/Console.h"
#include "desktop/Desktop.h"
#include "desktop/DesktopState.h"
#include "desktop/StartDialogPlay.h"

namespace vpihost {

namespace {

PlayState g_state;

int AnswerMessageBox(void*, HWND, const char* text, const char*, UINT) {
    std::string utf8 = Cp932ToUtf8(text ? text : "");
    {
        std::lock_guard<std::mutex> lock(g_state.mutex);
        g_state.lastBox = utf8;
    }
    SayMessageBox(utf8);
    return IDOK;
}

int ConfirmBaud(void*, const char*, HWND, COMMCONFIG* config) {
    int baud;
    {
        std::lock_guard<std::mutex> lock(g_state.mutex);
        baud = g_state.options.baud;
    }
    if (config && baud > 0) config->dcb.BaudRate = static_cast<DWORD>(baud);
    return W32_COMMCONFIG_CONFIRM;
}

void PlayStartDialog(void*, HWND dialog) {
    DialogSettings o;
    {
        std::lock_guard<std::mutex> lock(g_state.mutex);
        if (g_state.played) return;  // a nested dialog is left to close
        g_state.played = true;
        o = g_state.options;
    }
    ClickOptions(dialog, o);
    if (o.baud > 0) Click(dialog, kLineSettingsButton);
    Click(dialog, IDOK);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
        // Start was refused (the port would not open): give up as a user
        // would, with Cancel.
        {
            std::lock_guard<std::mutex> lock(g_state.mutex);
            g_state.stayedOpen = true;
        }
        Click(dialog, IDCANCEL);
    }
}

}  // namespace

Desktop::Desktop() { W32SetMessageBoxResponder(&AnswerMessageBox, nullptr); }

Desktop::~Desktop() {
    W32SetDialogDriver(nullptr, nullptr);
    W32SetCommConfigResponder(nullptr, nullptr);
    W32SetMessageBoxResponder(nullptr, nullptr);
}

PlayState& DesktopState() { return g_state; }

bool Desktop::PrepareStartDialog(const DialogSettings& options, std::string*) {
    {
        std::lock_guard<std::mutex> lock(g_state.mutex);
        g_state.options = options;
        g_state.played = false;
        g_state.stayedOpen = false;
    }
    W32SetDialogDriver(&PlayStartDialog, nullptr);
    if (options.baud > 0) W32SetCommConfigResponder(&ConfirmBaud, nullptr);
    return true;
}

}  // namespace vpihost
