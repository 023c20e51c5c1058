// Plays the user in front of message boxes on both platforms: records each
// box's text and answers it. On Linux through the desktop control API; on
// Windows a CBT hook on the test's thread sees each box as it is activated,
// reads its text and presses the answer.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#else
#include <win32_control.h>
#endif

class MessageBoxes {
public:
    struct Box {
        std::string text;  // code page 932, as the program passed it
        UINT type;         // Linux only; 0 on Windows
    };

    explicit MessageBoxes(int answer = IDOK) : m_answer(answer) {
        s_current = this;
#ifdef _WIN32
        m_hook = SetWindowsHookExA(WH_CBT, &MessageBoxes::CbtHook, nullptr, GetCurrentThreadId());
#else
        W32SetMessageBoxResponder(&MessageBoxes::Respond, this);
#endif
    }

    ~MessageBoxes() {
#ifdef _WIN32
        UnhookWindowsHookEx(m_hook);
#else
        W32SetMessageBoxResponder(nullptr, nullptr);
#endif
        s_current = nullptr;
    }

    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    std::vector<Box> Shown() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }

    size_t Count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes.size();
    }

private:
    void Record(const std::string& text, UINT type) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back({text, type});
    }

#ifdef _WIN32
    static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
        MessageBoxes* self = s_current;
        if (code == HCBT_ACTIVATE && self) {
            HWND box = reinterpret_cast<HWND>(wParam);
            char className[32] = {};
            GetClassNameA(box, className, sizeof className);
            if (std::string(className) == "#32770") {
                char text[1024] = {};
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the box's text control
                self->Record(text, 0);
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(self->m_answer, BN_CLICKED), 0);
            }
        }
        return CallNextHookEx(self ? self->m_hook : nullptr, code, wParam, lParam);
    }
    HHOOK m_hook = nullptr;
#else
    static int Respond(void* context, HWND, const char* text, const char*, UINT type) {
        auto* self = static_cast<MessageBoxes*>(context);
        self->Record(text, type);
        return self->m_answer;
    }
#endif

    static inline MessageBoxes* s_current = nullptr;
    int m_answer;
    std::mutex m_mutex;
    std::vector<Box> m_boxes;
};
