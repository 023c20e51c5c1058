#include <win32_control.h>

#include <mutex>

#include "Console.h"
#include "Desktop.h"
#include "StartDialogPlay.h"

namespace vpihost {

namespace {

struct State {
    std::mutex mutex;
    Options options;
    bool played = false;
    bool stayedOpen = false;
    std::string lastBox;
    std::string outcome;
} g_state;

int AnswerMessageBox(void*, HWND, const char* text, const char*, UINT) {
    std::string utf8 = Cp932ToUtf8(text ? text : "");
    {
        std::lock_guard<std::mutex> lock(g_state.mutex);
        g_state.lastBox = utf8;
    }
    // A box's lines as one line, so each message stays one line of stderr.
    std::string line;
    for (char c : utf8) {
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ') line += " / ";
        } else if (c != '\r') {
            line += c;
        }
    }
    while (line.size() >= 3 && line.compare(line.size() - 3, 3, " / ") == 0) line.resize(line.size() - 3);
    ErrorLine("message box: " + line);
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
    Options o;
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

bool Desktop::PrepareStartDialog(const Options& options, IniProfile*, unsigned int, std::string*) {
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

std::string Desktop::StartDialogOutcome() const {
    std::lock_guard<std::mutex> lock(g_state.mutex);
    if (!g_state.played) return "the start dialog did not appear";
    if (g_state.stayedOpen)
        return "the start dialog refused Start" + (g_state.lastBox.empty() ? "" : " (" + g_state.lastBox + ")");
    return std::string();
}

std::string Desktop::LastMessageBox() const {
    std::lock_guard<std::mutex> lock(g_state.mutex);
    return g_state.lastBox;
}

}  // namespace vpihost
