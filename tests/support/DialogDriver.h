// Plays the user in front of the modal dialogs that the test's own thread
// runs, the same way on both platforms: a script sends the dialog the
// messages a user's clicks and keys produce (BM_CLICK, WM_SETTEXT, WM_CLOSE,
// Esc), and message boxes are answered with OK and their texts kept.
//
// Linux: the Win32 stand-in's control API calls the script on the dialog's
// thread once the dialog is initialised; message boxes go to a responder.
// Windows: a watcher thread waits for the dialog window of the test's thread
// and runs the script there; a second one answers message boxes, which the
// script's messages may raise while it waits for them to be handled.
//
// Scripts should only look and act, and keep what they saw for the test to
// check after DoModal returns: on Windows they run on another thread.
#pragma once

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DialogClicks.h"

#ifndef _WIN32
#include <win32_control.h>

#include <mutex>
#endif

class DialogDriver {
    // The Windows toolchain's thread model has no std::mutex or std::thread.
    class Guard {
    public:
#ifdef _WIN32
        explicit Guard(CRITICAL_SECTION& section) : m_section(section) { EnterCriticalSection(&m_section); }
        ~Guard() { LeaveCriticalSection(&m_section); }

    private:
        CRITICAL_SECTION& m_section;
#else
        explicit Guard(std::mutex& mutex) : m_lock(mutex) {}

    private:
        std::lock_guard<std::mutex> m_lock;
#endif
    };

public:
    using Script = std::function<void(HWND dialog)>;

    explicit DialogDriver(Script script) : m_script(std::move(script)) { Start(); }
    ~DialogDriver() { Stop(); }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Texts of the message boxes answered so far (code page 932), in order.
    std::vector<std::string> MessageBoxTexts() {
        Guard guard(m_mutex);
        return m_messageBoxes;
    }

    // Their styles (icon and buttons, MB_ICONEXCLAMATION...), in the same
    // order. Linux only: the Windows side cannot see a box's style and
    // records 0.
    std::vector<UINT> MessageBoxStyles() {
        Guard guard(m_mutex);
        return m_messageBoxStyles;
    }

    // Whether the script met a dialog.
    bool ScriptRan() {
        Guard guard(m_mutex);
        return m_scriptRan;
    }

    // Helpers for scripts.
    static void Click(HWND dialog, int id) { dialog_clicks::Click(dialog, id); }
    static bool Checked(HWND dialog, int id) { return dialog_clicks::Checked(dialog, id); }
    static void SetText(HWND dialog, int id, const char* text) { dialog_clicks::SetText(dialog, id, text); }
    static std::string Text(HWND window) {
        char buffer[512] = {};
        SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    static std::string Text(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }
    static std::vector<std::string> ListItems(HWND dialog, int id) {
        HWND combo = GetDlgItem(dialog, id);
        std::vector<std::string> items;
        LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char buffer[256] = {};
            if (SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < static_cast<LRESULT>(sizeof buffer))
                SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
            items.push_back(buffer);
        }
        return items;
    }
    // The close box.
    static void Close(HWND dialog) {
#ifdef _WIN32
        PostMessageA(dialog, WM_CLOSE, 0, 0);
#else
        SendMessageA(dialog, WM_CLOSE, 0, 0);
#endif
    }
    // A key pressed while the dialog has the focus (VK_ESCAPE, VK_RETURN).
    static void PressKey(HWND dialog, int key) {
#ifdef _WIN32
        PostMessageA(dialog, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
#else
        SendMessageA(dialog, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
#endif
    }
    // Whether the dialog is still up, as the user sees it.
    static bool IsOpen(HWND dialog) { return IsWindow(dialog) && IsWindowVisible(dialog); }

private:
    void RecordMessageBox(const char* text, UINT style) {
        Guard guard(m_mutex);
        m_messageBoxes.push_back(text ? text : "");
        m_messageBoxStyles.push_back(style);
    }

#ifndef _WIN32
    void Start() {
        W32SetDialogDriver(&DialogDriver::OnDialog, this);
        W32SetMessageBoxResponder(&DialogDriver::OnMessageBox, this);
    }
    void Stop() {
        W32SetDialogDriver(nullptr, nullptr);
        W32SetMessageBoxResponder(nullptr, nullptr);
    }
    static void OnDialog(void* context, HWND dialog) {
        auto* self = static_cast<DialogDriver*>(context);
        {
            Guard guard(self->m_mutex);
            if (self->m_scriptRan) return;  // a nested dialog: left to be closed
            self->m_scriptRan = true;
        }
        self->m_script(dialog);
    }
    static int OnMessageBox(void* context, HWND, const char* text, const char*, UINT style) {
        static_cast<DialogDriver*>(context)->RecordMessageBox(text, style);
        return IDOK;
    }
#else
    struct Search {
        HWND skip;
        HWND found;
    };

    static BOOL CALLBACK FindDialog(HWND window, LPARAM lParam) {
        auto* search = reinterpret_cast<Search*>(lParam);
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (window == search->skip || strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        search->found = window;
        return FALSE;
    }

    HWND FindThreadDialog(HWND skip) {
        Search search{skip, nullptr};
        EnumThreadWindows(m_threadId, &DialogDriver::FindDialog, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    void Start() {
        InitializeCriticalSection(&m_mutex);
        m_threadId = GetCurrentThreadId();
        m_scriptThread = CreateThread(nullptr, 0, &DialogDriver::ScriptEntry, this, 0, nullptr);
        m_boxThread = CreateThread(nullptr, 0, &DialogDriver::BoxEntry, this, 0, nullptr);
    }

    void Stop() {
        InterlockedExchange(&m_stop, 1);
        for (HANDLE thread : {m_scriptThread, m_boxThread}) {
            if (!thread) continue;
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        DeleteCriticalSection(&m_mutex);
    }

    bool Stopping() { return InterlockedCompareExchange(&m_stop, 0, 0) != 0; }

    static DWORD WINAPI ScriptEntry(LPVOID self) {
        static_cast<DialogDriver*>(self)->RunScript();
        return 0;
    }

    static DWORD WINAPI BoxEntry(LPVOID self) {
        static_cast<DialogDriver*>(self)->AnswerMessageBoxes();
        return 0;
    }

    HWND ScriptedDialog() {
        Guard guard(m_mutex);
        return m_dialog;
    }

    void RunScript() {
        HWND dialog = nullptr;
        for (int i = 0; i < 2000 && !Stopping() && !dialog; ++i) {
            dialog = FindThreadDialog(nullptr);
            if (!dialog) Sleep(10);
        }
        if (!dialog) return;
        {
            Guard guard(m_mutex);
            m_dialog = dialog;
            m_scriptRan = true;
        }
        m_script(dialog);
        // Left open by the script: closed as with the close box.
        for (int i = 0; i < 300 && IsOpen(dialog); ++i) Sleep(10);
        if (IsOpen(dialog)) PostMessageA(dialog, WM_CLOSE, 0, 0);
    }

    void AnswerMessageBoxes() {
        while (!Stopping()) {
            HWND dialog = ScriptedDialog();
            HWND box = dialog ? FindThreadDialog(dialog) : nullptr;
            if (!box) {
                Sleep(10);
                continue;
            }
            // The text of a message box is its static control 0xFFFF.
            char text[1024] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            RecordMessageBox(text, 0);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            for (int i = 0; i < 300 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
        }
    }

    DWORD m_threadId = 0;
    volatile LONG m_stop = 0;
    HWND m_dialog = nullptr;
    HANDLE m_scriptThread = nullptr;
    HANDLE m_boxThread = nullptr;
#endif

#ifdef _WIN32
    CRITICAL_SECTION m_mutex;
#else
    std::mutex m_mutex;
#endif

    Script m_script;
    std::vector<std::string> m_messageBoxes;
    std::vector<UINT> m_messageBoxStyles;
    bool m_scriptRan = false;
};
