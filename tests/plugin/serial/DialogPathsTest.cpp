// The start's early ends through the real dialog, on both platforms: a
// cancelled dialog, the host's Close under it, and a port that cannot be
// opened.
#include <gtest/gtest.h>

#include <atomic>

#include "DialogDriver.h"
#include "OwnResources.h"
#include "RecordingHost.h"
#include "serial/ModuleState.h"
#include "shell/Exports.h"

#ifndef _WIN32
#include <win32_control.h>
#endif

namespace {

class DialogPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseOwnResourcesAsModule();
#ifndef _WIN32
        W32MapComPort("COM2", "/nonexistent/tty-for-test");
#endif
    }
    void TearDown() override {
#ifndef _WIN32
        W32ResetComPorts();
#endif
    }
    size_t ProfileWrites() {
        size_t n = 0;
        for (const std::string& call : m_host.Calls()) n += call.rfind("WriteProfileInt", 0) == 0;
        return n;
    }
    RecordingHost m_host;
};

TEST_F(DialogPathsTest, CancelStartsNothing) {
    DialogDriver driver([](HWND dialog) { DialogDriver::Click(dialog, IDCANCEL); });
    EXPECT_EQ(0, MenuCallback(100, 0, 0));
    EXPECT_TRUE(driver.ScriptRan());
    EXPECT_EQ(nullptr, g_pGPSComm);
    EXPECT_EQ(0u, ProfileWrites());
    EXPECT_TRUE(m_host.starts.empty());
    EXPECT_EQ(0, m_host.releases);
}

// The host's Close while the start dialog runs: on Windows it comes through
// the host's message loop, which the dialog's modal loop runs.
int g_nCloseResult;
bool g_bOpenAfterClose;

void CloseUnderTheDialog(HWND dialog) {
    g_nCloseResult = Close();
    g_bOpenAfterClose = DialogDriver::IsOpen(dialog);
}

#ifdef _WIN32
std::atomic<HWND> g_hDialog;  // as the script, on its own thread, found it

VOID CALLBACK CloseOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    CloseUnderTheDialog(g_hDialog);
}
#endif

// The host unloads the module after Close: the start ends in its dialog.
TEST_F(DialogPathsTest, CloseWhileTheDialogRunsCancelsTheStart) {
    g_nCloseResult = 0;
    g_bOpenAfterClose = true;
#ifdef _WIN32
    g_hDialog = nullptr;
    SetTimer(nullptr, 0, 500, &CloseOnTimer);
    DialogDriver driver([](HWND dialog) { g_hDialog = dialog; });
#else
    DialogDriver driver([](HWND dialog) { CloseUnderTheDialog(dialog); });
#endif
    EXPECT_EQ(0, MenuCallback(100, 0, 0));
    EXPECT_TRUE(driver.ScriptRan());
    EXPECT_EQ(1, g_nCloseResult);
    EXPECT_FALSE(g_bOpenAfterClose);
    EXPECT_EQ(nullptr, g_pGPSComm);
    EXPECT_EQ(0u, ProfileWrites());
    EXPECT_TRUE(m_host.starts.empty());
    EXPECT_TRUE(driver.MessageBoxTexts().empty());
}

TEST_F(DialogPathsTest, PortThatCannotBeOpenedKeepsTheDialogOpen) {
    bool openAfterStart = false;
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDOK);  // COM2 from the empty profile
        openAfterStart = DialogDriver::IsOpen(dialog);
        DialogDriver::Click(dialog, IDCANCEL);
    });
    MenuCallback(100, 0, 0);
    EXPECT_TRUE(openAfterStart);
    auto texts = driver.MessageBoxTexts();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ("Cannot Open COM port", texts[0]);
    EXPECT_EQ(nullptr, g_pGPSComm);
    EXPECT_EQ(0u, ProfileWrites());
}

}  // namespace
