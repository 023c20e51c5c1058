// The headless dialogs of the Linux stand-in: templates read within their
// bounds, the controls' messages as Windows answers them, modal nesting, the
// port configuration responder and the resource lookup.
#include <gtest/gtest.h>
#include <win32_control.h>
#include <win32ctl/module.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ResBuilder.h"

namespace {

const HMODULE kFakeModule = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x7e570000));
constexpr WORD kDialog = 5;

// Dialog procedure that records the commands it gets.
struct Recorder {
    std::vector<int> commands;  // control ids of BN_CLICKED commands
    int inits = 0;
    std::function<void(HWND)> onInit;
    INT_PTR onCommandEnd = 0;  // when non-zero, the first command ends the dialog with it
};

INT_PTR CALLBACK RecordingProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    static Recorder* recorder = nullptr;
    if (msg == WM_INITDIALOG) {
        recorder = reinterpret_cast<Recorder*>(lParam);
        ++recorder->inits;
        if (recorder->onInit) recorder->onInit(dialog);
        return TRUE;
    }
    if (msg == WM_COMMAND && recorder) {
        recorder->commands.push_back(LOWORD(wParam));
        if (recorder->onCommandEnd) EndDialog(dialog, recorder->onCommandEnd);
        return TRUE;
    }
    return FALSE;
}

class HeadlessUser32Test : public ::testing::Test {
protected:
    void TearDown() override {
        W32SetDialogDriver(nullptr, nullptr);
        W32UnregisterModule(kFakeModule);
        EXPECT_EQ(0u, W32CountOpenDialogs());
    }

    void Register(const std::vector<ResSpec>& resources) {
        m_res = ResFile(resources);
        W32RegisterModuleResources(kFakeModule, m_res.data(), m_res.size());
    }

    // Runs template 1 with a driver.
    INT_PTR Run(const std::vector<unsigned char>& tpl, std::function<void(HWND)> play, Recorder& recorder) {
        Register({{kDialog, 1, nullptr, 0x411, tpl}});
        m_play = std::move(play);
        W32SetDialogDriver(
            [](void* context, HWND dialog) {
                auto* self = static_cast<HeadlessUser32Test*>(context);
                if (self->m_play) self->m_play(dialog);
            },
            this);
        return DialogBoxParamA(kFakeModule, MAKEINTRESOURCEA(1), nullptr, &RecordingProc,
                               reinterpret_cast<LPARAM>(&recorder));
    }

    static std::string Text(HWND window) {
        char buffer[256] = {};
        SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }

    std::vector<unsigned char> m_res;
    std::function<void(HWND)> m_play;
};

const DWORD kChild = WS_CHILD | WS_VISIBLE;

std::vector<ItemSpec> SampleItems() {
    return {
        {1, 0x80, nullptr, u"OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP},
        {2, 0, u"button", u"Cancel", kChild | WS_TABSTOP},
        {10, 0x80, nullptr, u"A", kChild | BS_AUTORADIOBUTTON | WS_GROUP},
        {0xFFFF, 0x82, nullptr, u"label", kChild},
        {11, 0x80, nullptr, u"B", kChild | BS_AUTORADIOBUTTON},
        {20, 0x80, nullptr, u"C", kChild | BS_AUTORADIOBUTTON | WS_GROUP},
        {30, 0x80, nullptr, u"check", kChild | BS_AUTOCHECKBOX | WS_GROUP},
        {31, 0x80, nullptr, u"three", kChild | BS_AUTO3STATE},
        {40, 0x81, nullptr, u"edit", kChild},
        {50, 0, u"ComboBox", u"", kChild | CBS_DROPDOWN},
        {51, 0x85, nullptr, u"", kChild | CBS_DROPDOWN | CBS_SORT},
        {60, 0x80, nullptr, u"off", kChild | WS_DISABLED},
    };
}

TEST_F(HeadlessUser32Test, BuildsTheControlsOfTheTemplate) {
    Recorder recorder;
    std::vector<std::string> classes, texts;
    std::vector<int> ids;
    LONG radioStyle = 0;
    HWND parentOfOk = nullptr, dialogSeen = nullptr;
    INT_PTR result = Run(
        DialogTemplate(u"Title", SampleItems()),
        [&](HWND dialog) {
            dialogSeen = dialog;
            for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                char name[32];
                GetClassNameA(c, name, sizeof name);
                classes.push_back(name);
                texts.push_back(Text(c));
                ids.push_back(GetDlgCtrlID(c));
            }
            texts.push_back(Text(dialog));
            radioStyle = GetWindowLongA(GetDlgItem(dialog, 10), GWL_STYLE);
            parentOfOk = GetParent(GetDlgItem(dialog, IDOK));
            EndDialog(dialog, 42);
        },
        recorder);
    EXPECT_EQ(42, result);
    EXPECT_EQ(1, recorder.inits);
    EXPECT_EQ((std::vector<std::string>{"Button", "Button", "Button", "Static", "Button", "Button", "Button", "Button",
                                        "Edit", "ComboBox", "ComboBox", "Button"}),
              classes);
    EXPECT_EQ((std::vector<int>{1, 2, 10, 0xFFFF, 11, 20, 30, 31, 40, 50, 51, 60}), ids);
    EXPECT_EQ((std::vector<std::string>{"OK", "Cancel", "A", "label", "B", "C", "check", "three", "edit", "", "", "off",
                                        "Title"}),
              texts);
    EXPECT_EQ(static_cast<LONG>(kChild | BS_AUTORADIOBUTTON | WS_GROUP), radioStyle);
    EXPECT_EQ(dialogSeen, parentOfOk);
    EXPECT_FALSE(IsWindow(dialogSeen));  // destroyed with the modal loop
}

TEST_F(HeadlessUser32Test, TruncatedTemplatesFailWithoutReadingPastTheResource) {
    std::vector<unsigned char> full = DialogTemplate(u"Title", SampleItems());
    for (size_t size = 0; size < full.size(); ++size) {
        SCOPED_TRACE(size);
        Recorder recorder;
        std::vector<unsigned char> cut(full.begin(), full.begin() + static_cast<long>(size));
        EXPECT_EQ(-1, Run(cut, nullptr, recorder));
        EXPECT_EQ(0, recorder.inits);
    }
}

TEST_F(HeadlessUser32Test, UnknownClassOrExtendedTemplateFails) {
    Recorder recorder;
    EXPECT_EQ(-1, Run(DialogTemplate(u"T", {{1, 0, u"SysListView32", u"", kChild}}), nullptr, recorder));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
    std::vector<unsigned char> extended = DialogTemplate(u"T", {});
    WORD signature[2] = {1, 0xFFFF};
    memcpy(extended.data(), signature, sizeof signature);
    EXPECT_EQ(-1, Run(extended, nullptr, recorder));
    EXPECT_EQ(0, recorder.inits);
}

TEST_F(HeadlessUser32Test, ClicksActAsTheButtonStylesSay) {
    Recorder recorder;
    std::vector<UINT> states;
    auto state = [&](HWND dialog, int id) { states.push_back(IsDlgButtonChecked(dialog, id)); };
    Run(
        DialogTemplate(u"T", SampleItems()),
        [&](HWND dialog) {
            CheckDlgButton(dialog, 20, BST_CHECKED);  // another group keeps its radio
            SendDlgItemMessageA(dialog, 10, BM_CLICK, 0, 0);
            SendDlgItemMessageA(dialog, 11, BM_CLICK, 0, 0);  // unchecks 10 across the static text
            state(dialog, 10);
            state(dialog, 11);
            state(dialog, 20);
            SendDlgItemMessageA(dialog, 30, BM_CLICK, 0, 0);
            state(dialog, 30);
            SendDlgItemMessageA(dialog, 30, BM_CLICK, 0, 0);
            state(dialog, 30);
            for (int i = 0; i < 3; ++i) {
                SendDlgItemMessageA(dialog, 31, BM_CLICK, 0, 0);
                state(dialog, 31);
            }
            SendDlgItemMessageA(dialog, 60, BM_CLICK, 0, 0);  // disabled: nothing
            SendDlgItemMessageA(dialog, 30, BM_SETCHECK, 7, 0);
            state(dialog, 30);  // clamped to checked
            SendDlgItemMessageA(dialog, 1, BM_SETCHECK, 1, 0);
            state(dialog, 1);  // push buttons have no check state
            EndDialog(dialog, IDOK);
        },
        recorder);
    EXPECT_EQ((std::vector<UINT>{0, 1, 1, 1, 0, 1, 2, 0, 1, 0}), states);
    EXPECT_EQ((std::vector<int>{10, 11, 30, 30, 31, 31, 31}), recorder.commands);
}

TEST_F(HeadlessUser32Test, ComboBoxListSearchesAndSelectsAsWindows) {
    Recorder recorder;
    std::vector<LRESULT> results;
    std::vector<std::string> texts;
    Run(
        DialogTemplate(u"T", SampleItems()),
        [&](HWND dialog) {
            HWND combo = GetDlgItem(dialog, 50);
            auto send = [&](UINT msg, WPARAM w, const char* text) {
                results.push_back(SendMessageA(combo, msg, w, reinterpret_cast<LPARAM>(text)));
            };
            for (const char* item : {"Alpha", "beta", "alps", "\x83\x41"}) send(CB_ADDSTRING, 0, item);
            send(CB_SELECTSTRING, static_cast<WPARAM>(-1), "AL");  // 0: case-insensitive prefix
            send(CB_SELECTSTRING, 0, "al");                        // 2: after index 0
            send(CB_SELECTSTRING, 2, "al");                        // 0: wraps around
            texts.push_back(Text(combo));
            send(CB_SELECTSTRING, static_cast<WPARAM>(-1), "\x83\x61");  // a trail byte is no letter
            send(CB_GETCURSEL, 0, nullptr);                              // still 0
            send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), "ALP");    // none
            send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), "ALPS");   // 2
            send(CB_SETCURSEL, 9, nullptr);                              // out of range
            texts.push_back(Text(combo));
            send(CB_SETCURSEL, 1, nullptr);
            send(CB_DELETESTRING, 0, nullptr);  // 3 left
            send(CB_GETCURSEL, 0, nullptr);     // follows its item: 0
            send(CB_GETLBTEXTLEN, 7, nullptr);  // CB_ERR
            HWND sorted = GetDlgItem(dialog, 51);
            for (const char* item : {"b", "C", "a"})
                SendMessageA(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
            char first[8] = {};
            SendMessageA(sorted, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
            texts.push_back(first);
            EndDialog(dialog, IDOK);
        },
        recorder);
    EXPECT_EQ((std::vector<LRESULT>{0, 1, 2, 3, 0, 2, 0, CB_ERR, 0, CB_ERR, 2, CB_ERR, 1, 3, 0, CB_ERR}), results);
    EXPECT_EQ((std::vector<std::string>{"Alpha", "", "a"}), texts);
}

TEST_F(HeadlessUser32Test, GetTextKeepsDoubleByteCharactersWhole) {
    Recorder recorder;
    std::vector<std::string> got;
    std::vector<LRESULT> lengths;
    Run(
        DialogTemplate(u"開始", {}),
        [&](HWND dialog) {
            for (WPARAM size : {1, 2, 3, 4, 5}) {
                char buffer[8];
                memset(buffer, 'x', sizeof buffer);
                lengths.push_back(SendMessageA(dialog, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer)));
                got.push_back(std::string(buffer, strnlen(buffer, sizeof buffer)));
                EXPECT_EQ('x', buffer[size]);  // nothing written past the buffer
            }
            lengths.push_back(GetWindowTextLengthA(dialog));
            EndDialog(dialog, IDOK);
        },
        recorder);
    EXPECT_EQ((std::vector<LRESULT>{0, 0, 2, 2, 4, 4}), lengths);
    EXPECT_EQ((std::vector<std::string>{"", "", "\x8a\x4a", "\x8a\x4a", "\x8a\x4a\x8e\x6e"}), got);
}

TEST_F(HeadlessUser32Test, CloseBoxAndKeysBecomeButtonCommands) {
    struct Case {
        std::function<void(HWND)> act;
        std::vector<int> commands;
    };
    std::vector<Case> cases = {
        {[](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); }, {IDCANCEL}},
        {[](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, {IDCANCEL}},
        {[](HWND d) { SendDlgItemMessageA(d, 40, WM_KEYDOWN, VK_ESCAPE, 0); }, {IDCANCEL}},
        {[](HWND d) { SendMessageA(d, WM_KEYDOWN, VK_RETURN, 0); }, {IDOK}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        Recorder recorder;
        recorder.onCommandEnd = 77;
        EXPECT_EQ(77, Run(DialogTemplate(u"T", SampleItems()), cases[i].act, recorder));
        EXPECT_EQ(cases[i].commands, recorder.commands);
    }
}

TEST_F(HeadlessUser32Test, ADialogThatIgnoresCloseStillEndsWithCancel) {
    Recorder recorder;  // takes commands without ending
    EXPECT_EQ(IDCANCEL, Run(DialogTemplate(u"T", SampleItems()), nullptr, recorder));
    EXPECT_EQ((std::vector<int>{IDCANCEL}), recorder.commands);
}

TEST_F(HeadlessUser32Test, NestedDialogDisablesItsOwnerWhileItRuns) {
    Register({{kDialog, 1, nullptr, 0x411, DialogTemplate(u"T", SampleItems())}});
    struct State {
        HWND outer = nullptr;
        BOOL ownerEnabledDuring = TRUE;
        HWND activeDuring = nullptr, innerParent = nullptr, inner = nullptr;
        INT_PTR innerResult = 0;
        BOOL ownerEnabledAfter = FALSE;
        HWND activeAfter = nullptr;
    } s;
    W32SetDialogDriver(
        [](void* context, HWND dialog) {
            auto* s = static_cast<State*>(context);
            if (!s->outer) {
                s->outer = dialog;
                Recorder inner;
                s->innerResult = DialogBoxParamA(kFakeModule, MAKEINTRESOURCEA(1), dialog, &RecordingProc,
                                                 reinterpret_cast<LPARAM>(&inner));
                s->ownerEnabledAfter = IsWindowEnabled(dialog);
                s->activeAfter = GetActiveWindow();
                EndDialog(dialog, 5);
                return;
            }
            s->inner = dialog;
            s->ownerEnabledDuring = IsWindowEnabled(s->outer);
            s->activeDuring = GetActiveWindow();
            s->innerParent = GetParent(dialog);
            EndDialog(dialog, 7);
        },
        &s);
    Recorder outer;
    EXPECT_EQ(5, DialogBoxParamA(kFakeModule, MAKEINTRESOURCEA(1), nullptr, &RecordingProc,
                                 reinterpret_cast<LPARAM>(&outer)));
    EXPECT_EQ(7, s.innerResult);
    EXPECT_FALSE(s.ownerEnabledDuring);
    EXPECT_EQ(s.inner, s.activeDuring);
    EXPECT_EQ(s.outer, s.innerParent);
    EXPECT_TRUE(s.ownerEnabledAfter);
    EXPECT_EQ(s.outer, s.activeAfter);
    EXPECT_EQ(nullptr, GetActiveWindow());
}

TEST_F(HeadlessUser32Test, BadHandlesAndOwnersAreRefused) {
    HWND bogus = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234));
    EXPECT_FALSE(EndDialog(bogus, 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_EQ(0, SendMessageA(bogus, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(nullptr, GetDlgItem(bogus, 1));
    Register({{kDialog, 1, nullptr, 0x411, DialogTemplate(u"T", {})}});
    Recorder recorder;
    EXPECT_EQ(0, DialogBoxParamA(kFakeModule, MAKEINTRESOURCEA(1), bogus, &RecordingProc,
                                 reinterpret_cast<LPARAM>(&recorder)));
    EXPECT_EQ(-1, DialogBoxParamA(kFakeModule, MAKEINTRESOURCEA(2), nullptr, &RecordingProc,
                                  reinterpret_cast<LPARAM>(&recorder)));
    EXPECT_EQ(0, recorder.inits);
}

TEST_F(HeadlessUser32Test, ResourcesAreFoundByNumberNameAndLanguage) {
    Register({
        {240, 7, nullptr, 0x409, {1}},
        {240, 7, nullptr, 0x411, {2, 2}},
        {240, 0, u"LIST", 0, {3, 3, 3}},
        {kDialog, 9, nullptr, 0x409, {4}},
    });
    auto sizeOf = [](LPCSTR name, LPCSTR type) -> DWORD {
        HRSRC r = FindResourceA(kFakeModule, name, type);
        return r ? SizeofResource(kFakeModule, r) : 0;
    };
    EXPECT_EQ(2u, sizeOf(MAKEINTRESOURCEA(7), MAKEINTRESOURCEA(240)));  // the Japanese one
    EXPECT_EQ(2u, sizeOf("#7", "#240"));
    EXPECT_EQ(3u, sizeOf("list", MAKEINTRESOURCEA(240)));
    EXPECT_EQ(1u, sizeOf(MAKEINTRESOURCEA(9), MAKEINTRESOURCEA(kDialog)));
    EXPECT_EQ(0u, sizeOf(MAKEINTRESOURCEA(8), MAKEINTRESOURCEA(240)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, sizeOf(MAKEINTRESOURCEA(7), MAKEINTRESOURCEA(6)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, sizeOf("#", MAKEINTRESOURCEA(240)));
    EXPECT_EQ(0u, sizeOf("#99999", MAKEINTRESOURCEA(240)));
    HRSRC r = FindResourceA(kFakeModule, MAKEINTRESOURCEA(7), MAKEINTRESOURCEA(240));
    const unsigned char* data = static_cast<const unsigned char*>(LockResource(LoadResource(kFakeModule, r)));
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(2, data[0]);
    EXPECT_EQ(nullptr, LoadResource(kFakeModule, reinterpret_cast<HRSRC>(m_res.data())));
}

TEST_F(HeadlessUser32Test, ResourceFileIsReadUpToItsFirstBadEntry) {
    Register({{240, 1, nullptr, 0x411, {1, 2, 3, 4}}, {240, 2, nullptr, 0x411, {5}}});
    std::vector<unsigned char> res = m_res;
    // Second entry's data size beyond the end of the file.
    size_t second = 32 + 32 + 4;
    DWORD huge = 0x7FFFFFF0;
    memcpy(&res[second], &huge, 4);
    m_res = res;
    W32RegisterModuleResources(kFakeModule, m_res.data(), m_res.size());
    EXPECT_NE(nullptr, FindResourceA(kFakeModule, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(240)));
    EXPECT_EQ(nullptr, FindResourceA(kFakeModule, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(240)));
    for (size_t size = 0; size < res.size(); ++size) {
        W32RegisterModuleResources(kFakeModule, m_res.data(), size);  // every truncation
        FindResourceA(kFakeModule, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(240));
    }
}

int RecordingPortDialog(void* context, const char* name, HWND, COMMCONFIG* config) {
    auto* answer = static_cast<int*>(context);
    config->dcb.BaudRate = 2400;
    return name[0] == 'C' ? *answer : W32_COMMCONFIG_FAIL;
}

TEST_F(HeadlessUser32Test, PortDialogAnswersAsTheResponderSays) {
    COMMCONFIG cc;
    memset(&cc, 0, sizeof cc);
    cc.dwSize = sizeof cc;
    cc.dcb.BaudRate = 4800;
    EXPECT_FALSE(CommConfigDialogA("COM1", nullptr, &cc));  // no responder: the user cancels
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), GetLastError());
    int answer = W32_COMMCONFIG_CANCEL;
    W32SetCommConfigResponder(&RecordingPortDialog, &answer);
    EXPECT_FALSE(CommConfigDialogA("COM1", nullptr, &cc));
    EXPECT_EQ(4800u, cc.dcb.BaudRate);  // a cancelled dialog changes nothing
    answer = W32_COMMCONFIG_CONFIRM;
    EXPECT_TRUE(CommConfigDialogA("COM1", nullptr, &cc));
    EXPECT_EQ(2400u, cc.dcb.BaudRate);
    EXPECT_FALSE(CommConfigDialogA("XYZ", nullptr, &cc));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    cc.dwSize = 8;
    EXPECT_FALSE(CommConfigDialogA("COM1", nullptr, &cc));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_FALSE(CommConfigDialogA(nullptr, nullptr, &cc));
    EXPECT_FALSE(CommConfigDialogA("COM1", nullptr, nullptr));
    W32SetCommConfigResponder(nullptr, nullptr);
}

}  // namespace
