// The real desktop, played as a user would, from two threads that look at
// the windows of the UI thread (the one that made the Desktop): one clicks
// the options into the start dialog when it appears and presses Start, the
// other answers message boxes with OK. Messages go in as a Windows UI test
// sends them.
#include <windows.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "cli/Console.h"
#include "desktop/Desktop.h"
#include "desktop/DesktopState.h"
#include "desktop/StartDialogPlay.h"

namespace vpihost {

namespace {

constexpr int kMessageBoxText = 0xFFFF;

struct State : PlayState {
    DWORD uiThread = 0;
    bool stop = false;
    bool armed = false;  // the next start dialog is to be played
    int boxes = 0;       // message boxes answered
    std::thread player, answerer;
} g_state;

bool IsStartDialog(HWND window) { return GetDlgItem(window, kNmeaRadio) && GetDlgItem(window, kSonyRadio); }
bool IsOpen(HWND window) { return IsWindow(window) && IsWindowVisible(window); }

struct Search {
    bool wantStartDialog;
    HWND found;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") != 0 || !IsWindowVisible(window) || IsStartDialog(window) != search->wantStartDialog)
        return TRUE;
    search->found = window;
    return FALSE;
}

// The start dialog, or any other dialog window (a message box), of the UI
// thread.
HWND UiDialog(bool startDialog) {
    Search search{startDialog, nullptr};
    EnumThreadWindows(g_state.uiThread, &FindVisibleDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PostClick(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

bool Stopping() {
    std::lock_guard<std::mutex> lock(g_state.mutex);
    return g_state.stop;
}

int BoxesAnswered() {
    std::lock_guard<std::mutex> lock(g_state.mutex);
    return g_state.boxes;
}

// A box's text on stderr; the box is then closed with OK.
void AnswerMessageBox(HWND box) {
    char text[2048] = {};
    GetDlgItemTextA(box, kMessageBoxText, text, sizeof text);
    std::string utf8 = Cp932ToUtf8(text);
    SayMessageBox(utf8);
    PostClick(box, IDOK);
    for (int i = 0; i < 300 && IsOpen(box); ++i) Sleep(10);
    std::lock_guard<std::mutex> lock(g_state.mutex);
    g_state.lastBox = utf8;
    ++g_state.boxes;
}

// Any click may raise a box (a receiver radio opens the port): boxes are
// answered on a thread of their own, while the player waits in SendMessage.
void AnswerBoxes() {
    while (!Stopping()) {
        if (HWND box = UiDialog(false))
            AnswerMessageBox(box);
        else
            Sleep(10);
    }
}

// After Start: true once the dialog has closed, false when it is still open
// a while after a box was answered (Start was refused).
bool WaitForClose(HWND dialog, int boxesBefore) {
    int quiet = 0;
    while (!Stopping() && IsOpen(dialog)) {
        if (BoxesAnswered() != boxesBefore && (quiet += 10) >= 500) return false;
        Sleep(10);
    }
    return true;
}

void PlayStartDialog(HWND dialog) {
    DialogSettings o;
    {
        std::lock_guard<std::mutex> lock(g_state.mutex);
        g_state.armed = false;
        g_state.played = true;
        o = g_state.options;
    }
    ClickOptions(dialog, o);
    int boxes = BoxesAnswered();
    PostClick(dialog, IDOK);
    if (WaitForClose(dialog, boxes)) return;
    // Start was refused (the port would not open): give up as a user
    // would, with Cancel.
    {
        std::lock_guard<std::mutex> lock(g_state.mutex);
        g_state.stayedOpen = true;
    }
    PostClick(dialog, IDCANCEL);
    WaitForClose(dialog, -1);
}

// Plays the start dialog once it appears, when vpihost was asked to; one
// that was not asked for is the user's.
void PlayDialogs() {
    while (!Stopping()) {
        HWND dialog = UiDialog(true);
        bool armed;
        {
            std::lock_guard<std::mutex> lock(g_state.mutex);
            armed = g_state.armed;
        }
        if (dialog && armed)
            PlayStartDialog(dialog);
        else
            Sleep(10);
    }
}

}  // namespace

Desktop::Desktop() {
    std::lock_guard<std::mutex> lock(g_state.mutex);
    g_state.uiThread = GetCurrentThreadId();
    g_state.stop = false;
    g_state.player = std::thread(&PlayDialogs);
    g_state.answerer = std::thread(&AnswerBoxes);
}

Desktop::~Desktop() {
    {
        std::lock_guard<std::mutex> lock(g_state.mutex);
        g_state.stop = true;
    }
    g_state.player.join();
    g_state.answerer.join();
}

PlayState& DesktopState() { return g_state; }

bool Desktop::PrepareStartDialog(const DialogSettings& o, std::string* error) {
    if (o.baud > 0) {
        *error = "--baud is played on Linux only; on Windows use the dialog's line-settings button";
        return false;
    }
    std::lock_guard<std::mutex> lock(g_state.mutex);
    g_state.options = o;
    g_state.armed = true;
    g_state.played = false;
    g_state.stayedOpen = false;
    return true;
}

}  // namespace vpihost
