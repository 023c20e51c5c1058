// The start's early ends through the real dialog, on both platforms: a
// cancelled dialog, and a port that cannot be opened.
#include <gtest/gtest.h>

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
