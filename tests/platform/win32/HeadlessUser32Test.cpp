// What only the headless dialogs of the Linux stand-in show: templates read
// within their bounds, the forms it does not read, a dialog the driver leaves
// open, the resource lookup and the port configuration responder. What they
// share with Windows is in User32ContractTest.cpp.
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
    INT_PTR onCommandEnd = 0;  // when non-zero, the first command ends the dialog with it
};

INT_PTR CALLBACK RecordingProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    static Recorder* recorder = nullptr;
    if (msg == WM_INITDIALOG) {
        recorder = reinterpret_cast<Recorder*>(lParam);
        ++recorder->inits;
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

    std::vector<unsigned char> m_res;
    std::function<void(HWND)> m_play;
};

TEST_F(HeadlessUser32Test, TruncatedTemplatesFailWithoutReadingPastTheResource) {
    std::vector<unsigned char> full = DialogTemplate(u"Title", SampleDialogItems());
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
    EXPECT_EQ(-1, Run(DialogTemplate(u"T", {{1, 0, u"SysListView32", u"", WS_CHILD | WS_VISIBLE}}), nullptr, recorder));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
    std::vector<unsigned char> extended = DialogTemplate(u"T", {});
    WORD signature[2] = {1, 0xFFFF};
    memcpy(extended.data(), signature, sizeof signature);
    EXPECT_EQ(-1, Run(extended, nullptr, recorder));
    EXPECT_EQ(0, recorder.inits);
}

TEST_F(HeadlessUser32Test, ADialogThatIgnoresCloseStillEndsWithCancel) {
    Recorder recorder;  // takes commands without ending
    EXPECT_EQ(IDCANCEL, Run(DialogTemplate(u"T", SampleDialogItems()), nullptr, recorder));
    EXPECT_EQ((std::vector<int>{IDCANCEL}), recorder.commands);
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
